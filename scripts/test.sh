#!/bin/sh
# Builds and runs every test: the platform-neutral code natively under
# AddressSanitizer and UBSan, a short bounded fuzz run, the build-machine
# checks of the 32-bit DLL, then the 32-bit DLL and its Windows tests under
# 32-bit Wine. CTest's summary of the Wine run comes last.
#
# Where this kernel runs no 32-bit programs, 32-bit Wine cannot start here:
# the Windows tests then run in an emulated x86-64 machine (scripts/guest),
# on the same 32-bit build. BOARDSCOPE_GUEST=1 takes that route anyway.
#
#   scripts/test.sh           everything, as CI runs it (make test)
#   scripts/test.sh --win64   quick loop for developers: the Windows tests on
#                             the same sources built for x86-64, under 64-bit
#                             Wine on this machine (make test-win64)
set -eu
cd "$(dirname "$0")/.."
build="${BUILD:-build}"
jobs="${JOBS:-2}"

scripts/setup.sh

if [ "${1:-}" = --win64 ]; then
  cmake -S . -B "$build/win64" -DCMAKE_TOOLCHAIN_FILE=cmake/toolchain-mingw-x86_64.cmake -DCMAKE_BUILD_TYPE=Release
  cmake --build "$build/win64" -j "$jobs"
  exec scripts/win-tests.sh "$build/win64"
fi

cmake -S . -B "$build/native" -DCMAKE_BUILD_TYPE=Debug
cmake --build "$build/native" -j "$jobs"
ctest --test-dir "$build/native" --output-on-failure

scripts/fuzz-smoke.sh "$build/fuzz"

# The product: the 32-bit DLL, its binary shape checked here.
cmake -S . -B "$build/win" -DCMAKE_TOOLCHAIN_FILE=cmake/toolchain-mingw-i686.cmake -DCMAKE_BUILD_TYPE=Release
cmake --build "$build/win" -j "$jobs"
ctest --test-dir "$build/win" -L static --output-on-failure

if [ "${BOARDSCOPE_GUEST:-0}" != 1 ] && scripts/runs-32bit.sh; then
  exec scripts/win-tests.sh "$build/win"
fi
echo "test: this kernel runs no 32-bit programs (or BOARDSCOPE_GUEST=1): the Windows tests"
echo "      run in an emulated x86-64 machine with 32-bit Wine"
started=$(date +%s)
status=0
scripts/guest/run.sh --wineprefix "$build/win/wineprefix" scripts/win-tests.sh "$build/win" || status=$?
echo "test: the emulated machine ran for $(( $(date +%s) - started )) s"
exit $status
