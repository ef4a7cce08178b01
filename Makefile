# Two commands do everything on a fresh machine:
#   make run   installs what is missing, builds the DLL and shows it working
#   make test  installs what is missing, builds and runs every test
# and, to ship:
#   make dist  builds the Release product and writes dist/: the MSI, the
#              win32 and debug zips and SHA256SUMS (scripts/dist.sh)
# and, for developers, a quick loop on the same sources built for x86-64:
#   make test-win64  only the Windows tests, under 64-bit Wine on this machine
BUILD ?= build
JOBS ?= 2
export BUILD JOBS

.PHONY: all build run test test-win64 dist clean

all: build

build:
	scripts/setup.sh
	cmake -S . -B $(BUILD)/win -DCMAKE_TOOLCHAIN_FILE=cmake/toolchain-mingw-i686.cmake -DCMAKE_BUILD_TYPE=Release
	cmake --build $(BUILD)/win -j $(JOBS)

run: build
	scripts/run.sh

test:
	scripts/test.sh

test-win64:
	scripts/test.sh --win64

dist:
	scripts/dist.sh

clean:
	rm -rf $(BUILD)
