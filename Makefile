# Two commands do everything on a fresh machine:
#   make run   installs what is missing, builds the DLL and shows it working
#   make test  installs what is missing, builds and runs every test
BUILD ?= build
JOBS ?= 2
export BUILD JOBS

.PHONY: all build run test clean

all: build

build:
	scripts/setup.sh
	cmake -S . -B $(BUILD)/win -DCMAKE_TOOLCHAIN_FILE=cmake/toolchain-mingw-i686.cmake -DCMAKE_BUILD_TYPE=Release
	cmake --build $(BUILD)/win -j $(JOBS)

run: build
	scripts/run.sh

test:
	scripts/test.sh

clean:
	rm -rf $(BUILD)
