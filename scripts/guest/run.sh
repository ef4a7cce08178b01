#!/bin/sh
# Runs a command inside the emulated x86-64 test machine (qemu, software
# emulation), whose kernel runs 32-bit programs and so 32-bit Wine.
#
#   scripts/guest/run.sh [--wineprefix DIR]... COMMAND [ARG]...
#
# The checkout is shared with the machine at its own path, so build trees,
# CTest's files and paths compiled into the tests hold unchanged; the command
# runs as root from the checkout's root. Each --wineprefix DIR becomes, inside
# the machine, an in-memory copy of the 32-bit Wine prefix made with the image
# (fast, fresh for every run, and nothing of it reaches the host). The
# command's output is shown as it comes, and its exit status is this script's.
#   BUILD                  build folder, inside the checkout (default: build)
#   BOARDSCOPE_GUEST_TIMEOUT   seconds the machine may run (default: 3600)
set -eu
here=$(cd "$(dirname "$0")" && pwd)
tree=$(cd "$here/../.." && pwd)
cd "$tree"
build="${BUILD:-build}"
case "$build" in /*) ;; *) build="$tree/$build" ;; esac
mkdir -p "$build"
build=$(cd "$build" && pwd)
case "$build/" in
  "$tree"/*) ;;
  *) echo "guest: the build folder $build must lie inside $tree, which the machine sees" >&2; exit 2 ;;
esac

# Single-quotes one word for the job script.
quote() { printf "'%s'" "$(printf '%s' "$1" | sed "s/'/'\\\\''/g")"; }

prefixes=""
while [ "${1:-}" = --wineprefix ]; do
  prefixes="$prefixes $(quote "$2")"
  shift 2
done
[ $# -gt 0 ] || { echo "usage: guest/run.sh [--wineprefix DIR]... COMMAND [ARG]..." >&2; exit 2; }

image=$("$here/image.sh")
state="$build/guest"
mkdir -p "$state"
job="$state/job.sh"
{
  echo "set -u"
  echo "export BUILD=$(quote "$build") JOBS=$(quote "${JOBS:-2}") BOARDSCOPE_IN_GUEST=1"
  echo "for dir in$prefixes; do"
  echo "  mkdir -p \"\$dir\" && busybox mount -t tmpfs wineprefix \"\$dir\" &&"
  echo "    cp -a /var/lib/boardscope/wineprefix/. \"\$dir\" || exit 125"
  echo "done"
  # Through a pipe: on the serial port itself Wine would see a terminal and
  # draw its console with escape sequences.
  printf '{'
  for word in "$@"; do printf ' %s' "$(quote "$word")"; done
  echo ' 2>&1; echo $? >/tmp/job-status; } | cat'
  echo 'exit "$(cat /tmp/job-status)"'
} >"$job"
exec "$here/boot.sh" "$image" "$tree" "$job" "$state"
