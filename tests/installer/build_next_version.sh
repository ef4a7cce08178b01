#!/bin/sh
# The installer tests' upgrade: the same sources at the next patch version
# (X.Y.Z+1 in project()), built and packed in a folder of their own, so that
# the two packages come from two builds that differ only in their version.
#   build_next_version.sh SOURCE_DIR BUILD_DIR    writes BUILD_DIR/release-tests/next/package
set -u
export LC_ALL=C
source=$(cd "$1" && pwd)
build=$(cd "$2" && pwd)
. "$source/tests/installer/release_test_lib.sh"
begin next git wixl msibuild python3 i686-w64-mingw32-g++-win32
mkdir -p "$work/checkout"

copy_checkout "$work/checkout"
sed -i "s/^project(Boardscope VERSION $version /project(Boardscope VERSION $next_version /" "$work/checkout/CMakeLists.txt"
grep -q "^project(Boardscope VERSION $next_version " "$work/checkout/CMakeLists.txt" || fail "no project() version to raise"
(cd "$work/checkout" &&
  SOURCE_DATE_EPOCH=$source_date_epoch cmake -S . -B build/win -DCMAKE_TOOLCHAIN_FILE=cmake/toolchain-mingw-i686.cmake \
    -DCMAKE_BUILD_TYPE=Release &&
  cmake --build build/win -j "${JOBS:-2}" --target Boardscope zemhost installer_inputs) >"$work/build.log" 2>&1 ||
  { tail -30 "$work/build.log"; fail "building version $next_version"; }
"$source/installer/package.sh" "$work/checkout/build/win" "$work/package" >/dev/null || fail "packing $next_version"
rm -rf "$work/checkout"
echo "next version: $work/package/Boardscope-$next_version.msi"
