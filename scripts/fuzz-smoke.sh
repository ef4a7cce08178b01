#!/bin/sh
# Builds the fuzz targets with clang and libFuzzer and runs each for a
# bounded time: fuzz-smoke.sh BUILD_DIR SECONDS_PER_TARGET
set -eu
cd "$(dirname "$0")/.."
dir="${1:-build/fuzz}"
seconds="${2:-20}"

cmake -S . -B "$dir" -DCMAKE_BUILD_TYPE=Debug -DBOARDSCOPE_FUZZ=ON \
  -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++
cmake --build "$dir" -j "${JOBS:-2}"

for target in "$dir"/bin/fuzz_*; do
  [ -x "$target" ] || continue
  name=$(basename "$target")
  corpus="$dir/corpus/$name"
  mkdir -p "$corpus"
  echo "fuzz: $name for ${seconds}s"
  "$target" -max_total_time="$seconds" -print_final_stats=0 "$corpus" 2>"$dir/$name.log" || {
    tail -n 40 "$dir/$name.log"
    echo "fuzz: $name failed" >&2
    exit 1
  }
  grep -E '^(#[0-9]+|Done)' "$dir/$name.log" | tail -n 1
done
