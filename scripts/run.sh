#!/bin/sh
# Shows the built plug-in.
set -eu
cd "$(dirname "$0")/.."
build="${BUILD:-build}"
dll="$build/win/bin/Boardscope.dll"
echo "Built $dll:"
file "$dll" 2>/dev/null || ls -l "$dll"
echo "Exports:"
i686-w64-mingw32-objdump -p "$dll" | sed -n '/\[Ordinal\/Name Pointer\] Table/,/^$/p'
