#!/bin/sh
# What `make run` shows after building: Boardscope.dll registered in a private
# 32-bit Wine prefix and checked by zemhost, the stand-in for the ZEM host.
#
#   scripts/run.sh [--live] [zemhost options]     e.g. scripts/run.sh --json
#
# By default the thermal zones come from samples/laptop-3zones.wmi, replayed
# by the WMI test double, because Wine has no ACPI thermal zones of its own.
# With --live (or BOARDSCOPE_LIVE=1) zemhost asks the platform's own WMI: on
# Windows the real thing; under Wine zemhost explains why there is nothing.
# BUILD (default: build) names the build directory; the DLL is in $BUILD/win/bin.
# Where this kernel runs no 32-bit programs (or with BOARDSCOPE_GUEST=1) the
# run happens in the emulated test machine of scripts/guest; with
# BOARDSCOPE_RUN_WIN64=1 it shows the 64-bit build of $BUILD/win64 instead.
set -eu
cd "$(dirname "$0")/.."
build="${BUILD:-build}"
case "$build" in /*) ;; *) build="$PWD/$build" ;; esac
capture="$PWD/samples/laptop-3zones.wmi"

# Windows path of a file, through Wine's Z: drive.
winpath() { printf 'Z:%s' "$1" | tr / '\\'; }

if [ "${BOARDSCOPE_RUN_WIN64:-0}" = 1 ]; then
  # The same sources built for 64-bit Windows, under 64-bit Wine: a quick
  # look for developers.
  echo "run: showing the same sources built for 64-bit Windows, under 64-bit Wine"
  win="$build/win64"
  export WINEARCH=win64
  [ -f "$win/CMakeCache.txt" ] ||
    cmake -S . -B "$win" -DCMAKE_TOOLCHAIN_FILE=cmake/toolchain-mingw-x86_64.cmake -DCMAKE_BUILD_TYPE=Release >/dev/null
  cmake --build "$win" -j "${JOBS:-2}" --target Boardscope zemhost wmi_double >/dev/null
elif [ "${BOARDSCOPE_IN_GUEST:-0}" = 1 ] || { [ "${BOARDSCOPE_GUEST:-0}" != 1 ] && scripts/runs-32bit.sh; }; then
  win="$build/win"
  export WINEARCH=win32
else
  # 32-bit Wine cannot start where this kernel runs no 32-bit programs: the
  # same run, of the same 32-bit DLL, happens in the emulated test machine.
  echo "run: this kernel runs no 32-bit programs (or BOARDSCOPE_GUEST=1), so the 32-bit DLL is shown in an EMULATED"
  echo "     x86-64 machine (qemu, software emulation) with 32-bit Wine; this takes minutes"
  exec scripts/guest/run.sh --wineprefix "$build/win/wineprefix" scripts/run.sh "$@"
fi
live="${BOARDSCOPE_LIVE:-0}"
if [ "${1:-}" = "--live" ]; then
  live=1
  shift
fi

bin="$win/bin"
export WINEPREFIX="$win/wineprefix"

for file in "$bin/Boardscope.dll" "$bin/zemhost.exe" "$bin/wmi.dll"; do
  [ -f "$file" ] || { echo "run: $file is missing; build first (make build)" >&2; exit 1; }
done

if [ ! -f "$WINEPREFIX/.update-timestamp" ]; then
  echo "run: creating the Wine prefix $WINEPREFIX (takes minutes where Wine runs under emulation)"
  cmake/wine-prefix init
fi
trap 'cmake/wine-prefix stop' EXIT

# printf, not echo: dash's echo would read the backslashes as escapes.
printf 'run: registering %s with wine regsvr32\n' "$(winpath "$bin/Boardscope.dll")"
if ! cmake/wine-run regsvr32 /s "$(winpath "$bin/Boardscope.dll")"; then
  echo "run: regsvr32 could not register Boardscope.dll" >&2
  exit 1
fi

status=0
if [ "$live" = 1 ]; then
  echo "run: zemhost against the platform's own WMI (under Wine there are no thermal zones)"
  echo
  cmake/wine-run "$bin/zemhost.exe" "$@" || status=$?
else
  echo "run: zemhost with REPLAYED SAMPLE DATA: Wine has no ACPI thermal zones of its own,"
  echo "     so the WMI test double serves samples/laptop-3zones.wmi (a typical laptop's"
  echo "     three zones) in place of the platform's wmi.dll. Use --live for the platform's own."
  echo
  WINEDLLOVERRIDES="wmi=n" BOARDSCOPE_WMI_CAPTURE="$(winpath "$capture")" \
    cmake/wine-run "$bin/zemhost.exe" "$@" || status=$?
fi
exit $status
