#!/bin/sh
# Installs what the build and the tests need from Debian's packages; does
# nothing when everything is already there.
set -eu

packages="cmake make g++ clang libclang-rt-14-dev googletest g++-mingw-w64-i686 mingw-w64-tools wine wine32:i386 libwine-dev"

if [ "$(id -u)" -ne 0 ]; then
  SUDO=sudo
else
  SUDO=
fi

missing=""
for package in $packages; do
  if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed"; then
    missing="$missing $package"
  fi
done
updated=""
if [ -n "$missing" ]; then
  echo "setup: installing$missing"
  if ! dpkg --print-foreign-architectures | grep -qx i386; then
    $SUDO dpkg --add-architecture i386
  fi
  $SUDO apt-get update -q
  updated=yes
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -q $missing
fi

# Wine's 32-bit loader needs a kernel that runs 32-bit programs. Some virtual
# machines cannot; there the programs go through qemu-i386 user emulation.
if ! /lib/ld-linux.so.2 --version >/dev/null 2>&1; then
  echo "setup: this kernel does not run 32-bit programs; using qemu-i386 for them"
  if ! dpkg-query -W -f='${Status}' qemu-user-static 2>/dev/null | grep -q "install ok installed"; then
    [ -n "$updated" ] || $SUDO apt-get update -q
    DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -q qemu-user-static
  fi
  binfmt=/proc/sys/fs/binfmt_misc
  [ -e "$binfmt/register" ] || $SUDO mount -t binfmt_misc binfmt_misc "$binfmt"
  if [ ! -e "$binfmt/qemu-i386" ]; then
    # i386 ELF executables and shared objects; F keeps the interpreter open
    # so that it works in every mount namespace.
    printf '%s' ':qemu-i386:M::\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00:\xff\xff\xff\xff\xff\xfe\xfe\x00\xff\xff\xff\xff\xff\xff\xff\xff\xfe\xff\xff\xff:/usr/bin/qemu-i386-static:F' \
      | $SUDO tee "$binfmt/register" >/dev/null
  fi
  /lib/ld-linux.so.2 --version >/dev/null 2>&1 || { echo "setup: cannot run 32-bit programs" >&2; exit 1; }
fi
