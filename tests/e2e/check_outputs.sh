#!/bin/sh
# Checks what the end-to-end test left in OUTPUT: every file equal to its
# golden file (and a golden table for every sample), and every Prometheus
# file accepted by promtool, the Prometheus project's own parser and linter.
# After a wanted change: cp OUTPUT/* GOLDEN/ and review the diff.
#   check_outputs.sh PROMTOOL SAMPLES GOLDEN OUTPUT
set -u
promtool="$1"
samples="$2"
golden="$3"
output="$4"
status=0
fail() { echo "$*"; status=1; }

for sample in "$samples"/*.wmi; do
  name=$(basename "$sample" .wmi)
  for kind in txt json prom; do
    [ -f "$golden/$name.$kind" ] || fail "$sample has no golden $name.$kind"
  done
done
compared=0
for file in "$golden"/*; do
  name=$(basename "$file")
  if [ ! -f "$output/$name" ]; then
    fail "the run wrote no $name"
  elif ! diff -u "$file" "$output/$name"; then
    fail "$name differs from its golden file (above: - golden, + this run)"
  fi
  compared=$((compared + 1))
done
for file in "$output"/*; do
  [ -f "$golden/$(basename "$file")" ] || fail "$(basename "$file") has no golden file"
done

if [ ! -x "$promtool" ]; then
  fail "promtool is missing (Debian's prometheus package; scripts/setup.sh installs it)"
  exit 1
fi
checked=0
for file in "$output"/*.prom; do
  if ! problems=$("$promtool" check metrics < "$file" 2>&1); then
    fail "promtool check metrics rejects $(basename "$file"):"
    echo "$problems"
  fi
  checked=$((checked + 1))
done
[ "$checked" -gt 0 ] || fail "no Prometheus file to check"
echo "$compared outputs compared with their golden files, $checked Prometheus files checked by promtool"
exit $status
