"""Builds the compiled core of the Python package tessel (tessel._core) from
the core's sources as engine/sources.cmake lists them, the one list the
CMake build reads too, and the front end's reader; pyproject.toml holds the rest of the package's
description."""
import os
import re

from pybind11.setup_helpers import ParallelCompile, Pybind11Extension
from setuptools import setup

ROOT = os.path.dirname(os.path.abspath(__file__))


def engine_sources():
    """The paths in engine/sources.cmake's set(TESSEL_ENGINE_SOURCES ...)."""
    with open(os.path.join(ROOT, "engine", "sources.cmake")) as listing:
        text = re.sub(r"#[^\n]*", "", listing.read())
    found = re.search(r"set\(\s*TESSEL_ENGINE_SOURCES\s+([^)]*)\)", text)
    if not found or not found.group(1).split():
        raise RuntimeError("engine/sources.cmake: no set(TESSEL_ENGINE_SOURCES ...) list")
    return found.group(1).split()


def reader_sources():
    """The front end's and the foundation's sources but the program's main:
    tessel.dask reads input files by the program's own rules."""
    found = []
    for folder in ("frontend", "foundation"):
        found += sorted(os.path.join(folder, name) for name in os.listdir(os.path.join(ROOT, folder))
                        if name.endswith(".cpp") and name != "main.cpp")
    return found


os.makedirs(os.path.join(ROOT, "build", "setuptools"), exist_ok=True)

# Two compilers at once by default (NPY_NUM_BUILD_JOBS chooses).
ParallelCompile("NPY_NUM_BUILD_JOBS", default=2).install()

core = Pybind11Extension(
    "tessel._core",
    ["python/core_module.cpp", "python/cluster_module.cpp", "python/command_module.cpp"] + engine_sources()
    + reader_sources(),
    include_dirs=["engine/include", "."],
    cxx_std=17,
    # The smoother's arithmetic is fixed operation by operation, as in the
    # CMake build: no fused multiply-add contraction, never fast-math.
    extra_compile_args=["-ffp-contract=off", "-fno-fast-math", "-DNDEBUG"],
)

setup(
    ext_modules=[core],
    # Setuptools' work files beside CMake's, in the ignored build/ directory.
    options={"build": {"build_base": "build/setuptools"},
             "egg_info": {"egg_base": "build/setuptools"}},
)
