#!/bin/sh
# Runs a command inside the emulated x86-64 test machine (qemu, software
# emulation), whose kernel runs 32-bit programs and so 32-bit Wine.
#
#   scripts/guest/run.sh [--tmpfs DIR]... COMMAND [ARG]...
#
# The checkout is shared with the machine at its own path, so build trees,
# CTest's files and paths compiled into the tests hold unchanged; the command
# runs as root from the checkout's root. Each --tmpfs DIR gets an empty
# in-memory folder inside the machine (Wine prefixes: fast, and nothing of
# them reaches the host). The command's output is shown as it comes, and its
# exit status is this script's.
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

tmpfs=""
while [ "${1:-}" = --tmpfs ]; do
  tmpfs="$tmpfs $(quote "$2")"
  shift 2
done
[ $# -gt 0 ] || { echo "usage: guest/run.sh [--tmpfs DIR]... COMMAND [ARG]..." >&2; exit 2; }

image=$("$here/image.sh")
state="$build/guest"
mkdir -p "$state"
job="$state/job.sh"
{
  echo "set -u"
  echo "export BUILD=$(quote "$build") JOBS=$(quote "${JOBS:-2}") BOARDSCOPE_IN_GUEST=1"
  echo "for dir in$tmpfs; do mkdir -p \"\$dir\" && busybox mount -t tmpfs guest-tmpfs \"\$dir\" || exit 125; done"
  printf 'exec'
  for word in "$@"; do printf ' %s' "$(quote "$word")"; done
  echo
} >"$job"
rm -f "$state/status"
: >"$state/output.log"

# -nic none: with a network card Wine writes the card's keys into HKLM during
# the run, which spoils the registry round-trip checks.
timeout --kill-after=10 "${BOARDSCOPE_GUEST_TIMEOUT:-3600}" \
  qemu-system-x86_64 -accel tcg,thread=multi -smp 2 -m 6144 -nic none \
  -display none -no-reboot \
  -kernel "$image/vmlinuz" -initrd "$image/initrd.img" \
  -append "console=ttyS0 root=/dev/vda rw rootfstype=ext4 quiet panic=1 init=/sbin/boardscope-init boardscope.tree=$tree boardscope.job=$job boardscope.status=$state/status" \
  -drive "file=$image/root.ext4,format=raw,if=virtio,snapshot=on" \
  -virtfs "local,path=$tree,mount_tag=tree,security_model=none" \
  -serial "file:$state/console.log" \
  -chardev "file,id=output,path=$state/output.log,append=on" -serial chardev:output &
machine=$!
tail -n +1 -f --pid=$machine "$state/output.log" &
follower=$!
wait $machine || true
wait $follower || true

if [ ! -f "$state/status" ]; then
  echo "guest: the machine stopped before the command finished; its console:" >&2
  tail -n 30 "$state/console.log" >&2
  exit 1
fi
exit "$(cat "$state/status")"
