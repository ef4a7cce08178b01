#!/bin/sh
# The installer package under Wine, in a fresh prefix per case, in a 32-bit
# prefix (win32) or a 64-bit one (win64: WoW64, where the 32-bit DLL's keys
# land in the 32-bit registry view, as on 64-bit Windows):
#   by hand   regsvr32, zemhost shows the sample's zones, regsvr32 /u leaves
#             the registry as it was: nothing of ours in either view
#   install   msiexec /i: zemhost works, and the registry gains what regsvr32
#             writes, apart from the DLL's path; another plug-in's value and
#             unrelated keys stay; msiexec /x restores the registry exactly
#             and removes the files
#   upgrade   X.Y.Z, then X.Y.(Z+1) (a build that differs only in its
#             version): one product, working; a downgrade is refused;
#             msiexec /x restores the registry exactly
#   test_installer.sh win32|win64 SOURCE_DIR BUILD_DIR
set -u
export LC_ALL=C
arch=$1
source=$(cd "$2" && pwd)
build=$(cd "$3" && pwd)
. "$source/tests/installer/release_test_lib.sh"
[ "$arch" = win32 ] || need /usr/lib/wine/wine64
begin "installer-$arch" wixl msibuild msiinfo python3
"$source/installer/package.sh" "$build" "$work/package" >/dev/null || fail "package"
package="Z:$work/package/Boardscope-$version.msi"
# The upgrade: the same sources built at the next patch version (the fixture
# release_next_version, build_next_version.sh).
upgrade="$build/release-tests/next/package/Boardscope-$next_version.msi"
[ -f "$upgrade" ] || fail "no $upgrade (made by build_next_version.sh)"
upgrade="Z:$upgrade"

if [ "$arch" = win64 ]; then
  program_files='C:\Program Files (x86)\Boardscope'
  files_dir="drive_c/Program Files (x86)/Boardscope"
  # The 32-bit tools, as the 32-bit package and DLL are run on 64-bit Windows.
  # (Wine's 64-bit msiexec files a 32-bit package's ProgIDs under
  # Classes\Wow6432Node, where Windows shares them between the views.)
  regsvr32='C:\windows\syswow64\regsvr32.exe'
  msiexec='C:\windows\syswow64\msiexec.exe'
else
  program_files='C:\Program Files\Boardscope'
  files_dir="drive_c/Program Files/Boardscope"
  regsvr32=regsvr32
  msiexec=msiexec
fi
installed_dll="$program_files\\Boardscope.dll"
by_hand_dll='C:\by hand\Boardscope.dll'

# seed PREFIX: another plug-in's value under PLUGINS and unrelated keys, in
# the 32-bit view where the plug-in's own live.
seed() {
  run "$arch" "$1" reg add 'HKLM\SOFTWARE\Quendal\ZEM4\PLUGINS' /v Other-CLSID /t REG_EXPAND_SZ \
    /d '{0D0E0A0D-BEEF-4000-8000-000000000001}' /reg:32 /f >/dev/null &&
  run "$arch" "$1" reg add 'HKLM\SOFTWARE\Quendal\Other' /v Keep /d yes /reg:32 /f >/dev/null &&
  run "$arch" "$1" reg add 'HKCR\Other.Thing' /ve /d 'Not ours' /f >/dev/null || fail "seeding $1"
}

# Windows Installer's own records of what is installed (and, under Wine, the
# empty folders of that store it creates on first use, which Windows has
# from the start).
bookkeeping='\\Installer(\\| ::|$)|\\CurrentVersion\\Uninstall\\\{'
installer_store_key='^[-+] HKLM\\Software\\(Classes\\Installer|Microsoft\\Windows\\CurrentVersion\\Installer)(\\[^:]*)?$'

# --- by hand
prefix="$work/by-hand"
fresh "$arch" "$prefix"
seed "$prefix"
snapshot "$arch" "$prefix" "$work/by-hand.before"
mkdir -p "$prefix/drive_c/by hand"
cp "$build/bin/Boardscope.dll" "$build/bin/zemhost.exe" "$prefix/drive_c/by hand/"
run "$arch" "$prefix" "$regsvr32" /s "$by_hand_dll" || fail "regsvr32"
zemhost "$arch" "$prefix" 'C:\by hand\zemhost.exe' 4
snapshot "$arch" "$prefix" "$work/by-hand.registered" --path "$by_hand_dll" '<DLL>'
changes "$work/by-hand.before" "$work/by-hand.registered" >"$work/regsvr32.changes"
grep -q 'PLUGINS :: "Boardscope-CLSID"=str(2):"{' "$work/regsvr32.changes" || fail "regsvr32 wrote no REG_EXPAND_SZ plug-in value"
run "$arch" "$prefix" "$regsvr32" /s /u "$by_hand_dll" || fail "regsvr32 /u"
snapshot "$arch" "$prefix" "$work/by-hand.unregistered"
changes "$work/by-hand.before" "$work/by-hand.unregistered" >"$work/unregister.changes"
[ ! -s "$work/unregister.changes" ] || { cat "$work/unregister.changes"; fail "regsvr32 /u left changes"; }
echo "by hand: registered, zemhost works, unregistration restores the registry"

# --- install
prefix="$work/install"
fresh "$arch" "$prefix"
seed "$prefix"
snapshot "$arch" "$prefix" "$work/install.before"
run "$arch" "$prefix" "$msiexec" /i "$package" /qn || fail "msiexec /i"
[ -f "$prefix/$files_dir/Boardscope.dll" ] && [ -f "$prefix/$files_dir/zemhost.exe" ] || fail "files not installed"
zemhost "$arch" "$prefix" "$program_files\\zemhost.exe" 4
snapshot "$arch" "$prefix" "$work/install.installed" --path "$installed_dll" '<DLL>'
changes "$work/install.before" "$work/install.installed" | grep -Ev "$bookkeeping" >"$work/install.changes"
# The same as regsvr32's, apart from the path: the type library's help folder
# is the installer's folder property, which ends in a backslash. On 64-bit
# Windows the platform's type-library registration also enters the dual
# interfaces in the 64-bit view, which a 32-bit package cannot write to.
sed 's/<FOLDER>\\"$/<FOLDER>"/' "$work/install.changes" >"$work/install.compared"
if [ "$arch" = win64 ]; then
  grep -v '^+ HKLM\\Software\\Classes\\Interface\\' "$work/regsvr32.changes"
else
  cat "$work/regsvr32.changes"
fi >"$work/regsvr32.compared"
diff -u "$work/regsvr32.compared" "$work/install.compared" >"$work/install-vs-regsvr32.diff" ||
  { cat "$work/install-vs-regsvr32.diff"; fail "the installed registry differs from regsvr32's"; }
run "$arch" "$prefix" "$msiexec" /x "$package" /qn || fail "msiexec /x"
[ ! -e "$prefix/$files_dir" ] || fail "files left after msiexec /x: $(ls "$prefix/$files_dir")"
snapshot "$arch" "$prefix" "$work/install.removed"
changes "$work/install.before" "$work/install.removed" | grep -Ev "$installer_store_key" >"$work/uninstall.changes"
[ ! -s "$work/uninstall.changes" ] || { cat "$work/uninstall.changes"; fail "msiexec /x left changes"; }
echo "install: zemhost works, registry as regsvr32's but the path, others' keys kept, removal restores it"

# --- upgrade, into a prefix without the PLUGINS key: removal takes it away again
prefix="$work/upgrade"
fresh "$arch" "$prefix"
snapshot "$arch" "$prefix" "$work/upgrade.before"
run "$arch" "$prefix" "$msiexec" /i "$package" /qn || fail "msiexec /i $version"
run "$arch" "$prefix" "$msiexec" /i "$upgrade" /qn || fail "msiexec /i $next_version"
snapshot "$arch" "$prefix" "$work/upgrade.upgraded"
products=$(grep -c '\\Uninstall\\{[^ ]* :: "DisplayName"="Boardscope"$' "$work/upgrade.upgraded")
grep -q "\\\\Uninstall\\\\{[^ ]* :: \"DisplayVersion\"=\"$next_version\"$" "$work/upgrade.upgraded" && [ "$products" = 1 ] ||
  fail "after the upgrade: $products products, or not version $next_version"
zemhost "$arch" "$prefix" "$program_files\\zemhost.exe" 0
installed=$(run "$arch" "$prefix" "$program_files\\zemhost.exe" --version | tr -d '\r')
[ "$installed" = "zemhost $next_version" ] || fail "after the upgrade zemhost --version says: $installed"
if run "$arch" "$prefix" "$msiexec" /i "$package" /qn; then
  fail "the downgrade to $version was not refused"
fi
run "$arch" "$prefix" "$msiexec" /x "$upgrade" /qn || fail "msiexec /x $next_version"
[ ! -e "$prefix/$files_dir" ] || fail "files left after removing the upgrade"
snapshot "$arch" "$prefix" "$work/upgrade.removed"
changes "$work/upgrade.before" "$work/upgrade.removed" | grep -Ev "$installer_store_key" >"$work/upgrade-uninstall.changes"
[ ! -s "$work/upgrade-uninstall.changes" ] || { cat "$work/upgrade-uninstall.changes"; fail "removal after the upgrade left changes"; }
echo "upgrade: $version then $next_version leaves one working product; downgrade refused; removal restores the registry"
