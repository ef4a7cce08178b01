#!/bin/sh
# The same sources give the same release wherever they are built: the
# checkout's files (as they are in the work tree) are copied to another
# folder and built there as make dist builds, with the first build's
# SOURCE_DATE_EPOCH; the DLL, zemhost.exe, their .debug files, both zips and
# the MSI must be identical byte for byte to this build's.
#   test_reproducible.sh SOURCE_DIR BUILD_DIR
set -u
export LC_ALL=C
source=$(cd "$1" && pwd)
build=$(cd "$2" && pwd)
. "$source/tests/installer/release_test_lib.sh"
begin reproducible git wixl msibuild python3 i686-w64-mingw32-g++-win32
elsewhere="$work/another/checkout"
mkdir -p "$elsewhere"
"$source/installer/package.sh" "$build" "$work/here" >/dev/null || fail "package here"

copy_checkout "$elsewhere"
(cd "$elsewhere" && SOURCE_DATE_EPOCH=$source_date_epoch BUILD=build scripts/dist.sh "$work/there") \
  >"$work/build-there.log" 2>&1 || { tail -30 "$work/build-there.log"; fail "make dist in $elsewhere"; }

status=0
compare() {  # compare HERE THERE
  here_sum=$(sha256sum <"$1" | cut -d' ' -f1)
  there_sum=$(sha256sum <"$2" | cut -d' ' -f1)
  if [ "$here_sum" = "$there_sum" ]; then
    echo "same     $here_sum  ${1##*/}"
  else
    echo "DIFFERS  $here_sum  ${1##*/} here"
    echo "         $there_sum  ${2##*/} in $elsewhere"
    status=1
  fi
}
for file in Boardscope.dll zemhost.exe Boardscope.dll.debug zemhost.exe.debug; do
  compare "$build/bin/$file" "$elsewhere/build/win/bin/$file"
done
for file in "Boardscope-$version.msi" "Boardscope-$version-win32.zip" "Boardscope-$version-debug.zip" SHA256SUMS; do
  compare "$work/here/$file" "$work/there/$file"
done
if [ $status -ne 0 ] && command -v msidiff >/dev/null; then
  msidiff "$work/here/Boardscope-$version.msi" "$work/there/Boardscope-$version.msi" | head -40
fi
[ $status -eq 0 ] || fail "the build in $elsewhere differs"
rm -rf "$elsewhere"
echo "reproducible: a second build in another folder gives the same bytes"
