#!/usr/bin/env bash
# Authenticode on the built program with throw-away keys made here: a test
# authority's certificates in a PKCS#12 file and on a SoftHSM2 token
# (PKCS#11), a self-signed one, and a local RFC 3161 time-stamp server
# (`openssl ts` behind a few lines of HTTP). Each signed file passes
# `osslsigncode verify` against the authority, comes back to the program
# byte for byte without its signature, and fails the check with any byte
# changed; a time-stamped signature holds after its certificate has expired.
# Wrong passwords, a self-signed certificate outside a test and a file that is
# no key sign nothing and say why. No private key is written in the clear.
#   signing_test.sh SIGN_EXE_SH PROGRAM.exe
set -euo pipefail
sign="$(realpath "$1")" exe="$(realpath "$2")"
work="$(mktemp -d)"
tsa_pid=""
cleanup() { [ -z "$tsa_pid" ] || kill "$tsa_pid" 2>/dev/null || true; rm -rf "$work"; }
trap cleanup EXIT
cd "$work"
status=0
check() { if "${@:2}" >"$work/out.log" 2>&1; then echo "ok   $1"; else cat out.log; echo "FAIL $1"; status=1; fi; }
softhsm=/usr/lib/softhsm/libsofthsm2.so
[ -f "$softhsm" ] && ls /usr/lib/*/engines-3/pkcs11.so >/dev/null 2>&1 ||
  { echo "needs softhsm2 and libengine-pkcs11-openssl: scripts/install-deps.sh release"; exit 1; }

# --- Keys: each private key lives in a shell variable and in pipes only ------
newkey() { openssl genpkey -algorithm RSA -pkeyopt rsa_keygen_bits:2048 2>/dev/null; }
ca_key="$(newkey)"
openssl req -x509 -key <(echo "$ca_key") -out ca.pem -days 30 -subj "/CN=Tarvik test authority" \
  -addext basicConstraints=critical,CA:TRUE -addext keyUsage=critical,keyCertSign
issue() {  # key (PEM), subject, extended key use, days -> the certificate, issued by the authority
  openssl req -new -key <(echo "$1") -subj "$2" |
    openssl x509 -req -CA ca.pem -CAkey <(echo "$ca_key") -CAcreateserial -days "$4" \
      -extfile <(echo "extendedKeyUsage=$3") 2>/dev/null
}
signer_key="$(newkey)"
issue "$signer_key" "/CN=Tarvik test signer" codeSigning 2 >signer.pem
echo secret >password
echo wrong >wrong-password
openssl pkcs12 -export -inkey <(echo "$signer_key") -in signer.pem -certfile ca.pem \
  -out signer.p12 -passout file:password
# Older Windows exports its files with the algorithms of OpenSSL's legacy provider.
openssl pkcs12 -export -legacy -inkey <(echo "$signer_key") -in signer.pem -out legacy.p12 \
  -passout file:password
self_key="$(newkey)"
openssl req -x509 -key <(echo "$self_key") -out self.pem -days 30 -subj "/CN=Self-signed" \
  -addext extendedKeyUsage=codeSigning
openssl pkcs12 -export -inkey <(echo "$self_key") -in self.pem -out self.p12 -passout file:password

# The token: a SoftHSM2 store of its own, the key imported from a pipe.
mkdir tokens
printf 'directories.tokendir = %s/tokens\nobjectstore.backend = file\n' "$work" >softhsm2.conf
export SOFTHSM2_CONF="$work/softhsm2.conf"
softhsm2-util --init-token --free --label tarvik-test --pin 4321 --so-pin 87654321 >/dev/null
softhsm2-util --import <(newkey) --token tarvik-test --label signer --id 01 --pin 4321 >/dev/null
token_key="pkcs11:token=tarvik-test;object=signer;type=private"
printf '%s\n' 'openssl_conf = init' '[init]' 'engines = engines' '[engines]' 'pkcs11 = pkcs11' \
  '[pkcs11]' "MODULE_PATH = $softhsm" 'PIN = 4321' >engine.cnf
OPENSSL_CONF=engine.cnf openssl req -new -engine pkcs11 -keyform engine -key "$token_key" \
  -subj "/CN=Tarvik token signer" 2>/dev/null |
  openssl x509 -req -CA ca.pem -CAkey <(echo "$ca_key") -days 2 \
    -extfile <(echo extendedKeyUsage=codeSigning) -out token.pem 2>/dev/null

# The time-stamp server, its key encrypted on disk.
openssl req -new -newkey rsa:2048 -keyout tsa-key.pem -passout pass:tsa -subj "/CN=Tarvik test TSA" \
  2>/dev/null | openssl x509 -req -CA ca.pem -CAkey <(echo "$ca_key") -days 30 \
  -extfile <(echo "extendedKeyUsage=critical,timeStamping") -out tsa.pem 2>/dev/null
unset ca_key signer_key self_key
cat >tsa.cnf <<'EOF'
[tsa]
default_tsa = test_tsa
[test_tsa]
serial = tsa.serial
crypto_device = builtin
signer_cert = tsa.pem
signer_key = tsa-key.pem
signer_digest = sha256
default_policy = 1.3.6.1.4.1.55555.1
digests = sha256, sha384, sha512
accuracy = secs:1
ess_cert_id_alg = sha256
EOF
echo 01 >tsa.serial
python3 -c '
import http.server, subprocess
class Stamp(http.server.BaseHTTPRequestHandler):
    def do_POST(self):
        query = self.rfile.read(int(self.headers["Content-Length"]))
        reply = subprocess.run(["openssl", "ts", "-reply", "-config", "tsa.cnf", "-passin", "pass:tsa",
                                "-queryfile", "/dev/stdin", "-out", "/dev/stdout"],
                               input=query, capture_output=True).stdout
        self.send_response(200)
        self.send_header("Content-Type", "application/timestamp-reply")
        self.send_header("Content-Length", str(len(reply)))
        self.end_headers()
        self.wfile.write(reply)
    def log_message(self, *args): pass
server = http.server.HTTPServer(("127.0.0.1", 0), Stamp)
print(server.server_port, flush=True)
server.serve_forever()' >tsa.port &
tsa_pid=$!
until [ -s tsa.port ]; do kill -0 "$tsa_pid" || exit 1; sleep 0.1; done
tsa="http://127.0.0.1:$(cat tsa.port)/"

# --- Signing -------------------------------------------------------------------
# Each row's options as the shell reads them (eval): the key's URI holds ";".
p12="--certificate signer.p12"
token="--pkcs11-module $softhsm --pkcs11-key '$token_key'"
later=$(($(date +%s) + 3 * 86400))  # both signers' certificates have expired by then
cat ca.pem self.pem >roots.pem
signed() { eval "\"$sign\" $1 --ca-file ca.pem --url https://tarvik.example/ \"$exe\" $2"; }
refused() {
  ! eval "\"$sign\" $2 --ca-file ca.pem \"$exe\" refused.exe" 2>said && grep -F -- "$1" said &&
    [ ! -e refused.exe ]
}
for row in \
    "PKCS#12, time-stamped|stamped.exe|$p12 --password-file password --timestamp $tsa" \
    "PKCS#12, no time stamp|plain.exe|$p12 --password-file password" \
    "PKCS#11 on the SoftHSM2 token, time-stamped|token.exe|$token --chain token.pem --password-file <(echo 4321) --timestamp $tsa" \
    "a legacy PKCS#12 file, its password from a pipe|legacy.exe|--certificate legacy.p12 --password-file <(cat password)" \
    "a self-signed certificate, for a test release|self.exe|--certificate self.p12 --password-file password --self-signed"; do
  IFS='|' read -r what out args <<<"$row"
  check "$what: signed and checked" signed "$args" "$out"
  check "$what: osslsigncode verify accepts it" osslsigncode verify -CAfile roots.pem -in "$out"
  check "$what: without the signature it is the program" \
    sh -c 'osslsigncode remove-signature -in "$1" -out "u-$1" && cmp "u-$1" "$2"' sh "$out" "$exe"
done
check "a time-stamped signature holds after the certificate has expired" \
  osslsigncode verify -CAfile ca.pem -TSA-CAfile ca.pem -time "$later" -in stamped.exe
check "the token's time-stamped signature as well" \
  osslsigncode verify -CAfile ca.pem -TSA-CAfile ca.pem -time "$later" -in token.exe
check "one without a time stamp does not" \
  sh -c '! osslsigncode verify -CAfile ca.pem -time "$1" -in plain.exe' sh "$later"
size=$(stat -c %s "$exe")
# A byte of the code near the start, one in the middle, the program's last.
for offset in 1024 $((size / 2)) $((size - 1)); do
  python3 -c 'import sys; b = bytearray(open("stamped.exe", "rb").read()); b[int(sys.argv[1])] ^= 1
open("flipped.exe", "wb").write(b)' "$offset"
  check "a flipped byte at $offset fails the check" \
    sh -c '! osslsigncode verify -CAfile ca.pem -in flipped.exe'
done

# --- Refusals: nothing signed, and the reason given --------------------------------
echo "a text, not a certificate" >not-a-key.p12
for row in \
    "a wrong password|wrong password for signer.p12|$p12 --password-file wrong-password" \
    "a wrong PIN|wrong password (PIN)|$token --chain token.pem --password-file <(echo 0000)" \
    "a file that is no PKCS#12|is not a PKCS#12 file|--certificate not-a-key.p12 --password-file password" \
    "a self-signed certificate outside a test|serves test releases only|--certificate self.p12 --password-file password" \
    "another's certificate for the token's key|the certificate is not the key's|$token --chain signer.pem --password-file <(echo 4321)"; do
  IFS='|' read -r what said args <<<"$row"
  check "$what signs nothing, and says so" refused "$said" "$args"
done
check "no private key in the clear in the test's files" sh -c '! grep -rl "BEGIN PRIVATE KEY" .'
exit "$status"
