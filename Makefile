# w_pclog: two builds from one source, and everything needed to test them.
#   make build   build the Linux library, tools and tests, and the 32- and
#                64-bit Windows DLLs
#   make demo    build, start the simulator on a pty and talk to it
#   make test    build and run every test: unit (also under ASan/UBSan), fuzzers, end to
#                end, the 64-bit DLL under Wine, the 32-bit DLL from its file
#                (and under 32-bit Wine with WINE32=1, where the machine runs it)
#   make fuzz-long  every fuzz target for 10 minutes (FUZZ_LONG_SECONDS)
#   make package    the Debian package (cpack) of the Linux products, and a zip
#                   of both DLLs for Windows integrators
#   make bindings   renew the Python, C#, Pascal and VB declarations and the list
#                   of exports (docs/exports.md) from the header
# Each target first installs what is missing (Debian packages).

SHELL := /bin/bash
JOBS ?= $(shell nproc)
BUILD := build
BUILD_WIN32 := build-win32
BUILD_WIN64 := build-win64
BUILD_FUZZ := build-fuzz
FUZZ_SECONDS ?= 5
FUZZ_LONG_SECONDS ?= 600

APT_PACKAGES := cmake ninja-build g++ clang libclang-rt-14-dev libgtest-dev libgmock-dev \
  libbenchmark-dev libcli11-dev pkg-config gawk zip unzip \
  g++-mingw-w64-i686 binutils-mingw-w64-i686 g++-mingw-w64-x86-64 binutils-mingw-w64-x86-64 \
  wine64 xvfb xauth libcpp-httplib-dev nlohmann-json3-dev chromium \
  python3 python3-venv mono-mcs mono-runtime fp-compiler fp-units-rtl \
  libtomlplusplus-dev libsqlite3-dev libpq-dev postgresql
DEPS_STAMP := $(BUILD)/.deps-ok

.PHONY: all build demo test deps linux win32 win64 fuzz fuzz-long package readme bindings clean

all: build

$(DEPS_STAMP): Makefile
	@WINE32=$(WINE32) ./tools/install-deps.sh $(APT_PACKAGES)
	@mkdir -p $(BUILD) && touch $@

deps: $(DEPS_STAMP)

linux: deps
	cmake -S . -B $(BUILD) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
	  -DWPL_WIN32_DIR=$(abspath $(BUILD_WIN32)) -DWPL_WIN64_DIR=$(abspath $(BUILD_WIN64))
	cmake --build $(BUILD) -j $(JOBS)

win32: deps
	cmake -S . -B $(BUILD_WIN32) -G Ninja -DCMAKE_BUILD_TYPE=Release \
	  -DCMAKE_TOOLCHAIN_FILE=$(abspath cmake/mingw-i686.cmake)
	cmake --build $(BUILD_WIN32) -j $(JOBS)

win64: deps
	cmake -S . -B $(BUILD_WIN64) -G Ninja -DCMAKE_BUILD_TYPE=Release \
	  -DCMAKE_TOOLCHAIN_FILE=$(abspath cmake/mingw-x86_64.cmake)
	cmake --build $(BUILD_WIN64) -j $(JOBS)

# The sanitizer tree (clang, ASan and UBSan): the fuzz targets and the unit
# tests, built once for both.
fuzz: deps
	CC=clang CXX=clang++ cmake -S . -B $(BUILD_FUZZ) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
	  -DWPL_FUZZ=ON
	cmake --build $(BUILD_FUZZ) -j $(JOBS) --target fuzzers unit_tests

build: linux win32 win64

demo: build
	./tools/demo.sh $(BUILD)

test: build fuzz
	cd $(BUILD_FUZZ) && ctest --output-on-failure -j $(JOBS)
	FUZZ_SECONDS=$(FUZZ_SECONDS) ./tests/fuzz/run_fuzzers.sh $(BUILD_FUZZ)
	cd $(BUILD) && ctest --output-on-failure -j $(JOBS)

# Every fuzz target for FUZZ_LONG_SECONDS (default 10 minutes) each.
fuzz-long: fuzz
	FUZZ_SECONDS=$(FUZZ_LONG_SECONDS) ./tests/fuzz/run_fuzzers.sh $(BUILD_FUZZ)

# The host languages' declarations of the exports and docs/exports.md, from
# the header (readme: the former name).
bindings readme:
	python3 tools/bindings_from_header.py

# The Debian package of the Linux products, in build/, and the zip of both
# DLLs for Windows integrators, build/w_pclog-windows-<version>.zip.
package: build
	cd $(BUILD) && cpack
	./tools/windows_package.sh $(BUILD_WIN32) $(BUILD_WIN64) $(BUILD)

clean:
	rm -rf $(BUILD) $(BUILD_WIN32) $(BUILD_WIN64) $(BUILD_FUZZ)
