#!/usr/bin/env bash
# Signs a Windows program with the maker's Authenticode certificate and
# checks the result:
#   scripts/sign-exe.sh --certificate FILE.p12 --password-file FILE
#                       [--name NAME] [--url URL] [--timestamp URL] IN.exe OUT.exe
#   scripts/sign-exe.sh --certificate FILE.p12 --password-file FILE --check
# The certificate is a PKCS#12 file with the private key and the certificate
# (with its chain); the password file holds its password on the first line.
# NAME and URL are the program name and web address Windows shows with the
# signature (NAME defaults to the program's file description); --timestamp
# has a time-stamp server (RFC 3161) countersign it, so that the signature
# stays valid after the certificate expires (it needs the network).
# After signing, `osslsigncode verify` must accept OUT.exe, and removing the
# signature must give back IN.exe byte for byte: the signed file is the
# built one plus a signature, nothing else. --check only checks that the
# certificate opens with the password and holds a key.
# Exit status: 0 when signed and checked; otherwise a message on stderr.
set -euo pipefail

certificate="" password_file="" name="GPS Tarvik Update" url="" timestamp="" check_only=0
usage() { sed -n '2,4p' "$0" | sed 's/^# \{0,1\}//' >&2; exit 2; }
while [ $# -gt 0 ]; do
  case "$1" in
    --certificate|--password-file|--name|--url|--timestamp)
      [ $# -ge 2 ] || usage
      case "$1" in
        --certificate) certificate="$2" ;;
        --password-file) password_file="$2" ;;
        --name) name="$2" ;;
        --url) url="$2" ;;
        --timestamp) timestamp="$2" ;;
      esac
      shift 2 ;;
    --check) check_only=1; shift ;;
    -*) usage ;;
    *) break ;;
  esac
done
fail() { echo "sign-exe.sh: $*" >&2; exit 1; }
[ -n "$certificate" ] && [ -n "$password_file" ] || usage
[ -f "$certificate" ] && [ -r "$certificate" ] || fail "no certificate file $certificate"
[ -f "$password_file" ] && [ -r "$password_file" ] || fail "no password file $password_file"

work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT

# The certificates of the file, for the check after signing. Files exported
# from older Windows use algorithms OpenSSL 3 keeps in its legacy provider.
pkcs12() {
  openssl pkcs12 -in "$certificate" -passin "file:$password_file" "$@" 2>"$work/openssl.err" ||
    openssl pkcs12 -legacy -in "$certificate" -passin "file:$password_file" "$@" 2>/dev/null
}
if ! pkcs12 -nokeys -out "$work/chain.pem"; then
  grep -qi 'password' "$work/openssl.err" &&
    fail "$certificate does not open with the password in $password_file"
  fail "$certificate is not a PKCS#12 file (.p12, .pfx)"
fi
grep -q 'BEGIN CERTIFICATE' "$work/chain.pem" || fail "$certificate holds no certificate"
pkcs12 -nocerts -nodes -out "$work/key.pem" && grep -q 'PRIVATE KEY' "$work/key.pem" ||
  fail "$certificate holds no private key"
rm -f "$work/key.pem"
[ "$check_only" -eq 0 ] || exit 0

[ $# -eq 2 ] || usage
in="$1" out="$2"
args=(-pkcs12 "$certificate" -readpass "$password_file" -h sha256 -n "$name")
[ -z "$url" ] || args+=(-i "$url")
[ -z "$timestamp" ] || args+=(-ts "$timestamp")
rm -f "$out"
osslsigncode sign "${args[@]}" -in "$in" -out "$out" >"$work/sign.log" 2>&1 ||
  { cat "$work/sign.log" >&2; rm -f "$out"; fail "osslsigncode could not sign $in"; }

# The chain from the file and the roots Debian trusts: a certificate from a
# code-signing authority, or a self-signed one for tests.
system_roots=/etc/ssl/certs/ca-certificates.crt
cat "$work/chain.pem" >"$work/trusted.pem"
[ ! -f "$system_roots" ] || cat "$system_roots" >>"$work/trusted.pem"
verify=(-CAfile "$work/trusted.pem")
[ -z "$timestamp" ] || verify+=(-TSA-CAfile "$system_roots")
if ! osslsigncode verify "${verify[@]}" -in "$out" >"$work/verify.log" 2>&1; then
  cat "$work/verify.log" >&2
  rm -f "$out"
  fail "osslsigncode does not accept the signature it made on $in"
fi
osslsigncode remove-signature -in "$out" -out "$work/unsigned.exe" >/dev/null 2>&1 &&
  cmp -s "$work/unsigned.exe" "$in" ||
  { rm -f "$out"; fail "the signed $out is more than $in and a signature"; }
echo "signed $out for $(sed -n 's/^[[:space:]]*Subject: *//p' "$work/verify.log" | head -n 1)"
