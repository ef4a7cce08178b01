# Shared by the release tests (sourced): fresh private Wine prefixes copied
# from a template booted once per build tree, bounded Wine runs and registry
# snapshots. Expects $source (the checkout) and $build (the build tree).

# begin NAME TOOL...: once every tool is there, an empty folder for this
# test ($work, under the build tree's release-tests) and the build's release
# facts ($version and the rest of release.env, and $next_version, X.Y.Z+1).
begin() {
  work="$build/release-tests/$1"
  templates="$build/release-tests/templates"
  shift
  need "$@"
  rm -rf "$work"
  mkdir -p "$work" "$templates"
  . "$build/installer/release.env"
  next_version=$(echo "$version" | awk -F. '{ printf "%d.%d.%d", $1, $2, $3 + 1 }')
}

# Skips (CTest's SKIP_RETURN_CODE) where a tool the test needs is missing,
# as in the emulated test machine, which has Wine only.
need() {
  for tool in "$@"; do
    command -v "$tool" >/dev/null 2>&1 || { echo "skipped: $tool is not installed"; exit 77; }
  done
}

fail() {
  printf 'FAIL: %s\n' "$*" >&2
  exit 1
}

# template ARCH: the booted template prefix of that kind (win32, or win64:
# WoW64, 64-bit Wine with 32-bit support), made on first use.
template() {
  dir="$templates/$1"
  if [ ! -f "$dir/.update-timestamp" ]; then
    rm -rf "$dir"
    WINEPREFIX="$dir" WINEARCH="$1" "$source/cmake/wine-prefix" init || fail "cannot boot a $1 prefix"
  fi
  echo "$dir"
}

# fresh ARCH PREFIX: a new prefix from the template. Wine's own programs and
# libraries are hard links (nothing writes to them); the registry and the ini
# files, which Wine rewrites, are copies. One start settles what Wine redoes
# at every start (its display and network entries), before any snapshot.
fresh() {
  from=$(template "$1")
  rm -rf "$2"
  cp -al "$from" "$2"
  for file in "$2"/*.reg "$2"/drive_c/windows/*.ini; do
    rm -f "$file"
    cp -p "$from/${file#"$2"/}" "$file"
  done
  prefixes="$prefixes $2"
  run "$1" "$2" cmd /c exit >/dev/null || fail "wine does not start in $2"
}

# run ARCH PREFIX PROGRAM ARGS...: one bounded Wine run.
run() {
  arch=$1 prefix=$2
  shift 2
  WINEPREFIX="$prefix" WINEARCH="$arch" BOARDSCOPE_WINE_TIMEOUT=120 "$source/cmake/wine-run" "$@"
}

# zemhost ARCH PREFIX EXE EXIT: zemhost on the laptop sample through the
# WMI test double (put into the prefix's 32-bit system folder) must find and
# create the plug-in and show the sample's zones, and end with EXIT (4 where
# another plug-in's value names a class that is not registered).
zemhost() {
  system=system32
  [ "$1" = win64 ] && system=syswow64
  rm -f "$2/drive_c/windows/$system/wmi.dll"
  cp "$build/bin/wmi.dll" "$2/drive_c/windows/$system/wmi.dll"
  status=0
  WINEDLLOVERRIDES=wmi=n BOARDSCOPE_WMI_CAPTURE="Z:$source/samples/laptop-3zones.wmi" \
    run "$1" "$2" "$3" >"$work/zemhost.out" 2>&1 || status=$?
  ours=$(awk '/^Plug-in "Boardscope-CLSID"/ { on = 1; next } /^Plug-in / { on = 0 } on' "$work/zemhost.out")
  if [ "$status" != "$4" ] || ! echo "$ours" | grep -q '^  Instance 0   TZ, 30 entries$'; then
    cat "$work/zemhost.out"
    fail "zemhost $3 in $2 (exit $status, expected $4) does not show the sample's zones"
  fi
}

# snapshot ARCH PREFIX OUT [--path WINDOWS_PATH PLACEHOLDER]...: the prefix's
# registry once its wineserver has written it out, without the values Wine
# rewrites at every start.
snapshot() {
  arch=$1 prefix=$2 out=$3
  shift 3
  WINEPREFIX="$prefix" timeout 60 wineserver -w
  python3 "$source/tests/installer/regdump.py" "$prefix" "$@" | grep -v '\\Control\\Class\\.* :: "DriverDateData"=' >"$out"
}

# changes BEFORE AFTER: lines removed ("-") and added ("+").
changes() {
  comm -23 "$1" "$2" | sed 's/^/- /'
  comm -13 "$1" "$2" | sed 's/^/+ /'
}

# copy_checkout DEST: the checkout's files as they are in the work tree
# (tracked and not ignored), without its build folders.
copy_checkout() {
  (cd "$source" && git ls-files -z --cached --others --exclude-standard |
     xargs -0 sh -c 'for f; do [ -e "$f" ] && printf "%s\0" "$f"; done' sh |
     tar --null -T - -cf -) | tar -C "$1" -xf - || fail "copying the checkout to $1"
}

stop_all() {
  for prefix in $prefixes; do
    WINEPREFIX="$prefix" timeout 30 wineserver -k >/dev/null 2>&1
    rm -rf "$prefix"
  done
}
prefixes=""
trap stop_all EXIT
