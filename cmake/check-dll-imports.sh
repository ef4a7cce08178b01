#!/bin/sh
# Checks that the DLL imports nothing but the functions of ALLOWLIST (what
# Windows XP SP3's system DLLs export and the DLL may call); prints every
# other import. An import by ordinal names no function and fails too.
# usage: check-dll-imports.sh OBJDUMP DLL ALLOWLIST
set -eu
objdump="$1"
dll="$2"
allowlist="$3"

# DLL!function per import, the DLL name in lower case.
imports=$("$objdump" -p "$dll" | awk '
  /^The Import Tables/ { inside = 1; next }
  inside && /^The / { inside = 0 }
  !inside { next }
  /DLL Name:/ { name = tolower($3); next }
  name != "" && NF == 3 && $1 ~ /^[0-9a-f]+$/ && $2 ~ /^[0-9]+$/ {
    if ($3 == "<none>") print name "!ordinal-" $2; else print name "!" $3
  }')
if [ -z "$imports" ]; then
  echo "$dll: no imports found in objdump's output"
  exit 1
fi

offenders=$(echo "$imports" | awk '
  NR == FNR { sub(/#.*/, ""); if (NF) allowed[$1] = 1; next }
  !($0 in allowed)' "$allowlist" -)
if [ -n "$offenders" ]; then
  echo "imports not on $allowlist:"
  echo "$offenders" | sed 's/^/  /'
  exit 1
fi
echo "$dll: $(echo "$imports" | wc -l) imports, all on $allowlist"
