#!/bin/sh
# Boots the emulated test machine once: shares TREE with it at TREE's own
# path, runs the job script JOB (a path inside TREE) there as root, streams
# its output and exits with its status. STATE is a folder inside TREE for the
# machine's console log, the job's output and its status.
#   boot.sh IMAGE TREE JOB STATE [--keep]
# The root disk is used unchanged (snapshot) unless --keep is given.
#   BOARDSCOPE_GUEST_TIMEOUT   seconds the machine may run (default: 3600)
set -eu
image="$1" tree="$2" job="$3" state="$4"
snapshot=",snapshot=on"
[ "${5:-}" = --keep ] && snapshot=""
mkdir -p "$state"
rm -f "$state/status"
: >"$state/output.log"

# -nic none: with a network card Wine writes the card's keys into HKLM during
# the run, which spoils the registry round-trip checks.
timeout --kill-after=10 "${BOARDSCOPE_GUEST_TIMEOUT:-3600}" \
  qemu-system-x86_64 -accel tcg,thread=multi -smp 2 -m 6144 -nic none \
  -display none -no-reboot \
  -kernel "$image/vmlinuz" -initrd "$image/initrd.img" \
  -append "console=ttyS0 root=/dev/vda rw rootfstype=ext4 quiet panic=1 init=/sbin/boardscope-init boardscope.tree=$tree boardscope.job=$job boardscope.status=$state/status" \
  -drive "file=$image/root.ext4,format=raw,if=virtio$snapshot" \
  -virtfs "local,path=$tree,mount_tag=tree,security_model=none" \
  -serial "file:$state/console.log" \
  -chardev "file,id=output,path=$state/output.log,append=on" -serial chardev:output &
machine=$!
tail -n +1 -f --pid=$machine "$state/output.log" &
follower=$!
wait $machine || true
wait $follower || true

if [ ! -f "$state/status" ]; then
  echo "guest: the machine stopped before the job finished; its console:" >&2
  tail -n 30 "$state/console.log" >&2
  exit 1
fi
exit "$(cat "$state/status")"
