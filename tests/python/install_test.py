"""The wheel that python -m build makes from a clean copy of the sources, installed by pip
offline into a fresh venv, gives the tested package's values bit for bit, outside the sources."""
import os
import shutil
import subprocess
import sys
import zipfile

from conftest import EXAMPLE, ROOT

# Where tessel comes from, and its values' bytes in hex.
PROBE = f"""import numpy as np, tessel
table = np.genfromtxt({EXAMPLE!r}, delimiter=",", skip_header=1)
print(tessel.__file__, tessel.smooth(*table.T, neighbors=12).tobytes().hex())"""
WORK_FILES = shutil.ignore_patterns("build", "build-*", "dist", "*.egg-info", "__pycache__",
                                    ".git", "TSLog.txt", "tessel_temp.txt")


def run(*command, cwd, env=None):
    done = subprocess.run(command, cwd=cwd, env=env, capture_output=True, text=True,
                          stdin=subprocess.DEVNULL, timeout=900)
    assert done.returncode == 0, f"{command}:\n{done.stdout}\n{done.stderr}"
    return done.stdout


def test_wheel_installed_into_a_fresh_venv(tmp_path):
    copy, venv = tmp_path / "sources", tmp_path / "venv"
    shutil.copytree(ROOT, copy, ignore=WORK_FILES)
    run(sys.executable, "-m", "build", "--no-isolation", "--wheel", "--outdir", tmp_path, copy,
        cwd=copy)
    (wheel,) = tmp_path.glob("tessel-*.whl")
    assert {"tessel/py.typed", "tessel/_core.pyi"} <= set(zipfile.ZipFile(wheel).namelist())
    run(sys.executable, "-m", "venv", "--system-site-packages", venv, cwd=tmp_path)
    run(venv / "bin" / "pip", "install", "--no-index", wheel, cwd=tmp_path)
    # Without PYTHONPATH, which names the build tree's package, only the
    # installed package can be imported.
    env = {k: v for k, v in os.environ.items() if k != "PYTHONPATH"}
    where, values = run(venv / "bin" / "python", "-c", PROBE, cwd=tmp_path, env=env).split()
    assert where.startswith(str(venv)), where
    assert values == run(sys.executable, "-c", PROBE, cwd=tmp_path).split()[1]
