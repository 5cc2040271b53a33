#!/usr/bin/env python3
"""Runs the runnable code blocks of README.md, or of another markdown file
of the repository, as a reader would paste them, in a scratch directory,
and fails on the first that does not work.

A block is runnable when its fence names `console`, `sh`, `python` or `r`
and no `norun` follows: a `console` block's `$ ` lines are run by bash and
what they print must be the lines below them, byte for byte; an `sh` block
runs in bash with -e; the `r` blocks run in one R session, in order, as
typed into one console.

The `python` blocks run as each text means them to. README's are separate
recipes: each runs in a fresh interpreter. Any other file (--file) is a
walkthrough read from top to bottom, like a notebook: its `python` blocks
run in order in one interpreter session, sharing their variables, and what
each prints must be, byte for byte, the `text` block that follows it (with
nothing but blank lines between), or nothing when no `text` block follows.
A traceback names the file's own line numbers.

The scratch directory holds what the texts say the blocks start from: a
copy of examples/, build/districts.gpkg (make map writes it), and VENV, a
virtual environment that sees the built package as if pip had installed
it. The built program is first on PATH, as after make install.

    readme_blocks.py BUILD_DIR [R_LIBRARY] [--file PATH]

PATH is relative to the repository's root (default README.md).
"""
import json
import os
import re
import shutil
import subprocess
import sys
import tempfile

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
FENCE = re.compile(r"^```([A-Za-z+]*)([^\n]*)\n(.*?)^```$", re.M | re.S)
LIMIT = 600  # seconds: a bound on a hang, not a timing

# Runs the blocks given on standard input (JSON: the file's name, then
# [line, code] pairs) in one namespace, each compiled at its own line of the
# file, and writes what each printed to the file named by argv[1] (JSON),
# up to the first that raised, whose traceback goes to standard error.
SESSION = r"""
import contextlib, io, json, sys, traceback
name, blocks = json.load(sys.stdin)
namespace, printed = {"__name__": "__main__"}, []
try:
    for line, code in blocks:
        out = io.StringIO()
        printed.append(out)
        with contextlib.redirect_stdout(out):
            exec(compile("\n" * line + code, name, "exec"), namespace)
finally:
    with open(sys.argv[1], "w") as results:
        json.dump([out.getvalue() for out in printed], results)
"""


def blocks(text):
    """(language, code, line number of its fence, output) of every runnable
    block, in order; output is the text block that follows a python block,
    or None."""
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
    """Runs the python blocks in one session. Returns how many started and
    the faults, each with its block's line: an exception, or what a block
    printed when it is not its text block."""
    results = os.path.join(scratch, "session-results.json")
    status, out, err = run(["VENV/bin/python", "-c", SESSION, results], scratch, env,
                           stdin=json.dumps([name, [[line, code] for _, code, line, _ in found]]))
    try:
        with open(results) as printed_file:
            printed = json.load(printed_file)
    except (OSError, ValueError):
        printed = []
    faults = [(line, f"printed:\n{got}instead of:\n{expected or ''}")
              for (_, _, line, expected), got in zip(found, printed) if got != (expected or "")]
    if status:  # the last block that started raised
        line = found[max(len(printed), 1) - 1][2]
        faults = [f for f in faults if f[0] != line] + [(line, f"exit {status}:\n{out}{err}")]
    return max(len(printed), 1), faults


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
    arguments = sys.argv[1:]
    name = "README.md"
    if "--file" in arguments:
        at = arguments.index("--file")
        name = arguments[at + 1]
        del arguments[at:at + 2]
    build = os.path.abspath(arguments[0])
    r_library = os.path.abspath(arguments[1]) if len(arguments) > 1 else None
    with open(os.path.join(ROOT, name), encoding="utf-8") as markdown:
        found = list(blocks(markdown.read()))
    notebook = name != "README.md"
    env = {k: v for k, v in os.environ.items() if k not in ("PYTHONPATH", "R_LIBS")}
    env.update(PATH=build + os.pathsep + env.get("PATH", ""), MPLBACKEND="Agg")
    if r_library:
        env["R_LIBS"] = r_library
    failures, ran, r_code = [], 0, ""
    with tempfile.TemporaryDirectory(prefix="tessel-readme-") as scratch:
        prepare(scratch, build, env)
        if notebook and any(block[0] == "python" for block in found):
            session = [block for block in found if block[0] == "python"]
            found = [block for block in found if block[0] != "python"]
            started, faults = session_faults(name, session, scratch, env)
            ran += started
            failures += [f"{name}:{line} (python): {fault}" for line, fault in faults]
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
