#!/bin/sh
# Prints the folder of the emulated test machine (kernel, initrd, root disk),
# making it first if this machine has none yet: a Debian 12 x86-64 root with
# 32-bit and 64-bit Wine and CTest, whose kernel runs 32-bit programs, and a
# ready 32-bit Wine prefix in /var/lib/boardscope/wineprefix (creating one
# takes minutes under emulation, so every run starts from a copy of it).
#
# The folder is a cache outside the build tree, keyed by this recipe and the
# machine's first process, so that every build and checkout on the machine
# shares one image and a change to either makes a new one.
#   BOARDSCOPE_CACHE   cache folder (default: ~/.cache/boardscope)
#   BOARDSCOPE_MIRROR  Debian mirror (default: the one apt uses here)
set -eu
here=$(cd "$(dirname "$0")" && pwd)
cache="${BOARDSCOPE_CACHE:-${XDG_CACHE_HOME:-$HOME/.cache}/boardscope}"
key=$(cat "$here/image.sh" "$here/init" | sha256sum | cut -c1-16)
image="$cache/guest-$key"
if [ -f "$image/ready" ]; then
  echo "$image"
  exit 0
fi

# The first deb URI of this machine's own apt sources, so the guest comes
# from the same place as the build machine's packages.
host_mirror() {
  sed -n 's/^URIs: *\([^ ]*\).*/\1/p; s/^deb  *\(\[[^]]*\]  *\)\{0,1\}\(http[^ ]*\) .*/\2/p' \
    /etc/apt/sources.list.d/*.sources /etc/apt/sources.list 2>/dev/null |
    grep -v security | head -n 1
}
mirror="${BOARDSCOPE_MIRROR:-$(host_mirror)}"
mirror="${mirror:-http://deb.debian.org/debian}"

mkdir -p "$cache"
work=$(mktemp -d "$cache/.guest-$key.XXXXXX")
trap 'rm -rf "$work"' EXIT INT TERM
echo "guest: making the test machine's image in $image (once per machine, minutes)" >&2
# cmake brings ctest, which drives the tests inside; busybox brings mount.
timeout 1800 mmdebstrap --quiet --variant=apt --architectures=amd64,i386 \
  --include=linux-image-amd64,initramfs-tools,busybox,cmake,wine,wine32:i386,wine64 \
  bookworm "$work/root" "$mirror" </dev/null >&2
install -m 755 "$here/init" "$work/root/sbin/boardscope-init"
cp "$work/root"/boot/vmlinuz-* "$work/vmlinuz"
cp "$work/root"/boot/initrd.img-* "$work/initrd.img"
# Straight from the folder: no loop mount needed.
mke2fs -q -t ext4 -L boardscope -d "$work/root" "$work/root.ext4" 4G >&2
rm -rf "$work/root"

# One boot that keeps its changes: the prefix, made as the tests' own
# wineboot would make it (no Mono or Gecko, which would wait for a user).
cat >"$work/prepare.sh" <<'JOB'
set -eu
export WINEPREFIX=/var/lib/boardscope/wineprefix WINEARCH=win32 WINEDEBUG=-all
mkdir -p /var/lib/boardscope
WINEDLLOVERRIDES="mscoree=d;mshtml=d" timeout 1800 wine wineboot -i
timeout 300 wineserver -w
test -f "$WINEPREFIX/.update-timestamp"
echo "guest: Wine prefix ready"
JOB
echo "guest: making the image's Wine prefix (one boot, minutes)" >&2
"$here/boot.sh" "$work" "$work" "$work/prepare.sh" "$work/prepare" --keep >&2
rm -rf "$work/prepare" "$work/prepare.sh"

touch "$work/ready"
# Images of older recipes are not used again.
for old in "$cache"/guest-*; do
  [ -d "$old" ] && rm -rf "$old"
done
mv "$work" "$image"
trap - EXIT INT TERM
echo "$image"
