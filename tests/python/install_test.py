"""The sdist of the tracked files (as in the working tree) holds the core's sources and nothing
built; installed offline into a fresh venv it gives the program's values and VERSION."""
import json
import os
import shutil
import subprocess
import sys
import tarfile

import numpy as np
import pytest

from conftest import EXAMPLE, ROOT, printed

# Where tessel comes from, its version twice, and its values' bytes in hex.
PROBE = """import importlib.metadata, json, sys, numpy as np, tessel
table = np.genfromtxt(sys.argv[1], delimiter=",", skip_header=1)
print(json.dumps([tessel.__file__, tessel.__version__, importlib.metadata.version("tessel"),
                  tessel.smooth(*table.T, neighbors=12).tobytes().hex()]))"""
BUILT = (".o", ".so", ".a", ".pyc", ".pyd", ".whl")
# Without PYTHONPATH, which names the build tree's package, only the
# installed package can be imported.
ENV = {k: v for k, v in os.environ.items() if k != "PYTHONPATH"}


def run(*command, cwd):
    done = subprocess.run(command, cwd=cwd, env=ENV, capture_output=True, text=True,
                          stdin=subprocess.DEVNULL, timeout=600)
    assert done.returncode == 0, f"{command}:\n{done.stdout}\n{done.stderr}"
    return done.stdout


def copy_sources(to):
    listed = subprocess.run(["git", "ls-files", "-z"], cwd=ROOT, capture_output=True,
                            stdin=subprocess.DEVNULL, timeout=60)
    if listed.returncode != 0:
        pytest.skip(f"{ROOT} is not a git checkout: it has no tracked files to copy")
    for name in listed.stdout.decode().split("\0"):
        if name and os.path.isfile(os.path.join(ROOT, name)):  # not deleted meanwhile
            os.makedirs(os.path.join(to, os.path.dirname(name)), exist_ok=True)
            shutil.copy2(os.path.join(ROOT, name), os.path.join(to, name))


def test_sdist_installed_into_a_fresh_venv(tmp_path, run_program):
    want = run_program(EXAMPLE, neighbors=12)  # first: skips when the program is not built
    with open(os.path.join(ROOT, "VERSION")) as file:
        version = file.read().strip()
    sources, dist, venv, elsewhere = (tmp_path / d for d in ("sources", "dist", "venv", "else"))
    copy_sources(sources)
    run(sys.executable, "-m", "build", "--no-isolation", "--outdir", dist, sources, cwd=sources)
    sdist = dist / f"tessel-{version}.tar.gz"  # and a wheel built from it
    assert len(list(dist.glob(f"tessel-{version}-*.whl"))) == 1, os.listdir(dist)

    with tarfile.open(sdist) as archive:
        held = {name.split("/", 1)[1] for name in archive.getnames() if "/" in name}
    core = {os.path.relpath(os.path.join(d, f), sources)
            for top in ("engine", "foundation") for d, _, files in os.walk(sources / top)
            for f in files if f.endswith((".cpp", ".h"))}
    assert "engine/include/tessel/tessel.h" in core and core <= held, sorted(core - held)
    assert {"engine/sources.cmake", "VERSION", "LICENSE", "README.md"} <= held
    stray = [n for n in held if n.startswith("build/") or ".egg-info" in n
             or n.endswith(BUILT) or n.endswith("_version.py")]
    assert not stray, stray

    run(sys.executable, "-m", "venv", "--system-site-packages", venv, cwd=tmp_path)
    run(venv / "bin" / "pip", "install", "--no-index", "--no-build-isolation", sdist,
        cwd=tmp_path)
    elsewhere.mkdir()
    where, module_version, dist_version, values = json.loads(
        run(venv / "bin" / "python", "-c", PROBE, EXAMPLE, cwd=elsewhere))
    assert where.startswith(str(venv)), where
    assert module_version == dist_version == version
    assert printed(np.frombuffer(bytes.fromhex(values))) == want
