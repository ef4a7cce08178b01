#!/bin/sh
# Packs the release from a built Release product (scripts/dist.sh builds it):
#   package.sh BUILD_WIN OUTPUT_DIR [VERSION]
# writes into OUTPUT_DIR (emptied first)
#   Boardscope-X.Y.Z.msi          Windows Installer package, 32-bit, per machine
#   Boardscope-X.Y.Z-win32.zip    Boardscope.dll, zemhost.exe, INSTALL.txt (regsvr32 by hand)
#   Boardscope-X.Y.Z-debug.zip    their .debug files
#   SHA256SUMS                    over the three
# X.Y.Z is the build's version, or VERSION (the tests' upgrade package). Every
# date is the build's SOURCE_DATE_EPOCH, so the same build gives the same
# bytes. With BOARDSCOPE_SIGN_CERT and BOARDSCOPE_SIGN_KEY (PEM files) the DLL
# and zemhost.exe are signed before packing, and then the package
# (Authenticode, SHA-256).
set -eu
here=$(cd "$(dirname "$0")" && pwd)
build="$1"
out="$2"
. "$build/installer/release.env"
version="${3:-$version}"
SOURCE_DATE_EPOCH=$source_date_epoch
export SOURCE_DATE_EPOCH
# Zip and cabinet dates are local times.
export TZ=UTC

bin="$build/bin"
stage="$out.stage"
rm -rf "$stage"
mkdir -p "$stage/win32" "$stage/debug" "$stage/msi"
cp "$bin/Boardscope.dll" "$bin/zemhost.exe" "$stage/win32/"
cp "$bin/Boardscope.dll.debug" "$bin/zemhost.exe.debug" "$stage/debug/"
# Windows line ends, for Notepad.
sed "s/@VERSION@/$version/g; s/\$/\r/" "$here/INSTALL.txt.in" >"$stage/win32/INSTALL.txt"

sign() {  # sign FILE: Authenticode, SHA-256, dated SOURCE_DATE_EPOCH
  osslsigncode sign -certs "$BOARDSCOPE_SIGN_CERT" -key "$BOARDSCOPE_SIGN_KEY" -h sha256 \
    -n "Boardscope $version" -time "$SOURCE_DATE_EPOCH" -in "$1" -out "$1.signed" >/dev/null
  mv "$1.signed" "$1"
}
signing=no
if [ -n "${BOARDSCOPE_SIGN_CERT:-}" ] && [ -n "${BOARDSCOPE_SIGN_KEY:-}" ]; then
  signing=yes
  sign "$stage/win32/Boardscope.dll"
  sign "$stage/win32/zemhost.exe"
fi
for file in "$stage"/win32/* "$stage"/debug/*; do
  touch -d "@$SOURCE_DATE_EPOCH" "$file"
done

# The package: wixl, then the rows wixl cannot write (see make_wxs.py).
msi="Boardscope-$version.msi"
cp -p "$stage/win32/Boardscope.dll" "$stage/win32/zemhost.exe" "$stage/msi/"
python3 "$here/make_wxs.py" "$version" "$build/installer/registry_rows.txt" "$here/../contract/Boardscope.idl" \
  "$stage/msi/Boardscope.dll" "$stage/msi/zemhost.exe" "$stage/msi/Boardscope.wxs" "$stage/msi/fixes.sql" \
  >"$stage/msi/summary.txt"
(cd "$stage/msi" && wixl -a x86 -o "$msi" Boardscope.wxs)
while IFS= read -r statement; do
  msibuild "$stage/msi/$msi" -q "$statement"
done <"$stage/msi/fixes.sql"
# wixl's random package code and time-of-day dates, made the inputs' own.
package_code=$(sed -n 1p "$stage/msi/summary.txt")
subject=$(sed -n 2p "$stage/msi/summary.txt")
msibuild "$stage/msi/$msi" -s "$subject" Quendal "Intel;1033" "$package_code"
python3 "$here/pin_summary.py" "$stage/msi/$msi" "$SOURCE_DATE_EPOCH"
if [ $signing = yes ]; then
  sign "$stage/msi/$msi"
fi

rm -rf "$out"
mkdir -p "$out"
cp "$stage/msi/$msi" "$out/"
python3 "$here/make_zip.py" "$SOURCE_DATE_EPOCH" "$out/Boardscope-$version-win32.zip" \
  "$stage/win32/Boardscope.dll" "$stage/win32/zemhost.exe" "$stage/win32/INSTALL.txt"
python3 "$here/make_zip.py" "$SOURCE_DATE_EPOCH" "$out/Boardscope-$version-debug.zip" \
  "$stage/debug/Boardscope.dll.debug" "$stage/debug/zemhost.exe.debug"
(cd "$out" && sha256sum "$msi" "Boardscope-$version-win32.zip" "Boardscope-$version-debug.zip" >SHA256SUMS)
rm -rf "$stage"
echo "package: $out (version $version, signed: $signing)"
