#!/bin/sh
# Builds and runs every test: the platform-neutral code natively under
# AddressSanitizer and UBSan, a short bounded fuzz run, then the Windows DLL
# and its tests under Wine. CTest's summary of the Wine run comes last.
set -eu
cd "$(dirname "$0")/.."
build="${BUILD:-build}"
jobs="${JOBS:-2}"

scripts/setup.sh

cmake -S . -B "$build/native" -DCMAKE_BUILD_TYPE=Debug
cmake --build "$build/native" -j "$jobs"
ctest --test-dir "$build/native" --output-on-failure

scripts/fuzz-smoke.sh "$build/fuzz"

# The product: the 32-bit DLL.
cmake -S . -B "$build/win" -DCMAKE_TOOLCHAIN_FILE=cmake/toolchain-mingw-i686.cmake -DCMAKE_BUILD_TYPE=Release
cmake --build "$build/win" -j "$jobs"

# Native 32-bit execution, not emulation: 32-bit Wine hangs under qemu-i386.
runs_32bit_natively() {
  /lib/ld-linux.so.2 --version >/dev/null 2>&1 || return 1
  for entry in /proc/sys/fs/binfmt_misc/*; do
    if grep -q '^interpreter .*qemu-i386' "$entry" 2>/dev/null && grep -qx enabled "$entry"; then
      return 1
    fi
  done
  return 0
}

if runs_32bit_natively; then
  tests="$build/win"
else
  # 32-bit Wine cannot start where the kernel runs no 32-bit programs (some
  # virtual machines). The product's build-machine checks still run; the
  # Windows tests run on the same sources built for 64-bit Wine.
  echo "note: this kernel does not run 32-bit programs; running the Windows tests under 64-bit Wine"
  ctest --test-dir "$build/win" -L static --output-on-failure
  cmake -S . -B "$build/win64" -DCMAKE_TOOLCHAIN_FILE=cmake/toolchain-mingw-x86_64.cmake -DCMAKE_BUILD_TYPE=Release
  cmake --build "$build/win64" -j "$jobs"
  tests="$build/win64"
fi

status=0
ctest --test-dir "$tests" --output-on-failure || status=$?
# Nothing of the prefix outlives the run, whatever happened.
WINEPREFIX="$PWD/$tests/wineprefix" cmake/wine-prefix stop
exit $status
