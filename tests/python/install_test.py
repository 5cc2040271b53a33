"""The package as users install it: pip into a fresh virtual environment
from a clean copy of the sources, offline, giving the values of the package
under test bit for bit, imported from elsewhere; and a wheel from
python -m build."""
import os
import shutil
import subprocess
import sys
import zipfile

import numpy as np
import pytest

import tessel
from conftest import EXAMPLE, ROOT

# Where tessel comes from, and its values' bytes in hex.
PROBE = f"""if 1:
    import numpy as np, tessel
    table = np.genfromtxt({EXAMPLE!r}, delimiter=",", skip_header=1)
    print(tessel.__file__)
    print(tessel.smooth(*table.T, neighbors=12).tobytes().hex())
"""
WORK_FILES = shutil.ignore_patterns("build", "build-*", "dist", "*.egg-info", "__pycache__",
                                    ".git", "TSLog.txt", "tessel_temp.txt")


def run(command, cwd, timeout=900):
    """Runs command without PYTHONPATH (which names the build tree's
    package), so that only the installed package can be imported."""
    env = {k: v for k, v in os.environ.items() if k != "PYTHONPATH"}
    done = subprocess.run(command, cwd=cwd, env=env, capture_output=True, text=True,
                          stdin=subprocess.DEVNULL, timeout=timeout)
    assert done.returncode == 0, f"{command}:\n{done.stdout}\n{done.stderr}"
    return done.stdout


@pytest.fixture(scope="module")
def clean_copy(tmp_path_factory):
    copy = tmp_path_factory.mktemp("clone") / "tessel"
    shutil.copytree(ROOT, copy, ignore=WORK_FILES)
    return copy


def test_pip_install_into_a_fresh_venv(clean_copy, tmp_path):
    venv = tmp_path / "venv"
    run([sys.executable, "-m", "venv", "--system-site-packages", str(venv)], tmp_path)
    run([str(venv / "bin" / "pip"), "install", "--no-index", "--no-build-isolation",
         str(clean_copy)], clean_copy)
    elsewhere = tmp_path / "elsewhere"
    elsewhere.mkdir()
    where, values = run([str(venv / "bin" / "python"), "-c", PROBE], elsewhere).split()
    assert where.startswith(str(venv)), where
    table = np.genfromtxt(EXAMPLE, delimiter=",", skip_header=1)
    assert values == tessel.smooth(*table.T, neighbors=12).tobytes().hex()


def test_wheel_from_python_build(clean_copy, tmp_path):
    run([sys.executable, "-m", "build", "--no-isolation", "--wheel", "--outdir",
         str(tmp_path), str(clean_copy)], clean_copy)
    (wheel,) = tmp_path.glob("tessel-*.whl")
    names = zipfile.ZipFile(wheel).namelist()
    assert {"tessel/__init__.py", "tessel/py.typed", "tessel/_core.pyi"} <= set(names)
    assert any(n.startswith("tessel/_core.") and n.endswith(".so") for n in names)
