# Everyday commands; each wraps CMake.
#   make run       build the program, then smooth the bundled example
#   make test      install what the tests need (tools/install-deps), build, run every test
#   make sanitize  build with AddressSanitizer/UBSan into build-asan/ and run every test there
#   make bench     time whole runs at growing sizes
#   make bench-dask  time python3 -m tessel.dask against the program (10M and 20M points)
#   make fuzz      build the libFuzzer targets with clang and run each a while
#   make ld64-check  build with long double as double (-mlong-double-64) into build-ld64/,
#                  run its engine and end-to-end tests, and compare its output with build/'s
#   make clang-check  build the program and the engine's tests with clang into build-clang/
#                  (the extended type in software) and run the engine's tests
#   make install   install the program and its man page (PREFIX=/usr/local)
#   make deb       build the Debian package build/tessel_VERSION_ARCH.deb (cpack, in build/deb/)
#   make deb-check  make deb, then lintian it and install and try it in a fresh
#                  Debian 12 root made with mmdebstrap (as root; tests/packaging/deb_check.sh)
#   make python    build the Python package into build/python/tessel/ (pip: see README)
#   make r         build the R package's source package, R CMD build r, into build/r/
#   make r-test    install it into build/r/lib and run its tests, then install r/ from a
#                  fresh copy of the repository (make test does both when R is there)
#   make r-check   R CMD check --as-cran the source package, offline; fails on an ERROR
#                  or a WARNING
#   make map       draw the bundled example's map into doc/example-map.png and its
#                  districts (examples/districts.py) into build/districts.png, and
#                  write them to build/districts.gpkg
#   make readme-test  run README's runnable blocks as pasted, and the Python
#                  walkthrough's (doc/python-walkthrough.md) in one session (make test does)
#   make format    format every C++ file in place with clang-format (.clang-format)
#   make format-check  fail when a C++ file is not formatted that way
# WERROR=ON turns compiler warnings into errors in every build (.ci/run sets it).
# ./build.sh TARGET runs make TARGET where make may be missing: it installs
# what the target needs first (tools/install-deps).

PREFIX ?= /usr/local
JOBS ?= 2
# Debian's interpreter, which sees Debian's numpy and matplotlib.
PYTHON ?= $(if $(wildcard /usr/bin/python3),/usr/bin/python3,python3)
WERROR ?= OFF
CONFIGURE = cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTESSEL_WERROR=$(WERROR)

.PHONY: all build test sanitize run bench bench-dask install clean python map format format-check \
  r r-test r-check readme-test ld64-check clang-check deb deb-check

all: build

build:
	$(CONFIGURE) >/dev/null
	cmake --build build -j $(JOBS)

test:
	@bash tools/install-deps
	$(CONFIGURE) -DTESSEL_TESTS=ON >/dev/null
	cmake --build build -j $(JOBS)
	cd build && ctest --output-on-failure -j $(JOBS)
	@if command -v R >/dev/null; then $(MAKE) --no-print-directory r-test; \
	else echo "R not found: the R package's tests are skipped (tools/install-deps installs R)"; fi
	$(MAKE) --no-print-directory readme-test

sanitize:
	cmake -S . -B build-asan -DCMAKE_BUILD_TYPE=Debug -DTESSEL_SANITIZE=ON -DTESSEL_WERROR=$(WERROR) >/dev/null
	cmake --build build-asan -j $(JOBS)
	cd build-asan && ASAN_OPTIONS=allocator_may_return_null=1 ctest --output-on-failure -j $(JOBS)

# make ld64-check: long double as double, as on ARM64 macOS and with MSVC,
# so that the engine does its extended arithmetic in software
# (engine/extended.h). Its engine and end-to-end tests pass, and
# tests/platform/same_output.sh finds the normal build's bytes: the values
# of the differential test's SAME_RUNS random runs and the tables of every
# bench layout at SAME_POINTS points.
SAME_RUNS ?= 2000
SAME_POINTS ?= 200000
ld64-check:
	$(CONFIGURE) -DTESSEL_TESTS=ON >/dev/null
	cmake --build build -j $(JOBS) --target engine_tests tessel make_points
	cmake -S . -B build-ld64 -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTESSEL_WERROR=$(WERROR) \
	  -DTESSEL_TESTS=ON -DCMAKE_CXX_FLAGS=-mlong-double-64 >/dev/null
	cmake --build build-ld64 -j $(JOBS) --target engine_tests e2e_tests
	cd build-ld64 && ctest -R '^(engine|e2e)$$' --output-on-failure
	bash tests/platform/same_output.sh build build-ld64 $(SAME_RUNS) $(SAME_POINTS)

# make clang-check: the program and the engine's tests built with clang,
# Apple's compiler, with the extended type in software as on ARM64 macOS
# (make fuzz builds the engine with clang and long double).
clang-check:
	CXX=clang++ cmake -S . -B build-clang -DCMAKE_BUILD_TYPE=RelWithDebInfo \
	  -DTESSEL_WERROR=$(WERROR) -DTESSEL_TESTS=ON -DTESSEL_SOFT_EXTENDED=ON >/dev/null
	cmake --build build-clang -j $(JOBS) --target tessel engine_tests
	cd build-clang && ctest -R '^engine$$' --output-on-failure

run:
	@$(CONFIGURE) >/dev/null
	@cmake --build build -j $(JOBS) --target tessel >/dev/null
	./build/tessel -r -m NA -f examples/rates.csv

python:
	$(CONFIGURE) >/dev/null
	cmake --build build -j $(JOBS) --target tessel_python

# The R package. r/src/engine and r/inst/extdata/rates.csv are links to
# the core's engine/ and the bundled example; R CMD build follows links, so
# its source package carries the core and installs on its own, and
# R CMD INSTALL r builds the repository's own core. r/DESCRIPTION's Version
# must be VERSION's.
VERSION_NUMBER := $(shell cat VERSION)
R_TARBALL = build/r/tessel_$(VERSION_NUMBER).tar.gz
R_LIB = $(abspath build/r/lib)
r:
	@command -v R >/dev/null || { echo "R not found (tools/install-deps installs it)" >&2; exit 1; }
	@grep -qx 'Version: $(VERSION_NUMBER)' r/DESCRIPTION || \
	  { echo "r/DESCRIPTION: Version is not $(VERSION_NUMBER), the one in VERSION" >&2; exit 1; }
	rm -rf build/r/tessel build/r/tessel_*.tar.gz
	mkdir -p build/r
	cd build/r && R CMD build --no-manual ../../r

# The tests of the source package, then tests/r/fresh_clone.sh, which needs
# the program to compare with.
r-test: r
	mkdir -p $(R_LIB)
	MAKEFLAGS=-j$(JOBS) R CMD INSTALL -l $(R_LIB) $(R_TARBALL)
	NOT_CRAN=true R_LIBS=$(R_LIB) Rscript r/run_tests.R r/tests/testthat
	$(CONFIGURE) >/dev/null
	cmake --build build -j $(JOBS) --target tessel
	bash tests/r/fresh_clone.sh build/tessel

# README's runnable blocks, pasted in a scratch directory (tests/readme/);
# its R blocks use the library make r-test installed, when there is one.
# Then the Python walkthrough's blocks, in one session.
readme-test:
	$(PYTHON) tests/readme/readme_blocks.py build $(if $(wildcard $(R_LIB)/tessel),$(R_LIB))
	$(PYTHON) tests/readme/readme_blocks.py build --file doc/python-walkthrough.md

# --as-cran without the network: the incoming checks stay local
# (_R_CHECK_CRAN_INCOMING_REMOTE_), the file times are not checked against
# a time server (_R_CHECK_SYSTEM_CLOCK_), and the repository that the
# dependency check reads (R_PROFILE sets it) is an empty one in build/r/.
# No PDF manual: that needs LaTeX.
R_OFFLINE = $(abspath build/r/offline)
r-check: r
	mkdir -p $(R_OFFLINE)/src/contrib
	: >$(R_OFFLINE)/src/contrib/PACKAGES
	echo 'options(repos = c(CRAN = "file://$(R_OFFLINE)"))' >$(R_OFFLINE)/Rprofile
	cd build/r && R_PROFILE=$(R_OFFLINE)/Rprofile _R_CHECK_CRAN_INCOMING_REMOTE_=false \
	  _R_CHECK_SYSTEM_CLOCK_=false MAKEFLAGS=-j$(JOBS) \
	  R CMD check --as-cran --no-manual tessel_$(VERSION_NUMBER).tar.gz
	@! grep -E '^Status:.*(WARNING|ERROR)' build/r/tessel.Rcheck/00check.log

map: python
	PYTHONPATH=build/python $(PYTHON) examples/map.py
	PYTHONPATH=build/python $(PYTHON) examples/districts.py --output build/districts.png \
	  --geopackage build/districts.gpkg

bench: build
	cmake --build build -j $(JOBS) --target phase_times diagnostics_cost io_floor
	bash bench/run.sh build

bench-dask: build python
	bash bench/dask.sh build

install: build
	cmake --install build --prefix $(PREFIX)

# make deb: the program, its man page and the C++ library as one Debian
# package (packaging/deb.cmake), built in build/deb/ for the prefix /usr with
# Debian's compiler and linker flags (dpkg-buildflags, all hardening on);
# the changelog is dated at the last commit (SOURCE_DATE_EPOCH).
VERSION := $(shell cat VERSION)
DEB_ARCH = $(shell dpkg --print-architecture)
DEB = build/tessel_$(VERSION)_$(DEB_ARCH).deb
DEB_FLAGS = $(shell DEB_BUILD_MAINT_OPTIONS=hardening=+all dpkg-buildflags --get $(1))
deb:
	@command -v dpkg-shlibdeps >/dev/null || \
	  { echo "make deb: dpkg-shlibdeps not found (tools/install-deps installs dpkg-dev)" >&2; exit 1; }
	SOURCE_DATE_EPOCH=$$(git log -1 --format=%ct 2>/dev/null || date +%s) \
	  cmake -S . -B build/deb -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_INSTALL_PREFIX=/usr \
	  -DTESSEL_TESTS=OFF -DTESSEL_WERROR=$(WERROR) \
	  -DCMAKE_CXX_FLAGS="$(call DEB_FLAGS,CPPFLAGS) $(call DEB_FLAGS,CXXFLAGS)" \
	  -DCMAKE_EXE_LINKER_FLAGS="$(call DEB_FLAGS,LDFLAGS)" >/dev/null
	cmake --build build/deb -j $(JOBS)
	rm -f build/deb/*.deb $(DEB)
	cd build/deb && cpack -G DEB
	cp build/deb/tessel_$(VERSION)_$(DEB_ARCH).deb $(DEB)

# make deb-check: lintian finds no error in the package; then, in a fresh
# Debian 12 root, apt-get installs it, the program prints README's worked
# example, man shows its page and an outside CMake project links the
# library (tests/packaging/deb_check.sh; as root, DEB_CHECK_SECONDS bound it).
DEB_CHECK_SECONDS ?= 1800
deb-check: deb
	DEB_CHECK_SECONDS=$(DEB_CHECK_SECONDS) bash tests/packaging/deb_check.sh $(DEB) .

clean:
	rm -rf build build-asan build-fuzz build-ld64 build-clang

# make fuzz: builds the libFuzzer targets with clang (needs clang and
# libclang-rt-14-dev) into $(FUZZ_BUILD)/ and runs each for FUZZ_SECONDS
# seconds on a working copy of its seed corpus and regression cases, so the
# committed files stay as they are. Findings go to $(FUZZ_BUILD)/artifacts/.
FUZZ_BUILD ?= build-fuzz
FUZZ_CXX ?= clang++
FUZZ_SECONDS ?= 30
FUZZ_MAX_LEN ?= 4096

.PHONY: fuzz
fuzz:
	CXX=$(FUZZ_CXX) cmake -S . -B $(FUZZ_BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTESSEL_FUZZ=ON \
	  -DTESSEL_WERROR=$(WERROR) >/dev/null
	cmake --build $(FUZZ_BUILD) -j $(JOBS) --target tokenizer_fuzz program_fuzz reader_fuzz
	@set -e; dir="$(abspath $(FUZZ_BUILD))"; mkdir -p "$$dir/artifacts"; \
	for target in tokenizer program reader; do \
	  mkdir -p "$$dir/corpus-$$target"; \
	  cp -R fuzz/corpus/$$target/. "$$dir/corpus-$$target/"; \
	  if [ -d fuzz/regressions/$$target ]; then cp -R fuzz/regressions/$$target/. "$$dir/corpus-$$target/"; fi; \
	  echo "fuzzing $$target for $(FUZZ_SECONDS) s"; \
	  "$$dir/$${target}_fuzz" -max_total_time=$(FUZZ_SECONDS) -max_len=$(FUZZ_MAX_LEN) \
	    -timeout=20 -close_fd_mask=2 -print_final_stats=1 \
	    -artifact_prefix="$$dir/artifacts/$$target-" "$$dir/corpus-$$target" </dev/null; \
	done

# make format rewrites every C++ file in place with clang-format, following
# .clang-format; make format-check changes nothing and fails, naming each
# place, when a file is not formatted so.
CLANG_FORMAT ?= clang-format
CXX_FILES = $(shell find foundation engine frontend tests bench fuzz python r/src -type f \
              \( -name '*.cpp' -o -name '*.cc' -o -name '*.h' -o -name '*.hpp' \) | LC_ALL=C sort)
NEED_CLANG_FORMAT = command -v $(CLANG_FORMAT) >/dev/null || \
  { echo "$(CLANG_FORMAT) not found (tools/install-deps installs it)" >&2; exit 1; }

format:
	@$(NEED_CLANG_FORMAT)
	@echo "$(CLANG_FORMAT) -i on $(words $(CXX_FILES)) files"
	@$(CLANG_FORMAT) -i $(CXX_FILES)

format-check:
	@$(NEED_CLANG_FORMAT)
	@echo "$(CLANG_FORMAT) --dry-run --Werror on $(words $(CXX_FILES)) files"
	@$(CLANG_FORMAT) --dry-run --Werror $(CXX_FILES)
