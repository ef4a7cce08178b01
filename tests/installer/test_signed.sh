#!/bin/sh
# Signing: the release packed with a throwaway self-signed certificate made
# here (BOARDSCOPE_SIGN_CERT, BOARDSCOPE_SIGN_KEY) has valid Authenticode
# signatures on the DLL, zemhost.exe and the MSI, and the signed DLL still
# registers and answers in a fresh 32-bit prefix.
#   test_signed.sh SOURCE_DIR BUILD_DIR
set -u
export LC_ALL=C
source=$(cd "$1" && pwd)
build=$(cd "$2" && pwd)
. "$source/tests/installer/release_test_lib.sh"
begin signed openssl osslsigncode wixl msibuild python3
. "$build/installer/release.env"

openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj "/CN=Boardscope test signing" \
  -addext extendedKeyUsage=codeSigning -keyout "$work/key.pem" -out "$work/cert.pem" 2>"$work/openssl.log" ||
  { cat "$work/openssl.log"; fail "cannot make a certificate"; }
BOARDSCOPE_SIGN_CERT="$work/cert.pem" BOARDSCOPE_SIGN_KEY="$work/key.pem" \
  "$source/installer/package.sh" "$build" "$work/package" >/dev/null || fail "signed package"
python3 -c 'import sys, zipfile; zipfile.ZipFile(sys.argv[1]).extractall(sys.argv[2])' \
  "$work/package/Boardscope-$version-win32.zip" "$work/unpacked" || fail "unzip"

for file in "$work/unpacked/Boardscope.dll" "$work/unpacked/zemhost.exe" "$work/package/Boardscope-$version.msi"; do
  osslsigncode verify -CAfile "$work/cert.pem" -in "$file" >"$work/verify.out" 2>&1 ||
    { cat "$work/verify.out"; fail "signature of ${file##*/}"; }
  grep -q '^Message digest algorithm: SHA256$' "$work/verify.out" || fail "${file##*/} is not signed with SHA-256"
  echo "${file##*/}: $(grep -E '^(Signature verification|Succeeded)' "$work/verify.out" | tr '\n' ' ')"
done

prefix="$work/prefix"
fresh win32 "$prefix"
mkdir -p "$prefix/drive_c/signed"
cp "$work/unpacked/Boardscope.dll" "$work/unpacked/zemhost.exe" "$prefix/drive_c/signed/"
run win32 "$prefix" regsvr32 /s 'C:\signed\Boardscope.dll' || fail "regsvr32 of the signed DLL"
zemhost win32 "$prefix" 'C:\signed\zemhost.exe' 0
echo "signed: the DLL, zemhost.exe and the MSI verify; the signed DLL registers and answers"
