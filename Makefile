# w_pclog: two builds from one source, and everything needed to test them.
#   make build   build the Linux library, tools and tests, and the Windows DLL
#   make demo    build, start the simulator on a pty and talk to it
#   make test    build and run every test: unit, sanitizers, fuzzers, end to
#                end, and the DLL under Wine
#   make fuzz-long  every fuzz target for 10 minutes (FUZZ_LONG_SECONDS)
#   make package    the Debian package (cpack) of the Linux products
#   make readme     renew the README's list of exports from the header
# Each target first installs what is missing (Debian packages, i386 for wine32).

SHELL := /bin/bash
JOBS ?= $(shell nproc)
BUILD := build
BUILD_ASAN := build-asan
BUILD_WIN32 := build-win32
BUILD_FUZZ := build-fuzz
FUZZ_SECONDS ?= 5
FUZZ_LONG_SECONDS ?= 600

APT_PACKAGES := cmake ninja-build g++ clang libclang-rt-14-dev libgtest-dev libgmock-dev \
  libbenchmark-dev libcli11-dev pkg-config g++-mingw-w64-i686 binutils-mingw-w64-i686 wine wine32 \
  xvfb xauth libtomlplusplus-dev libsqlite3-dev libpq-dev postgresql
DEPS_STAMP := $(BUILD)/.deps-ok

.PHONY: all build demo test deps linux win32 asan fuzz fuzz-long package readme clean

all: build

$(DEPS_STAMP):
	@./tools/install-deps.sh $(APT_PACKAGES)
	@mkdir -p $(BUILD) && touch $@

deps: $(DEPS_STAMP)

linux: deps
	cmake -S . -B $(BUILD) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
	  -DWPL_WIN32_DIR=$(abspath $(BUILD_WIN32))
	cmake --build $(BUILD) -j $(JOBS)

win32: deps
	cmake -S . -B $(BUILD_WIN32) -G Ninja -DCMAKE_BUILD_TYPE=Release \
	  -DCMAKE_TOOLCHAIN_FILE=$(abspath cmake/mingw-i686.cmake)
	cmake --build $(BUILD_WIN32) -j $(JOBS)

asan: deps
	cmake -S . -B $(BUILD_ASAN) -G Ninja -DCMAKE_BUILD_TYPE=Debug -DWPL_SANITIZE=ON
	cmake --build $(BUILD_ASAN) -j $(JOBS) --target unit_tests

fuzz: deps
	CC=clang CXX=clang++ cmake -S . -B $(BUILD_FUZZ) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
	  -DWPL_FUZZ=ON
	cmake --build $(BUILD_FUZZ) -j $(JOBS) --target fuzzers

build: linux win32

demo: build
	./tools/demo.sh $(BUILD)

test: build asan fuzz
	cd $(BUILD_ASAN) && ctest --output-on-failure -j $(JOBS)
	FUZZ_SECONDS=$(FUZZ_SECONDS) ./tests/fuzz/run_fuzzers.sh $(BUILD_FUZZ)
	cd $(BUILD) && ctest --output-on-failure -j $(JOBS)

# Every fuzz target for FUZZ_LONG_SECONDS (default 10 minutes) each.
fuzz-long: fuzz
	FUZZ_SECONDS=$(FUZZ_LONG_SECONDS) ./tests/fuzz/run_fuzzers.sh $(BUILD_FUZZ)

# The README's list of exports, from the header's comments.
readme:
	./tools/export_list.sh include/w_pclog.h --write README.md

# The Debian package of the Linux products, in build/.
package: linux
	cd $(BUILD) && cpack

clean:
	rm -rf $(BUILD) $(BUILD_ASAN) $(BUILD_WIN32) $(BUILD_FUZZ)
