#!/bin/sh
# Runs the Windows tests of one cross build under Wine (its CTest entries but
# the build-machine checks) and stops the build's private prefix afterwards,
# whatever happened.   win-tests.sh BUILD_DIR
set -u
cd "$(dirname "$0")/.."
dir="$1"
status=0
ctest --test-dir "$dir" -LE static --output-on-failure || status=$?
case "$dir" in /*) prefix="$dir/wineprefix" ;; *) prefix="$PWD/$dir/wineprefix" ;; esac
WINEPREFIX="$prefix" cmake/wine-prefix stop
exit $status
