#!/usr/bin/env python3
"""Runs README.md's (or --file PATH's) blocks as pasted, in a scratch directory holding
examples/, build/districts.gpkg and VENV (the built package), the program on PATH; fails on
the first that does not work. Blocks: `console` ($ lines must print the lines below them),
`sh` (bash -e), `r` (one R session), `python` (README: each fresh; --file: one session, all
printing exactly their following `text` blocks in turn). A `norun` after the fence skips one.
    readme_blocks.py BUILD_DIR [R_LIBRARY] [--file PATH]"""
import argparse
import os
import re
import shutil
import subprocess
import sys
import tempfile

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
FENCE = re.compile(r"^```([A-Za-z+]*)([^\n]*)\n(.*?)^```$", re.M | re.S)
LIMIT = 600  # seconds: a bound on a hang, not a timing

def blocks(text):
    """(language, code, fence's line, the python block's text block or None) of each."""
    found = list(FENCE.finditer(text))
    for index, block in enumerate(found):
        language, rest, code = block.groups()
        if language in ("console", "sh", "python", "r") and "norun" not in rest.split():
            output = None
            after = found[index + 1] if index + 1 < len(found) else None
            if (language == "python" and after is not None and after.group(1) == "text"
                    and not text[block.end():after.start()].strip()):
                output = after.group(3)
            yield language, code, text.count("\n", 0, block.start()) + 1, output


def run(command, scratch, env, stdin=None):
    done = subprocess.run(command, cwd=scratch, env=env, input=stdin, capture_output=True,
                          text=True, timeout=LIMIT)
    return done.returncode, done.stdout, done.stderr


def console_faults(code, scratch, env):
    """The commands of a console transcript whose output differs."""
    faults = []
    for part in re.split(r"^\$ ", code, flags=re.M)[1:]:
        command, _, expected = part.partition("\n")
        status, out, err = run(["bash", "-c", command], scratch, env)
        if status or out != expected:
            faults.append(f"$ {command}\nexit {status}; printed:\n{out}{err}")
    return faults


def session_faults(name, found, scratch, env):
    """The python blocks as one script, each at its own line of the file (so that a
    traceback names the file's line): a fault when it fails or prints other than the
    blocks' text blocks in turn."""
    script = ""
    for _, code, line, _ in found:
        script += "\n" * (line - script.count("\n")) + code
    status, out, err = run(["VENV/bin/python", "-c", script], scratch, env)
    want = "".join(expected or "" for *_, expected in found)
    if status == 0 and out == want:
        return []
    return [f"{name} (python, one session): exit {status}; printed:\n{out}{err}"
            f"instead of:\n{want}"]


def prepare(scratch, build, env):
    shutil.copytree(os.path.join(ROOT, "examples"), os.path.join(scratch, "examples"))
    os.makedirs(os.path.join(scratch, "build"))
    python = "/usr/bin/python3" if os.path.exists("/usr/bin/python3") else sys.executable
    subprocess.run([python, "-m", "venv", "--system-site-packages", "--without-pip", "VENV"],
                   cwd=scratch, check=True, timeout=LIMIT)
    site = subprocess.run(["VENV/bin/python", "-c", "import site; print(site.getsitepackages()[0])"],
                          cwd=scratch, check=True, capture_output=True, text=True).stdout.strip()
    with open(os.path.join(site, "tessel-build.pth"), "w") as pth:
        pth.write(os.path.join(build, "python") + "\n")
    subprocess.run(["VENV/bin/python", "examples/districts.py", "--output", "build/districts.png",
                    "--geopackage", "build/districts.gpkg"], cwd=scratch, env=env, check=True,
                   capture_output=True, timeout=LIMIT)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("build"), parser.add_argument("r_library", nargs="?")
    parser.add_argument("--file", default="README.md")
    options = parser.parse_args()
    name, build = options.file, os.path.abspath(options.build)
    r_library = options.r_library and os.path.abspath(options.r_library)
    with open(os.path.join(ROOT, name), encoding="utf-8") as markdown:
        found = list(blocks(markdown.read()))
    env = {k: v for k, v in os.environ.items() if k not in ("PYTHONPATH", "R_LIBS")}
    env.update(PATH=build + os.pathsep + env.get("PATH", ""), MPLBACKEND="Agg")
    if r_library:
        env["R_LIBS"] = r_library
    failures, ran, r_code = [], 0, ""
    with tempfile.TemporaryDirectory(prefix="tessel-readme-") as scratch:
        prepare(scratch, build, env)
        if name != "README.md" and any(block[0] == "python" for block in found):
            session = [block for block in found if block[0] == "python"]
            found = [block for block in found if block[0] != "python"]
            ran += 1
            failures += session_faults(name, session, scratch, env)
        for language, code, line, _ in found:
            if language == "r":
                r_code += code
                continue
            ran += 1
            if language == "console":
                faults = console_faults(code, scratch, env)
            else:
                command = (["bash", "-e", "-c", code] if language == "sh"
                           else ["VENV/bin/python", "-c", code])
                status, out, err = run(command, scratch, env)
                faults = [f"exit {status}:\n{out}{err}"] if status else []
            failures += [f"{name}:{line} ({language}): {fault}" for fault in faults]
        if r_code and r_library:
            ran += 1
            status, out, err = run(["Rscript", "-"], scratch, env, stdin=r_code)
            if status:
                failures.append(f"{name}, the r blocks: exit {status}:\n{out}{err}")
        elif r_code:
            print("readme_blocks: no R library given: the r blocks are skipped")
    for failure in failures:
        print(failure, file=sys.stderr)
    print(f"readme_blocks: {ran - len(failures)} of {ran} runs work as pasted")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
