#!/usr/bin/env python3
"""Runs README.md's runnable code blocks as a reader would paste them, in a
scratch directory, and fails on the first that does not work.

A block is runnable when its fence names `console`, `sh`, `python` or `r`
and no `norun` follows: a `console` block's `$ ` lines are run by bash and
what they print must be the lines below them, byte for byte; an `sh` block
runs in bash with -e; the `python` blocks run each in a fresh interpreter;
the `r` blocks run in one R session, in order, as typed into one console.

The scratch directory holds what the text says the blocks start from: a
copy of examples/, build/districts.gpkg (make map writes it), and VENV, a
virtual environment that sees the built package as if pip had installed
it. The built program is first on PATH, as after make install.

    readme_blocks.py BUILD_DIR [R_LIBRARY]
"""
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
    """(language, code, line number) of every runnable block, in order."""
    for found in FENCE.finditer(text):
        language, rest, code = found.groups()
        if language in ("console", "sh", "python", "r") and "norun" not in rest.split():
            yield language, code, text.count("\n", 0, found.start()) + 1


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
    build = os.path.abspath(sys.argv[1])
    r_library = os.path.abspath(sys.argv[2]) if len(sys.argv) > 2 else None
    with open(os.path.join(ROOT, "README.md"), encoding="utf-8") as readme:
        found = list(blocks(readme.read()))
    env = {k: v for k, v in os.environ.items() if k not in ("PYTHONPATH", "R_LIBS")}
    env.update(PATH=build + os.pathsep + env.get("PATH", ""), MPLBACKEND="Agg")
    if r_library:
        env["R_LIBS"] = r_library
    failures, ran, r_code = [], 0, ""
    with tempfile.TemporaryDirectory(prefix="tessel-readme-") as scratch:
        prepare(scratch, build, env)
        for language, code, line in found:
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
            failures += [f"README.md:{line} ({language}): {fault}" for fault in faults]
        if r_code and r_library:
            ran += 1
            status, out, err = run(["Rscript", "-"], scratch, env, stdin=r_code)
            if status:
                failures.append(f"README.md, the r blocks: exit {status}:\n{out}{err}")
        elif r_code:
            print("readme_blocks: no R library given: the r blocks are skipped")
    for failure in failures:
        print(failure, file=sys.stderr)
    print(f"readme_blocks: {ran - len(failures)} of {ran} runs work as pasted")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
