#!/bin/sh
# Builds the fuzz targets with clang and libFuzzer and runs each for a short,
# bounded time (their CTest entries): fuzz-smoke.sh BUILD_DIR
set -eu
cd "$(dirname "$0")/.."
dir="${1:-build/fuzz}"

cmake -S . -B "$dir" -DCMAKE_BUILD_TYPE=Debug -DBOARDSCOPE_FUZZ=ON \
  -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++
cmake --build "$dir" -j "${JOBS:-2}"
ctest --test-dir "$dir" --output-on-failure
