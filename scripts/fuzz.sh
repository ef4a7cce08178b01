#!/bin/sh
# Builds one fuzz target (clang, libFuzzer, ASan, UBSan) and runs it for the
# given number of seconds (default 600), growing a corpus in the build
# directory from the repository's. Findings are written as crash-*, leak-*
# and timeout-* files beside that corpus.
#   scripts/fuzz.sh TARGET [seconds] [build-dir]
#   TARGET: fuzz_script (the interpreter against the seeded in-memory
#   registry), fuzz_script_text (token reader and expansion),
#   test_thermal_walk_fuzz (the thermal-zone buffer walk), fuzz_wmi_probe
#   (zemhost's node count of a capture)
set -eu
target="${1:?usage: scripts/fuzz.sh TARGET [seconds] [build-dir]}"
seconds="${2:-600}"
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${3:-$root/build/fuzz-long}"
dict=""
max_len=""
case "$target" in
  # Long inputs are mostly repeated references to the large substitution,
  # each expanded and read four times; they slow a long run for little gain.
  # 768 bytes still holds the largest real script (711).
  fuzz_script) seeds="$root/tests/registrar/fuzz_corpus"; dict="$root/tests/registrar/fuzz_script.dict"
               max_len=768 ;;
  fuzz_script_text) seeds="$root/tests/registrar/fuzz_text_corpus"; dict="$root/tests/registrar/fuzz_script.dict" ;;
  test_thermal_walk_fuzz) seeds="$root/tests/component/thermal_walk_fuzz_corpus $root/samples" ;;
  fuzz_wmi_probe) seeds="$root/tests/zemhost/wmi_probe_fuzz_corpus $root/samples" ;;
  *) echo "unknown fuzz target: $target" >&2; exit 2 ;;
esac
cmake -S "$root" -B "$build" -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
  -DBOARDSCOPE_FUZZ=ON -DCMAKE_BUILD_TYPE=Debug >/dev/null
cmake --build "$build" -j "${JOBS:-2}" --target "$target"
corpus="$build/fuzz-corpus/$target"
mkdir -p "$corpus"
set -- -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -print_final_stats=1 \
  -artifact_prefix="$build/fuzz-corpus/$target-"
[ -n "$dict" ] && set -- "$@" -dict="$dict"
[ -n "$max_len" ] && set -- "$@" -max_len="$max_len"
# shellcheck disable=SC2086 # seeds holds one or two folders
exec "$build/bin/$target" "$@" "$corpus" $seeds
