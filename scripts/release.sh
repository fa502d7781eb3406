#!/usr/bin/env bash
# Makes a release of this commit: the Windows program, the Debian package,
# their checksums, signed, and notes, in OUTPUT/VERSION/ (dist/1.3.1/ by default):
#   TarvikUpdate-VERSION-windows.zip  TarvikUpdate.exe, text.rtf (the welcome
#                                     text it reads from its folder),
#                                     guide-ru.html (the owner's guide),
#                                     LICENSE.txt (the program's MIT licence)
#                                     and THIRD-PARTY-NOTICES.txt (whose the
#                                     firmware is; the licences of the
#                                     compiler's runtime in the exe)
#   TarvikUpdate.exe                  the same program on its own (32-bit,
#                                     for every Windows PC)
#   tarvikupdate_VERSION_amd64.deb    the package for Debian 12 (with the guide)
#   RELEASE.md                        version, date, commit, firmware, signatures,
#                                     the packages it was built with
#   TarvikUpdate-VERSION.buildinfo    every package of the build environment
#                                     with its version (dpkg-query)
#   SHA256SUMS                        for `sha256sum -c SHA256SUMS`
#   SHA256SUMS.asc                    its OpenPGP signature
#
#   scripts/release.sh --firmware FILE --gpg-key KEY [options]
#
#   --firmware PATH       the tracker's firmware: an Intel HEX or S-record file
#                         with both memories at their addresses, or a directory
#                         with flash.bin and eeprom.bin (default: firmware/,
#                         the stand-in images, which only --test-firmware takes)
#   --version V           the version (default: CMakeLists.txt's, 1.3.1)
#   --date DD.MM.YYYY     the release's date (default: CMakeLists.txt's)
#   --app-id ID           the reverse-DNS application ID (default: CMakeLists.txt's)
#   --support-url URL     the maker's support address (https), named by the
#                         package's metainfo, the owner's guide and RELEASE.md
#   --gpg-key KEY         the OpenPGP key that signs SHA256SUMS (a release
#                         needs one; gpg --list-secret-keys lists yours)
#   Signing TarvikUpdate.exe (Authenticode), with a key in a file:
#   --certificate P12     a PKCS#12 file with the key and the certificate chain
#   or on a token or HSM (PKCS#11), as code-signing authorities issue them:
#   --pkcs11-module LIB   the token maker's PKCS#11 module
#   --pkcs11-key URI      the key's pkcs11: URI
#   --chain PEM           the certificate chain, the signing certificate first
#   --password-file FILE  the password or PIN on its first line (read once: a
#                         pipe or <(...) serves)
#   --timestamp URL       an RFC 3161 time-stamp server, which keeps the
#                         signature valid after the certificate expires
#                         (network; a signed release needs one)
#   --ca-file FILE        the roots the signature must chain to (default: the
#                         system's)
#   --name NAME           the program name shown with the signature
#                         (default: CMakeLists.txt's TARVIK_PRODUCT_NAME)
#   --url URL             the web address shown with it (default: --support-url)
#   --output DIR          where the release's directory goes (default: dist)
#   --test-firmware       a test build: takes the stand-in images of firmware/,
#                         a working tree with changes not committed and a
#                         self-signed certificate; package version VERSION~test,
#                         folder VERSION-test, every file name marked; without
#                         --gpg-key a throw-away OpenPGP key signs SHA256SUMS,
#                         its public half beside it as signing-key.asc
#   --tested-exe FILE     a TarvikUpdate.exe that scripts/wine-tests.sh has
#                         tested and left its pass record beside (FILE.passed,
#                         ./test.sh gives it): when the release's exe is that
#                         file byte for byte, its Windows tests are not run again
#   --help                this text
#
# The inputs are checked first, with the build's own checks; the firmware is
# read once, into the release's staging folder, and both builds take it from
# there. Then everything is built twice from `git archive` of the commit,
# unpacked with every time set to SOURCE_DATE_EPOCH (the commit's time); the
# second build varies what must not matter (every file dated years back, the
# umask, time zone, language and number of jobs), and the release stops on
# any byte that differs, naming the file. The Windows stage runs on the exe
# and the package stage (which installs and purges the package "tarvikupdate"
# on this machine, through sudo) on the .deb that are published, and the
# release's files are checked as an owner gets them. All is made in build/
# and moved to OUTPUT/VERSION/ at the very end: a release that fails writes
# nothing there. Installs what it needs (scripts/install-deps.sh); uses no
# network besides Debian's archive and the time-stamp server.
set -euo pipefail
shopt -s inherit_errexit
umask 022
export LC_ALL=C.UTF-8 TZ=UTC
root="$(cd "$(dirname "$0")/.." && pwd)"
jobs="${JOBS:-2}"
started=$SECONDS

fail() { echo "release.sh: $*" >&2; exit 1; }
step() { printf '\n== %s\n' "$*"; }
usage() { sed -n '2,/^set -euo/{/^set -euo/d;s/^# \{0,1\}//;p}' "$0"; exit 0; }

# --- Options -----------------------------------------------------------------
firmware="" version="" date="" app_id="" support_url="" gpg_key="" output="$root/dist"
certificate="" module="" key_uri="" chain="" password="" password_given=0
name="" url="" timestamp="" ca_file="" test_build=0 tested_exe="" for_signing=()
while [ $# -gt 0 ]; do
  case "$1" in
    --help|-h) usage ;;
    --test-firmware) test_build=1; shift; continue ;;
    --firmware|--version|--date|--app-id|--support-url|--gpg-key|--certificate|--pkcs11-module|\
    --pkcs11-key|--chain|--password-file|--name|--url|--timestamp|--ca-file|--output|--tested-exe)
      [ $# -ge 2 ] && [ -n "$2" ] || fail "$1 wants a value (see --help)" ;;
    *) fail "unknown option $1 (see --help)" ;;
  esac
  case "$1" in
    --password-file|--name|--url|--timestamp|--ca-file) for_signing+=("$1") ;;
  esac
  case "$1" in
    --firmware) firmware="$2" ;;
    --version) version="$2" ;;
    --date) date="$2" ;;
    --app-id) app_id="$2" ;;
    --support-url) support_url="$2" ;;
    --gpg-key) gpg_key="$2" ;;
    --certificate) certificate="$2" ;;
    --pkcs11-module) module="$2" ;;
    --pkcs11-key) key_uri="$2" ;;
    --chain) chain="$2" ;;
    --password-file)
      # Read here and once: it may be a pipe, and it is needed twice.
      [ -r "$2" ] || fail "no password file $2"
      IFS= read -r password <"$2" || [ -n "$password" ] || true
      password_given=1 ;;
    --name) name="$2" ;;
    --url) url="$2" ;;
    --timestamp) timestamp="$2" ;;
    --ca-file) ca_file="$2" ;;
    --output) output="$2" ;;
    --tested-exe) tested_exe="$2" ;;
  esac
  shift 2
done
# Paths given are the caller's; the rest runs at the top of the tree.
[ -z "$firmware" ] || [ -e "$firmware" ] || fail "no firmware file or directory $firmware"
for path in firmware certificate module chain ca_file tested_exe output; do
  [ -z "${!path}" ] || printf -v "$path" '%s' "$(realpath -m "${!path}")"
done
cd "$root"
default() { sed -n "s/^set($1 \"\\([^\"]*\\)\".*/\\1/p" CMakeLists.txt; }
version="${version:-$(default TARVIK_VERSION)}"
date="${date:-$(default TARVIK_RELEASE_DATE)}"
app_id="${app_id:-$(default TARVIK_APP_ID)}"
support_url="${support_url:-$(default TARVIK_SUPPORT_URL)}"
name="${name:-$(default TARVIK_PRODUCT_NAME)}"
url="${url:-$support_url}"
firmware="${firmware:-$root/firmware}"
key_args=()
if [ -n "$certificate" ]; then
  [ -z "$module$key_uri$chain" ] || fail "--certificate or --pkcs11-module: one key, not both"
  [ "$password_given" -eq 1 ] || fail "--certificate and --password-file go together"
  key_args=(--certificate "$certificate")
elif [ -n "$module$key_uri$chain" ]; then
  [ -n "$module" ] && [ -n "$key_uri" ] && [ -n "$chain" ] ||
    fail "--pkcs11-module, --pkcs11-key and --chain go together"
  key_args=(--pkcs11-module "$module" --pkcs11-key "$key_uri" --chain "$chain")
elif [ ${#for_signing[@]} -gt 0 ]; then
  fail "${for_signing[*]}: for signing, which wants --certificate or --pkcs11-module"
fi
mark=""
[ "$test_build" -eq 0 ] || mark="-test"
deb_version="$version"
[ "$test_build" -eq 0 ] || deb_version="$version~test"

scripts/install-deps.sh release
git rev-parse --verify -q HEAD >/dev/null 2>&1 ||
  fail "a release is made from a git commit: run this in a clone of the repository"
mkdir -p build
stage="$(mktemp -d "$root/build/release.XXXXXX")"
keep_stage=0
gnupg=""
finish() {
  status=$?
  if [ -n "$gnupg" ]; then
    GNUPGHOME="$gnupg" gpgconf --kill gpg-agent 2>/dev/null || true
    rm -rf "$gnupg"
  fi
  if [ "$status" -ne 0 ]; then
    echo "release.sh: no release was made; nothing was written to ${output#"$root"/}/" >&2
    [ "$keep_stage" -eq 0 ] || echo "release.sh: the builds and their logs are in ${stage#"$root"/}" >&2
  fi
  [ "$status" -ne 0 ] && [ "$keep_stage" -ne 0 ] || rm -rf "$stage"
}
trap finish EXIT
say_password() { printf '%s\n' "$password"; }
sha256() { sha256sum "$1" | cut -d' ' -f1; }

# --- The inputs, checked before anything is built ----------------------------
step "checking the inputs"
# The message of a CMake script that refused its input, without CMake's frame.
cmake_check() {
  local said
  if ! said="$(cmake "$@" 2>&1)"; then
    said="${said//"$stage/firmware"/"$firmware"}"
    fail "$(sed -n '/(message):$/,/^$\|^Call Stack/{/(message):$\|^$\|^Call Stack/d;s/^ *//;p}' \
            <<<"$said" | tr '\n' ' ' | sed 's/ *$//')"
  fi
  sed -n 's/^-- //p' <<<"$said"
}
cmake_check -DTARVIK_VERSION="$version" -DTARVIK_RELEASE_DATE="$date" -DTARVIK_APP_ID="$app_id" \
  -DTARVIK_SUPPORT_URL="$support_url" -P cmake/release_inputs.cmake
# Read once: from here on only the copy in the staging folder is read, so a
# file changed while the release is made cannot go in unchecked.
mkdir "$stage/firmware"
if [ -d "$firmware" ]; then
  for image in flash.bin eeprom.bin; do
    [ ! -e "$firmware/$image" ] || cp "$firmware/$image" "$stage/firmware/"
  done
  staged="$stage/firmware"
else
  staged="$stage/firmware/$(basename "$firmware")"
  cp "$firmware" "$staged"
fi
imported="$(cmake_check -DFIRMWARE="$staged" -DOUTPUT_DIR="$stage/images" \
              -P firmware/import_firmware.cmake)"
echo "${imported//"$stage/firmware"/"$firmware"}"
if [ "$test_build" -eq 0 ]; then
  for image in flash.bin eeprom.bin; do
    [ "$(sha256 "$stage/images/$image")" != "$(sha256 "firmware/$image")" ] ||
      fail "$firmware holds the stand-in $image of firmware/, made for tests and the demo," \
           "not a tracker release: give the tracker's firmware with --firmware" \
           "(--test-firmware makes a test build)"
  done
fi
password_args=()
[ "$password_given" -eq 0 ] || password_args=(--password-file /dev/fd/3)
sign_args=("${key_args[@]}" "${password_args[@]}")
[ -z "$ca_file" ] || sign_args+=(--ca-file "$ca_file")
[ "$test_build" -eq 0 ] || sign_args+=(--self-signed)
if [ ${#key_args[@]} -gt 0 ]; then
  scripts/sign-exe.sh "${sign_args[@]}" --check 3< <(say_password) || exit 1
  [ -n "$timestamp" ] || [ "$test_build" -eq 1 ] ||
    fail "a signed release is time-stamped: give --timestamp (the certificate authority's" \
         "time-stamp server); without it the signature ends when the certificate expires"
fi
# The OpenPGP key that signs SHA256SUMS: the maker's, or a throw-away one for
# a test, whose secret stays in a passphrase known to this run only.
gpg_passphrase=()
if [ -n "$gpg_key" ]; then
  gpg_fpr="$({ gpg --batch --with-colons --list-secret-keys -- "$gpg_key" 2>/dev/null || true; } |
             awk -F: '/^fpr:/ { print $10; exit }')"
  [ -n "$gpg_fpr" ] || fail "no secret OpenPGP key $gpg_key (gpg --list-secret-keys lists them)"
  # A first signature now: the agent asks for the passphrase before the builds.
  gpg --local-user "$gpg_fpr" --detach-sign </dev/null >/dev/null ||
    fail "the OpenPGP key $gpg_key does not sign"
elif [ "$test_build" -eq 1 ]; then
  gnupg="$(mktemp -d /tmp/tarvik-gnupg.XXXXXX)"
  export GNUPGHOME="$gnupg"
  gpg_passphrase=(--batch --pinentry-mode loopback --passphrase-fd 4)
  throwaway="$(head -c 24 /dev/urandom | base64)"
  gpg "${gpg_passphrase[@]}" --quiet --quick-generate-key \
    "TarvikUpdate test release (throw-away) <test-release@tarvik.invalid>" ed25519 sign 1d \
    4< <(printf '%s\n' "$throwaway") 2>/dev/null
  gpg_fpr="$(gpg --with-colons --list-secret-keys 2>/dev/null | awk -F: '/^fpr:/ { print $10; exit }')"
else
  fail "a release signs SHA256SUMS with OpenPGP: give --gpg-key (gpg --list-secret-keys" \
       "lists your keys)"
fi
gpg_uid="$(gpg --with-colons --list-keys "$gpg_fpr" 2>/dev/null | awk -F: '/^uid:/ { print $10; exit }')"
if [ -n "$tested_exe" ]; then
  [ -f "$tested_exe" ] || fail "no tested exe $tested_exe"
  # Equal bytes prove the same build, not that its tests passed: the Windows
  # stage's record of the exe it passed does.
  [ -f "$tested_exe.passed" ] && [ "$(cut -d' ' -f1 "$tested_exe.passed")" = "$(sha256 "$tested_exe")" ] ||
    fail "$tested_exe has no pass record of the Windows stage for its SHA-256" \
         "($tested_exe.passed, which scripts/wine-tests.sh writes when all its tests pass)"
fi
commit="$(git rev-parse HEAD)"
changes=""
if [ "$test_build" -eq 1 ]; then
  [ -z "$(git status --porcelain --untracked-files=normal)" ] || changes=" (with changes not committed)"
else
  [ -z "$(git status --porcelain --untracked-files=no)" ] ||
    fail "the working tree has changes that are not committed (git status):" \
         "a release is made from a commit"
fi
newest="$(dpkg-parsechangelog -S Version)"
if dpkg --compare-versions "$version" lt "$newest"; then
  fail "version $version is older than $newest, the newest in debian/changelog"
fi
release_dir="$output/$version$mark"
[ ! -e "$release_dir" ] || fail "$release_dir exists already: move it away or give another --output"
grep -qx 'ru_RU.utf8' < <(locale -a 2>/dev/null) ||
  fail "the second build runs in ru_RU.UTF-8, which this machine lacks (Debian package locales-all)"
echo "version $version of $date, $app_id, commit $commit$changes"

# --- Two trees ---------------------------------------------------------------------
# The commit's time stands for every time stamp: the PE header's (the linker
# reads it when it links), the package's files and its changelog entry.
export SOURCE_DATE_EPOCH
SOURCE_DATE_EPOCH="$(git log -1 --format=%ct)"
keep_stage=1
first="$stage/first"
second="$stage/second-build"  # another length: a path that leaks moves every byte after it
# What git holds of the commit, nothing else of this clone: not its files'
# times, not its untracked files. A test build takes the working tree's
# changes too, through an index of its own.
tree="$commit"
if [ -n "$changes" ]; then
  GIT_INDEX_FILE="$stage/index" git read-tree HEAD
  GIT_INDEX_FILE="$stage/index" git add -A
  tree="$(GIT_INDEX_FILE="$stage/index" git write-tree)"
fi
make_tree() {  # directory, the time of every file
  mkdir -p "$1"
  git archive --format=tar "$tree" | tar -C "$1" -xf -
  if [ "$deb_version" != "$newest" ]; then
    {
      printf 'tarvikupdate (%s) unstable; urgency=medium\n\n  * Release %s of %s%s.\n\n' \
        "$deb_version" "$version" "$date" "$([ "$test_build" -eq 0 ] || echo ", a test build")"
      printf ' -- %s  %s\n\n' "$(sed -n 's/^Maintainer: //p' "$1/debian/control")" \
        "$(date -u -R -d "@$SOURCE_DATE_EPOCH")"
      cat "$1/debian/changelog"
    } >"$1/changelog.new"
    mv "$1/changelog.new" "$1/debian/changelog"
  fi
  find "$1" -exec touch -h -d "@$2" {} +
}
# What must not matter differs in the second build: the umask, the time zone,
# the language, the number of jobs, and every file of its tree is ten years
# older.
in_second() {
  (umask 077
   export TZ=Pacific/Chatham LC_ALL=ru_RU.UTF-8 LANG=ru_RU.UTF-8 LANGUAGE=ru
   jobs=$((jobs + 1))
   "$@")
}
inputs=(-DTARVIK_FIRMWARE="$stage/images" -DTARVIK_VERSION="$version" -DTARVIK_RELEASE_DATE="$date"
        -DTARVIK_APP_ID="$app_id" -DTARVIK_SUPPORT_URL="$support_url")
# Runs a build step with its output in a log; on failure, the log's end.
logged() {
  local log="$1"; shift
  "$@" >"$log" 2>&1 || { tail -n 40 "$log" >&2; fail "failed: $* (the whole log: ${log#"$root"/})"; }
}
build_exe() {  # tree, whether with the tests
  (cd "$1" && logged "$1/win32.log" cmake --preset win32 -DTARVIK_BUILD_TESTS="$2" "${inputs[@]}" &&
   logged "$1/win32-build.log" cmake --build build/win32 -j "$jobs" --target TarvikUpdate)
  echo "$1/build/win32/TarvikUpdate/TarvikUpdate.exe"
}
build_deb() {
  (cd "$1" && TARVIK_FIRMWARE="$stage/images" TARVIK_VERSION="$version" TARVIK_RELEASE_DATE="$date" \
     TARVIK_APP_ID="$app_id" TARVIK_SUPPORT_URL="$support_url" JOBS="$jobs" \
     scripts/build-package.sh 2>"$1/package.log" | tail -n 1) ||
    { tail -n 40 "$1/package.log" >&2; fail "the package did not build in ${1#"$root"/}"; }
}
# The zip holds the exe, the welcome text, the owner's guide (taken from the
# package built in the same tree: one guide for both), the licence and the
# notices, with fixed times (zip keeps local times: UTC), modes and order.
scripts/third-party-notices.sh i686 >"$stage/notices.txt"
make_zip() {  # exe, tree, package, zip
  local dir
  dir="$(mktemp -d "$stage/zip.XXXXXX")"
  cp "$1" "$dir/TarvikUpdate.exe"
  cp "$2/docs/text.rtf" "$dir/text.rtf"
  dpkg-deb --fsys-tarfile "$3" | tar -xOf - ./usr/share/doc/tarvikupdate/guide-ru.html \
    >"$dir/guide-ru.html" || fail "$(basename "$3") holds no owner's guide"
  # Notepad before Windows 10 shows a text file's lines only with CR LF.
  sed 's/$/\r/' "$2/LICENSE" >"$dir/LICENSE.txt"
  sed 's/$/\r/' "$stage/notices.txt" >"$dir/THIRD-PARTY-NOTICES.txt"
  chmod 644 "$dir"/*
  touch -d "@$SOURCE_DATE_EPOCH" "$dir"/*
  (cd "$dir" && TZ=UTC zip -X -D -q "$4" TarvikUpdate.exe text.rtf guide-ru.html LICENSE.txt \
     THIRD-PARTY-NOTICES.txt)
  rm -rf "$dir"
}
same() {  # what, file, file
  if ! cmp -s "$2" "$3"; then
    scripts/build_differences.py "$2" "$3" >"$stage/differences.txt"
    sed 's/^/  /' "$stage/differences.txt" >&2
    fail "$1 differs between the two builds ($(head -n 1 "$stage/differences.txt")):" \
         "${2#"$root"/} and ${3#"$root"/}"
  fi
  echo "the same in both builds: $1 ($(stat -c %s "$2") bytes)"
}

step "the first tree (${first#"$root"/}) and the second (${second#"$root"/})"
make_tree "$first" "$SOURCE_DATE_EPOCH"
in_second make_tree "$second" $((SOURCE_DATE_EPOCH - 10 * 365 * 86400))
step "the package, built twice"
deb="$(build_deb "$first")"
deb_second="$(in_second build_deb "$second")"
same "$(basename "$deb")" "$deb" "$deb_second"
step "TarvikUpdate.exe, built twice"
exe="$(in_second build_exe "$second" OFF)"
windows_tested=0
if [ -n "$tested_exe" ] && cmp -s "$tested_exe" "$exe"; then
  echo "the tested ${tested_exe#"$root"/} is this exe: it stands for the first build"
  same TarvikUpdate.exe "$tested_exe" "$exe"
  windows_tested=1
else
  exe_first="$(build_exe "$first" ON)"
  same TarvikUpdate.exe "$exe_first" "$exe"
fi
make_zip "$exe" "$first" "$deb" "$stage/first.zip"
in_second make_zip "$exe" "$second" "$deb_second" "$stage/second.zip"
same "the zip" "$stage/first.zip" "$stage/second.zip"

# --- Tests of what is published --------------------------------------------------
if [ "$windows_tested" -eq 0 ]; then
  step "the Windows stage on this exe (log: ${first#"$root"/}/wine-tests.log)"
  (cd "$first" && logged "$first/wine-tests.log" scripts/wine-tests.sh win32)
  grep -E '^== win32|tests passed' "$first/wine-tests.log"
  same "TarvikUpdate.exe, as tested" "$first/build/win32/TarvikUpdate/TarvikUpdate.exe" "$exe"
  [ "$(cut -d' ' -f1 "$first/build/win32/TarvikUpdate/TarvikUpdate.exe.passed")" = "$(sha256 "$exe")" ] ||
    fail "the Windows stage left no pass record for this exe"
fi
step "the package stage on this package"
logged "$first/bootsim.log" cmake -S "$first" -B "$first/build/winhost" -G Ninja \
  -DTARVIK_BUILD_GUI=OFF -DTARVIK_BUILD_BENCH=OFF -DTARVIK_BUILD_TESTS=OFF
logged "$first/bootsim-build.log" ninja -C "$first/build/winhost" -j "$jobs" tarvik-bootsim
"$first/scripts/package-tests.sh" --deb "$deb" --images "$stage/images" --version "$version" \
  --app-id "$app_id" "$first/build/winhost" || fail "the package stage failed on $(basename "$deb")"

# --- Signing -------------------------------------------------------------------
signed="no"
if [ ${#key_args[@]} -gt 0 ]; then
  step "signing TarvikUpdate.exe"
  sign=("${sign_args[@]}" --name "$name")
  [ -z "$url" ] || sign+=(--url "$url")
  [ -z "$timestamp" ] || sign+=(--timestamp "$timestamp")
  # "yes" stands on the exit status of osslsigncode's own checks (sign-exe.sh).
  signer="$(scripts/sign-exe.sh "${sign[@]}" "$exe" "$stage/signed.exe" 3< <(say_password) |
            tail -n 1)" || exit 1
  signed="yes, by $signer$([ -z "$timestamp" ] || echo ", time-stamped by $timestamp")"
  echo "$signed"
  exe="$stage/signed.exe"
  make_zip "$exe" "$first" "$deb" "$stage/first.zip"
fi

# --- The release's files ---------------------------------------------------------
step "the release's files"
out="$stage/out/$version$mark"
mkdir -p "$out"
zip_name="TarvikUpdate-$version$mark-windows.zip"
exe_name="TarvikUpdate$mark.exe"
deb_name="$(basename "$deb")"
buildinfo_name="TarvikUpdate-$version$mark.buildinfo"
cp "$stage/first.zip" "$out/$zip_name"
cp "$exe" "$out/$exe_name"
cp "$deb" "$out/$deb_name"
files=("$zip_name" "$exe_name" "$deb_name")

# The build environment: the packages install-deps.sh installs for a
# release, and all they depend on, each at the version installed (apt-cache
# names the other architecture's twin of some, which is not installed).
mapfile -t direct < <(scripts/install-deps.sh --list release)
installed() {
  { dpkg-query -W -f='${db:Status-Abbrev}|${binary:Package}|${Version}\n' "$@" 2>/dev/null || true; } |
    awk -F'|' '$1 ~ /^ii/ { print $2, $3 }'
}
{
  echo "# The build environment of TarvikUpdate $version$mark (Debian $(cat /etc/debian_version)):"
  echo "# the packages scripts/install-deps.sh installs for a release, and every package"
  echo "# they depend on, as dpkg-query lists them (package, version)."
  installed $(apt-cache depends --recurse --installed --no-recommends --no-suggests --no-conflicts \
                --no-breaks --no-replaces --no-enhances "${direct[@]}" 2>/dev/null |
              grep -v '^[ <]' | sort -u)
} >"$out/$buildinfo_name"

row() { printf '| %s | %s |\n' "$@"; }
{
  echo "# TarvikUpdate $version$([ "$test_build" -eq 0 ] || echo " (test build)")"
  echo
  if [ "$test_build" -eq 1 ]; then
    echo "**A test build, not for users:** made with --test-firmware$changes; its firmware"
    echo "may be the stand-in images of the repository's firmware/ directory, which"
    echo "are made for tests and the demo and are no tracker release. Its package's"
    echo "version, $deb_version, sorts before $version's."
    echo
  fi
  row "" "" && row "---" "---"
  row Version "$version"
  row "Package version" "$deb_version"
  row Date "$date"
  row Commit "$commit$changes"
  row "Commit time (SOURCE_DATE_EPOCH)" "$(date -d "@$SOURCE_DATE_EPOCH" '+%Y-%m-%d %H:%M:%S UTC') ($SOURCE_DATE_EPOCH)"
  row "Application ID" "$app_id"
  row "Support address" "${support_url:-none given}"
  row "TarvikUpdate.exe signed" "$signed"
  row "SHA256SUMS signed by" "OpenPGP key $gpg_fpr, $gpg_uid$([ -z "$gnupg" ] ||
    echo " (made for this test build only; its public key: signing-key.asc)")"
  echo
  echo "## Firmware"
  echo
  if [ -d "$firmware" ]; then
    echo "From the directory of images \`$(basename "$firmware")/\`."
  else
    echo "From \`$(basename "$firmware")\`, SHA-256 \`$(sha256 "$staged")\`."
  fi
  echo "It was read once, into the release's staging folder, and both builds took it"
  echo "from there: ${imported#Firmware *: }."
  echo "The program checks each image against its SHA-256 every time it starts."
  echo
  row "Image" "SHA-256" && row "---" "---"
  row "program memory, flash.bin ($(stat -c %s "$stage/images/flash.bin") bytes)" \
      "\`$(sha256 "$stage/images/flash.bin")\`"
  row "data memory, eeprom.bin ($(stat -c %s "$stage/images/eeprom.bin") bytes)" \
      "\`$(sha256 "$stage/images/eeprom.bin")\`"
  echo
  echo "## Files"
  echo
  echo "| File | Bytes | SHA-256 |"
  echo "|---|---|---|"
  for f in "${files[@]}"; do
    echo "| $f | $(stat -c %s "$out/$f") | \`$(sha256 "$out/$f")\` |"
  done
  echo
  echo "The zip holds TarvikUpdate.exe, for 32-bit and 64-bit Windows 7 and later,"
  echo "with text.rtf, the welcome text it reads from its own folder,"
  echo "guide-ru.html, the owner's guide in Russian, which opens in any browser,"
  echo "LICENSE.txt, the program's MIT licence, and THIRD-PARTY-NOTICES.txt: the"
  echo "firmware is the tracker maker's and not under that licence, and the"
  echo "licences of the compiler's runtime that the exe contains."
  echo "The package is for Debian 12 on $(dpkg-deb -f "$deb" Architecture); it"
  echo "carries the same guide as /usr/share/doc/tarvikupdate/guide-ru.html."
  echo "Each was built twice from \`git archive\` of the commit, the second time with"
  echo "every file dated ten years back, another umask, time zone, language and"
  echo "number of jobs, with the same bytes$([ "$signed" = no ] ||
    echo " (the exe before it was signed)");"
  echo "the Windows tests ran on this exe and the package tests on this package."
  echo
  echo "## Toolchain"
  echo
  echo "Debian $(cat /etc/debian_version). The packages scripts/install-deps.sh installs"
  echo "for a release, as dpkg-query lists them; $buildinfo_name lists"
  echo "every package of the build environment with its version."
  echo
  row "Package" "Version" && row "---" "---"
  installed "${direct[@]}" | while read -r p v; do row "$p" "$v"; done
} >"$out/RELEASE.md"
files+=(RELEASE.md "$buildinfo_name")
keyring="$stage/signing-key.gpg"
gpg --export "$gpg_fpr" >"$keyring"
if [ -n "$gnupg" ]; then
  gpg --armor --export "$gpg_fpr" >"$out/signing-key.asc"
  files+=(signing-key.asc)
fi
(cd "$out" && sha256sum "${files[@]}" >SHA256SUMS)
gpg "${gpg_passphrase[@]}" --quiet --local-user "$gpg_fpr" --armor --detach-sign \
  --output "$out/SHA256SUMS.asc" "$out/SHA256SUMS" 4< <(printf '%s\n' "${throwaway:-}")
# Checked with that key alone, as an owner who has it checks.
gpgv --keyring "$keyring" "$out/SHA256SUMS.asc" "$out/SHA256SUMS" >"$stage/gpgv.log" 2>&1 ||
  { cat "$stage/gpgv.log" >&2; fail "gpgv does not accept SHA256SUMS.asc"; }
sed 's/^gpgv: /  /' "$stage/gpgv.log"
check=(--images "$stage/images" --version "$version" --keyring "$keyring")
[ "$test_build" -eq 0 ] || check+=(--test)
[ -z "$support_url" ] || check+=(--support-url "$support_url")
python3 scripts/check_release.py "${check[@]}" "$out" || fail "the release's files do not hold"

# --- Into place --------------------------------------------------------------------
mkdir -p "$output"
mv -T "$out" "$release_dir"
keep_stage=0
step "released in $release_dir/ ($((SECONDS - started)) s)"
(cd "$release_dir" && for f in "${files[@]}" SHA256SUMS SHA256SUMS.asc; do
   printf '%10s  %s  %s\n' "$(stat -c %s "$f")" "$(sha256 "$f")" "$f"
 done)
