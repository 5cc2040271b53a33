# Everyday commands; each wraps CMake.
#   make run       build, then smooth the bundled example
#   make test      build, then run every test
#   make sanitize  build with AddressSanitizer/UBSan into build-asan/ and run every test there
#   make bench     time whole runs at growing sizes
#   make install   install the program and its man page (PREFIX=/usr/local)

PREFIX ?= /usr/local
JOBS ?= 2

.PHONY: all build test sanitize run bench install clean

all: build

build:
	cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
	cmake --build build -j $(JOBS)

test: build
	cd build && ctest --output-on-failure -j $(JOBS)

sanitize:
	cmake -S . -B build-asan -DCMAKE_BUILD_TYPE=Debug -DTESSEL_SANITIZE=ON >/dev/null
	cmake --build build-asan -j $(JOBS)
	cd build-asan && ASAN_OPTIONS=allocator_may_return_null=1 ctest --output-on-failure -j $(JOBS)

run:
	@$(MAKE) --no-print-directory -s build >/dev/null
	./build/tessel -r -m NA -f examples/rates.csv

bench: build
	cmake --build build -j $(JOBS) --target tessel_exhaustive
	bash bench/run.sh build

install: build
	cmake --install build --prefix $(PREFIX)

clean:
	rm -rf build build-asan
