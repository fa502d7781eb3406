#!/usr/bin/env bash
# Signs a Windows program with the maker's Authenticode key and checks the
# result, or only checks the key:
#   scripts/sign-exe.sh KEY [--name NAME] [--url URL] [--timestamp URL]
#                       [--ca-file FILE] [--self-signed] IN.exe OUT.exe
#   scripts/sign-exe.sh KEY [--ca-file FILE] [--self-signed] --check
# KEY is one of:
#   --certificate FILE.p12 --password-file FILE
#       a PKCS#12 file (.p12, .pfx) with the private key and the certificate
#       chain, and its password;
#   --pkcs11-module LIBRARY --pkcs11-key URI --chain FILE.pem [--password-file FILE]
#       a key on a token or in an HSM, as code-signing authorities issue them:
#       the token maker's PKCS#11 module, the key's pkcs11: URI (RFC 7512),
#       the certificate chain, the signing certificate first, and the PIN.
# The password file's first line is the password or PIN. It is read once,
# so it may be a pipe or a process substitution (<(pass show codesign)).
# No private key is written anywhere: a PKCS#12 key stays in its file and
# in the pipes between the programs, a token's key on the token.
#   --name NAME      the program name Windows shows with the signature
#                    (default: CMakeLists.txt's TARVIK_PRODUCT_NAME)
#   --url URL        the web address Windows shows with the signature
#   --timestamp URL  an RFC 3161 time-stamp server (network): the signature
#                    stays valid after the certificate expires
#   --ca-file FILE   the root certificates to check the signature and the time
#                    stamp against (default: the system's,
#                    /etc/ssl/certs/ca-certificates.crt)
#   --self-signed    for tests: trust the key's own certificate chain as well
# --check checks that the key opens with the password and that the
# certificate is its own and, but with --self-signed, chains to a root.
# After signing, `osslsigncode verify` must accept OUT.exe against the roots
# (with a time stamp, also at a day after the certificate expires), and
# removing the signature must give back IN.exe byte for byte. The last line
# printed names the certificate's subject.
# Exit status: 0 when signed and checked; 1 with a message on stderr; 2 usage.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"

certificate="" password_file="" module="" key_uri="" chain_file="" name="" url="" timestamp=""
ca_file=/etc/ssl/certs/ca-certificates.crt self_signed=0 check_only=0
usage() { sed -n '2,/^set -euo/{/^set -euo/d;s/^# \{0,1\}//;p}' "$0" >&2; exit 2; }
while [ $# -gt 0 ]; do
  case "$1" in
    --certificate|--password-file|--pkcs11-module|--pkcs11-key|--chain|--name|--url|\
    --timestamp|--ca-file)
      [ $# -ge 2 ] || usage
      case "$1" in
        --certificate) certificate="$2" ;;
        --password-file) password_file="$2" ;;
        --pkcs11-module) module="$2" ;;
        --pkcs11-key) key_uri="$2" ;;
        --chain) chain_file="$2" ;;
        --name) name="$2" ;;
        --url) url="$2" ;;
        --timestamp) timestamp="$2" ;;
        --ca-file) ca_file="$2" ;;
      esac
      shift 2 ;;
    --self-signed) self_signed=1; shift ;;
    --check) check_only=1; shift ;;
    -*) usage ;;
    *) break ;;
  esac
done
fail() { echo "sign-exe.sh: $*" >&2; exit 1; }
if [ -n "$certificate" ]; then
  [ -z "$module$key_uri$chain_file" ] || usage
  [ -n "$password_file" ] || usage
  [ -f "$certificate" ] && [ -r "$certificate" ] || fail "no certificate file $certificate"
else
  [ -n "$module" ] && [ -n "$key_uri" ] && [ -n "$chain_file" ] || usage
  [ -f "$module" ] || fail "no PKCS#11 module $module"
  [[ "$key_uri" == pkcs11:* ]] || fail "the key $key_uri is no pkcs11: URI"
  [ -f "$chain_file" ] && [ -r "$chain_file" ] || fail "no certificate chain $chain_file"
fi
[ -f "$ca_file" ] && [ -r "$ca_file" ] || fail "no root certificates $ca_file"
password=""
if [ -n "$password_file" ]; then
  [ -r "$password_file" ] || fail "no password file $password_file"
  IFS= read -r password <"$password_file" || [ -n "$password" ] || true
fi
if [ -z "$name" ]; then
  name="$(sed -n 's/^set(TARVIK_PRODUCT_NAME "\([^"]*\)").*/\1/p' "$root/CMakeLists.txt")"
fi

work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
say_password() { printf '%s\n' "$password"; }

# The key's public half and the certificates, which are no secret. PKCS#12
# files exported from older Windows use algorithms that OpenSSL 3 keeps in
# its legacy provider.
pkcs12() {
  openssl pkcs12 -in "$certificate" -passin stdin "$@" < <(say_password) 2>"$work/openssl.err" ||
    { grep -q unsupported "$work/openssl.err" &&
      openssl pkcs12 -legacy -in "$certificate" -passin stdin "$@" < <(say_password) \
        2>"$work/openssl.err"; }
}
if [ -n "$certificate" ]; then
  if ! pkcs12 -nokeys -clcerts -out "$work/leaf.pem"; then
    grep -qi -e 'invalid password' -e 'mac verify' "$work/openssl.err" &&
      fail "wrong password for $certificate (the first line of $password_file)"
    fail "$certificate is not a PKCS#12 file (.p12, .pfx)"
  fi
  pkcs12 -nokeys -out "$work/chain.pem"
  # -nodes: in the clear, but only into the pipe to its public half.
  pkcs12 -nocerts -nodes | openssl pkey -pubout -out "$work/key.pub" 2>/dev/null ||
    fail "$certificate holds no private key"
else
  cp "$chain_file" "$work/chain.pem"
  openssl x509 -in "$chain_file" -out "$work/leaf.pem" 2>/dev/null ||
    fail "$chain_file holds no certificate"
  # The engine finds the module through this configuration (no secret in it).
  printf '%s\n' 'openssl_conf = init' '[init]' 'engines = engines' '[engines]' \
    'pkcs11 = pkcs11' '[pkcs11]' "MODULE_PATH = $module" >"$work/engine.cnf"
  # Without a password file the token's own way of asking for the PIN serves.
  pin=()
  [ -z "$password_file" ] || pin=(-passin stdin)
  if ! OPENSSL_CONF="$work/engine.cnf" openssl pkey -engine pkcs11 -inform engine \
         -in "$key_uri" "${pin[@]}" -pubout -out "$work/key.pub" \
         < <(say_password) >/dev/null 2>"$work/openssl.err"; then
    grep -qi 'PIN incorrect' "$work/openssl.err" &&
      fail "wrong password (PIN) for the key $key_uri"
    sed -n '/error/{s/^[^:]*:error:[^:]*:[^:]*:[^:]*://;p;q}' "$work/openssl.err" >&2
    fail "the PKCS#11 module $module gives no key $key_uri"
  fi
fi
grep -q 'BEGIN CERTIFICATE' "$work/leaf.pem" || fail "no certificate for the key"
cmp -s "$work/key.pub" <(openssl x509 -in "$work/leaf.pem" -noout -pubkey) ||
  fail "the certificate is not the key's"

# The roots the signature must chain to: the maker's authority's, among the
# system's or in the file given; for tests, the key's own self-signed one.
cp "$ca_file" "$work/trusted.pem"
[ "$self_signed" -eq 0 ] || cat "$work/chain.pem" >>"$work/trusted.pem"
openssl verify -CAfile "$work/trusted.pem" -untrusted "$work/chain.pem" -purpose any \
  "$work/leaf.pem" >/dev/null 2>"$work/openssl.err" ||
  fail "the certificate does not chain to a root of $ca_file$([ "$self_signed" -eq 1 ] ||
        echo " (a self-signed certificate serves test releases only)")"
[ "$check_only" -eq 0 ] || exit 0

[ $# -eq 2 ] || usage
in="$1" out="$2"
rm -f "$out"
# The password reaches osslsigncode through a pipe on descriptor 3.
if [ -n "$certificate" ]; then
  args=(-pkcs12 "$certificate" -readpass /dev/fd/3)
else
  args=(-pkcs11module "$module" -key "$key_uri" -certs "$chain_file")
  [ -z "$password_file" ] || args+=(-readpass /dev/fd/3)
fi
args+=(-h sha256 -n "$name")
[ -z "$url" ] || args+=(-i "$url")
[ -z "$timestamp" ] || args+=(-ts "$timestamp")
osslsigncode sign "${args[@]}" -in "$in" -out "$out" 3< <(say_password) >"$work/sign.log" 2>&1 ||
  { cat "$work/sign.log" >&2; rm -f "$out"; fail "osslsigncode could not sign $in"; }

# Judged by osslsigncode's exit status. A time stamp that holds makes the
# signature valid past the certificate's end: checked a day after it.
verify() {
  osslsigncode verify -CAfile "$work/trusted.pem" -TSA-CAfile "$work/trusted.pem" "$@" \
    -in "$out" >"$work/verify.log" 2>&1 ||
    { cat "$work/verify.log" >&2; rm -f "$out"; return 1; }
}
verify || fail "osslsigncode does not accept the signature it made on $in"
if [ -n "$timestamp" ]; then
  expires="$(date -d "$(openssl x509 -in "$work/leaf.pem" -noout -enddate | cut -d= -f2)" +%s)"
  verify -time $((expires + 86400)) ||
    fail "the time stamp from $timestamp does not hold: the signature would end with the certificate"
fi
osslsigncode remove-signature -in "$out" -out "$work/unsigned.exe" >/dev/null 2>&1 &&
  cmp -s "$work/unsigned.exe" "$in" ||
  { rm -f "$out"; fail "the signed $out is more than $in and a signature"; }
openssl x509 -in "$work/leaf.pem" -noout -subject -nameopt RFC2253 | sed 's/^subject=//'
