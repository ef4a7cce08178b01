#!/bin/sh
# Checks the built DLL's binary shape: PE DLL of the expected machine, imports
# from system DLLs only, and exactly the four undecorated exports.
# usage: check-dll.sh OBJDUMP DLL EXPECTED_FORMAT
set -eu
objdump="$1"
dll="$2"
format="$3"   # pei-i386 or pei-x86-64
headers=$("$objdump" -p "$dll")
echo "$headers" | grep -q "file format $format" || { echo "not a $format file"; exit 1; }
echo "$headers" | grep -q "DLL" || { echo "not a DLL"; exit 1; }

allowed="KERNEL32.dll ADVAPI32.dll USER32.dll ole32.dll OLEAUT32.dll msvcrt.dll wmi.dll"
status=0
for name in $(echo "$headers" | sed -n 's/^\s*DLL Name: //p'); do
  case " $allowed " in
    *" $name "*) ;;
    *) echo "unexpected import: $name"; status=1 ;;
  esac
done

exports=$(echo "$headers" | sed -n '/\[Ordinal\/Name Pointer\] Table/,/^$/p' | sed -n 's/^\s*\[ *[0-9]*\] //p' | sort | tr '\n' ' ')
expected="DllCanUnloadNow DllGetClassObject DllRegisterServer DllUnregisterServer "
if [ "$exports" != "$expected" ]; then
  echo "exports are '$exports', expected '$expected'"
  status=1
fi
[ $status -eq 0 ] && echo "$dll: $format DLL, system imports only, four undecorated exports"
exit $status
