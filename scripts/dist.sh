#!/bin/sh
# make dist: builds the Release product and packs the release into dist/
# (installer/package.sh: the MSI, the win32 and debug zips, SHA256SUMS).
# The same sources give the same bytes: every date is SOURCE_DATE_EPOCH, the
# last commit's time unless the caller sets it. BOARDSCOPE_SIGN_CERT and
# BOARDSCOPE_SIGN_KEY (PEM files) sign the programs and the package.
#   scripts/dist.sh [OUTPUT_DIR]     default: dist
set -eu
cd "$(dirname "$0")/.."
build="${BUILD:-build}"
jobs="${JOBS:-2}"
out="${1:-dist}"

scripts/setup.sh
if [ -z "${SOURCE_DATE_EPOCH:-}" ]; then
  if ! SOURCE_DATE_EPOCH=$(git log -1 --format=%ct 2>/dev/null); then
    echo "dist: not a git checkout: set SOURCE_DATE_EPOCH" >&2
    exit 2
  fi
fi
export SOURCE_DATE_EPOCH
cmake -S . -B "$build/win" -DCMAKE_TOOLCHAIN_FILE=cmake/toolchain-mingw-i686.cmake -DCMAKE_BUILD_TYPE=Release
cmake --build "$build/win" -j "$jobs" --target Boardscope zemhost installer_inputs
installer/package.sh "$build/win" "$out"
(cd "$out" && cat SHA256SUMS)
