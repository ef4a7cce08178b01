#!/bin/sh
# Builds the registry-script fuzz target (clang, libFuzzer, ASan, UBSan) and
# runs it for the given number of seconds (default 600), keeping the corpus
# it grows in the build directory. Findings are written as crash-*/leak-*
# files beside the corpus.
#   scripts/fuzz-registrar.sh [seconds] [build-dir]
set -eu
seconds="${1:-600}"
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${2:-$root/../build-fuzz}"
cmake -S "$root" -B "$build" -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
  -DBOARDSCOPE_FUZZ=ON -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" -j2 --target fuzz_script
mkdir -p "$build/fuzz-corpus/registrar"
exec "$build/bin/fuzz_script" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
  -print_final_stats=1 -dict="$root/tests/registrar/fuzz_script.dict" \
  -artifact_prefix="$build/fuzz-corpus/" \
  "$build/fuzz-corpus/registrar" "$root/tests/registrar/fuzz_corpus"
