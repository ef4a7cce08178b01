#!/bin/sh
# Checks that the DLL as shipped is at most MAX_BYTES long.
# usage: check-dll-size.sh DLL MAX_BYTES
set -eu
dll="$1"
max="$2"
size=$(wc -c < "$dll")
if [ "$size" -gt "$max" ]; then
  echo "$dll: $size bytes, more than $max"
  exit 1
fi
echo "$dll: $size bytes (at most $max)"
