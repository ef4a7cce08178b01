#!/bin/sh
# Fails when a source file includes across a forbidden arrow, or when a file
# that needs Windows (it includes <windows.h>, a *_win header or the IDL's
# Boardscope.h) is not named *_win: the one rule that tells Windows-only
# files from the platform-neutral ones. Layers, bottom
# up: contract, platform (Windows helpers), registrar, server (the COM frame), component (the
# thermal reader below, the class and its entry builder on the frame above),
# dll (ties them into Boardscope.dll); tools stand beside them on contract and
# platform only, except the in-memory key store, which implements the
# registrar's store interface. Tests may include anything.
#   check-layers.sh SOURCE_DIR
set -eu
cd "$1"

# file pattern, then the folders its files may include from
rules='
contract/*                  contract
platform/*                  contract platform
registrar/*                 contract platform registrar
server/*                    contract platform registrar server
component/zem_boardscope*   contract platform registrar server component
component/zone_entries*     contract platform registrar server component
component/*                 contract platform component
dll/*                       contract platform registrar server component dll
tools/memory_registry/*     contract registrar tools
tools/*                     contract platform tools
'

status=0
for file in $(git ls-files contract platform registrar server component dll tools 2>/dev/null ||
              find contract platform registrar server component dll tools -type f); do
  case "$file" in *.h|*.c|*.cpp|*.rc) ;; *) continue ;; esac
  allowed=$(echo "$rules" | while read -r pattern folders; do
    [ -n "$pattern" ] || continue
    case "$file" in $pattern) echo "$folders"; break ;; esac
  done)
  case "$file" in
    *_win.*|*.rc) ;;
    *) if grep -Eq '^[[:space:]]*#[[:space:]]*include[[:space:]]*(<windows\.h>|"[^"]*_win\.h"|"Boardscope\.h")' "$file"; then
         echo "$file needs Windows but is not named *_win"; status=1
       fi ;;
  esac
  for target in $(sed -n 's/^[[:space:]]*#[[:space:]]*include[[:space:]]*"\([a-z_]*\)\/.*/\1/p' "$file" | sort -u); do
    case " $allowed " in
      *" $target "*) ;;
      *) echo "$file includes from $target/, which its layer may not use"; status=1 ;;
    esac
  done
done
[ $status -eq 0 ] && echo "includes follow the layers; Windows-only files are named *_win"
exit $status
