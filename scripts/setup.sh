#!/bin/sh
# Installs what the build and the tests need from Debian's packages; does
# nothing when everything is already there.
set -eu

# The 32-bit toolchain and Wine build and run the product; the 64-bit ones
# run the Windows tests where the kernel cannot run 32-bit programs.
# wixl and msitools build and inspect the installer, osslsigncode signs (the
# tests with a certificate openssl makes).
packages="cmake make g++ clang libclang-rt-14-dev googletest file nlohmann-json3-dev libcli11-dev python3
  g++-mingw-w64-i686 g++-mingw-w64-x86-64-posix mingw-w64-tools
  wine wine32:i386 wine64 libwine-dev wixl msitools osslsigncode openssl"

# The emulated test machine, where this kernel runs no 32-bit programs.
if [ "${BOARDSCOPE_GUEST:-0}" = 1 ] || ! "$(dirname "$0")/runs-32bit.sh"; then
  packages="$packages qemu-system-x86 mmdebstrap e2fsprogs"
fi

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
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -q --no-install-recommends $missing
fi

# promtool checks the Prometheus files. The prometheus package would also
# install and start the server (and, recommended, the node exporter), so the
# one program is taken out of the package into the cache, never installed.
cache="${BOARDSCOPE_CACHE:-${XDG_CACHE_HOME:-$HOME/.cache}/boardscope}"
if [ ! -x "$cache/promtool/bin/promtool" ]; then
  echo "setup: taking promtool out of Debian's prometheus package into $cache/promtool"
  work=$(mktemp -d "${TMPDIR:-/tmp}/promtool.XXXXXX")
  trap 'rm -rf "$work"' EXIT
  if ! (cd "$work" && apt-get download -q prometheus >/dev/null 2>&1); then
    [ -n "$updated" ] || $SUDO apt-get update -q
    (cd "$work" && apt-get download -q prometheus)
  fi
  dpkg-deb -x "$work"/prometheus_*.deb "$work/root"
  mkdir -p "$cache/promtool/bin"
  cp "$work/root/usr/bin/promtool" "$cache/promtool/bin/promtool.new"
  mv "$cache/promtool/bin/promtool.new" "$cache/promtool/bin/promtool"
  rm -rf "$work"
  trap - EXIT
fi
