"""Builds the compiled core of the Python package tessel (tessel._core) from
the core's sources as engine/sources.cmake lists them, the one list the
CMake build reads too, and the front end's reader. It also gives the package
what is not static in pyproject.toml: the version, from the file VERSION
(written into the package as tessel/_version.py), and the long description,
the Python section of README.md."""
import os
import re

from pybind11.setup_helpers import ParallelCompile, Pybind11Extension, build_ext
from setuptools import setup
from setuptools.command.build_py import build_py
from setuptools.command.sdist import sdist

ROOT = os.path.dirname(os.path.abspath(__file__))


def read(name):
    with open(os.path.join(ROOT, name), encoding="utf-8") as file:
        return file.read()


VERSION = read("VERSION").strip()
if not VERSION or len(VERSION.split()) != 1:
    raise RuntimeError(f"VERSION: one version expected, not {VERSION!r}")


def python_section():
    """README.md's "## Python" section, up to the next level-2 heading
    outside code blocks."""
    kept, inside, fenced = [], False, False
    for line in read("README.md").splitlines(keepends=True):
        if line.startswith("```"):
            fenced = not fenced
        elif not fenced and line.startswith("## "):
            inside = line.rstrip() == "## Python"
        if inside:
            kept.append(line)
    if not kept:
        raise RuntimeError('README.md: no "## Python" section for the long description')
    return "".join(kept).rstrip() + "\n"


def engine_sources():
    """The paths in engine/sources.cmake's set(TESSEL_ENGINE_SOURCES ...)."""
    text = re.sub(r"#[^\n]*", "", read(os.path.join("engine", "sources.cmake")))
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


# The smoother's arithmetic is fixed operation by operation, as in the CMake
# build: no fused multiply-add contraction, never fast-math. MSVC knows
# neither flag; /fp:precise is its mode that keeps to the source's
# operations (and it contracts only when asked to, with /fp:contract).
FLAGS = {"msvc": ["/fp:precise", "/DNDEBUG"]}
GCC_FLAGS = ["-ffp-contract=off", "-fno-fast-math", "-DNDEBUG"]


class BuildExt(build_ext):
    """Adds the floating-point flags of the compiler at hand."""

    def build_extensions(self):
        for extension in self.extensions:
            extension.extra_compile_args += FLAGS.get(self.compiler.compiler_type, GCC_FLAGS)
        super().build_extensions()


class BuildPy(build_py):
    """Writes tessel/_version.py beside the package's modules (into the
    source tree too for an editable install, which imports from there)."""

    def run(self):
        super().run()
        places = [os.path.join(self.build_lib, "tessel")]
        if getattr(self, "editable_mode", False):
            places.append(os.path.join(ROOT, "python", "tessel"))
        for place in places:
            os.makedirs(place, exist_ok=True)
            with open(os.path.join(place, "_version.py"), "w", encoding="utf-8") as file:
                file.write("# Written by setup.py from the file VERSION.\n"
                           f"__version__ = {VERSION!r}\n")


class Sdist(sdist):
    """Leaves what builds write out of the source distribution: setuptools'
    record of the files (the egg-info directory) and the _version.py an
    editable install leaves in the sources; a build writes them anew."""

    def make_release_tree(self, base_dir, files):
        def written(name):
            parts = name.replace(os.sep, "/").split("/")
            return parts[-1] == "_version.py" or any(p.endswith(".egg-info") for p in parts)

        super().make_release_tree(base_dir, [f for f in files if not written(f)])


os.makedirs(os.path.join(ROOT, "build", "setuptools"), exist_ok=True)

# Two compilers at once by default (NPY_NUM_BUILD_JOBS chooses).
ParallelCompile("NPY_NUM_BUILD_JOBS", default=2).install()

core = Pybind11Extension(
    "tessel._core",
    ["python/core_module.cpp", "python/cluster_module.cpp", "python/command_module.cpp"] + engine_sources()
    + reader_sources(),
    include_dirs=["engine/include", "."],
    cxx_std=17,
)

setup(
    version=VERSION,
    long_description=python_section(),
    long_description_content_type="text/markdown",
    # Here rather than in pyproject.toml, whose [tool.setuptools] table
    # setuptools 66 (Debian 12's) still warns about as beta.
    package_dir={"": "python"},
    packages=["tessel"],
    package_data={"tessel": ["py.typed", "*.pyi"]},
    ext_modules=[core],
    cmdclass={"build_ext": BuildExt, "build_py": BuildPy, "sdist": Sdist},
    # Setuptools' work files beside CMake's, in the ignored build/ directory.
    options={"build": {"build_base": "build/setuptools"},
             "egg_info": {"egg_base": "build/setuptools"}},
)
