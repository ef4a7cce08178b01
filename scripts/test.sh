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

scripts/fuzz-smoke.sh "$build/fuzz" "${FUZZ_SECONDS:-20}"

cmake -S . -B "$build/win" -DCMAKE_TOOLCHAIN_FILE=cmake/toolchain-mingw-i686.cmake -DCMAKE_BUILD_TYPE=Release
cmake --build "$build/win" -j "$jobs"
status=0
ctest --test-dir "$build/win" --output-on-failure || status=$?
# Nothing of the prefix outlives the run, whatever happened.
WINEPREFIX="$PWD/$build/win/wineprefix" cmake/wine-prefix stop
exit $status
