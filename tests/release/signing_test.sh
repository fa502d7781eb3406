#!/usr/bin/env bash
# Authenticode on the built program with a throwaway self-signed certificate:
# the signed file passes `osslsigncode verify`, removing the signature gives
# back the program byte for byte, any changed byte of the program fails the
# check, and a wrong password signs nothing.
#   signing_test.sh SIGN_EXE_SH PROGRAM.exe
set -euo pipefail
sign="$1" exe="$2"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
cd "$work"
status=0
check() { if "${@:2}" >"$work/out.log" 2>&1; then echo "ok   $1"; else cat out.log; echo "FAIL $1"; status=1; fi; }

openssl req -x509 -newkey rsa:2048 -nodes -keyout key.pem -out cert.pem -days 30 \
  -subj "/CN=TarvikUpdate test signer" -addext extendedKeyUsage=codeSigning 2>/dev/null
echo secret >password
echo wrong >wrong-password
openssl pkcs12 -export -inkey key.pem -in cert.pem -out cert.p12 -passout file:password

check "signed and checked" "$sign" --certificate cert.p12 --password-file password \
  --url https://tarvik.example/ "$exe" signed.exe
check "osslsigncode verify accepts it" osslsigncode verify -CAfile cert.pem -in signed.exe
check "without the signature it is the program" \
  sh -c 'osslsigncode remove-signature -in signed.exe -out unsigned.exe && cmp unsigned.exe "$0"' "$exe"
size=$(stat -c %s "$exe")
# A byte of the code near the start, one in the middle, the program's last.
for offset in 1024 $((size / 2)) $((size - 1)); do
  python3 -c 'import sys; b = bytearray(open("signed.exe", "rb").read()); b[int(sys.argv[1])] ^= 1
open("flipped.exe", "wb").write(b)' "$offset"
  check "a flipped byte at $offset fails the check" \
    sh -c '! osslsigncode verify -CAfile cert.pem -in flipped.exe'
done
check "a wrong password signs nothing, and says so" sh -c '
  ! "$0" --certificate cert.p12 --password-file wrong-password "$1" wrong.exe 2>said &&
  grep "does not open with the password" said && [ ! -e wrong.exe ]' "$sign" "$exe"
exit "$status"
