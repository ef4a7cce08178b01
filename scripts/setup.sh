#!/bin/sh
# Installs what the build and the tests need from Debian's packages; does
# nothing when everything is already there.
set -eu

packages="cmake make g++ clang libclang-rt-14-dev googletest g++-mingw-w64-i686 mingw-w64-tools wine wine32:i386 libwine-dev"

missing=""
for package in $packages; do
  if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed"; then
    missing="$missing $package"
  fi
done
[ -z "$missing" ] && exit 0

echo "setup: installing$missing"
if [ "$(id -u)" -ne 0 ]; then
  SUDO=sudo
else
  SUDO=
fi
if ! dpkg --print-foreign-architectures | grep -qx i386; then
  $SUDO dpkg --add-architecture i386
fi
$SUDO apt-get update -q
DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -q $missing
