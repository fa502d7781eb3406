#!/usr/bin/env bash
# Makes a release of this commit: the Windows program, the Debian package,
# their checksums and notes, in OUTPUT/VERSION/ (dist/1.3.1/ by default):
#   TarvikUpdate-VERSION-windows.zip  TarvikUpdate.exe, text.rtf (the welcome
#                                     text it reads from its folder) and
#                                     guide-ru.html, the owner's guide
#   TarvikUpdate.exe                  the same program on its own (32-bit,
#                                     for every Windows PC)
#   tarvikupdate_VERSION_amd64.deb    the package for Debian 12 (with the guide)
#   RELEASE.md                        version, date, commit, firmware, toolchain
#   SHA256SUMS                        for `sha256sum -c SHA256SUMS`
#
#   scripts/release.sh --firmware FILE [options]
#
#   --firmware PATH       the tracker's firmware: an Intel HEX or S-record file
#                         with both memories at their addresses, or a directory
#                         with flash.bin and eeprom.bin (default: firmware/,
#                         the stand-in images, which only --test-firmware takes)
#   --version V           the version (default: CMakeLists.txt's, 1.3.1)
#   --date DD.MM.YYYY     the release's date (default: CMakeLists.txt's)
#   --app-id ID           the reverse-DNS application ID (default: CMakeLists.txt's)
#   --certificate P12     sign TarvikUpdate.exe with this Authenticode
#                         certificate (PKCS#12: key and certificate chain)
#   --password-file FILE  its password, on the first line (with --certificate)
#   --name NAME           the program name shown with the signature
#                         (default "GPS Tarvik Update")
#   --url URL             the web address shown with the signature
#   --timestamp URL       an RFC 3161 time-stamp server to countersign (network)
#   --output DIR          where the release's directory goes (default: dist)
#   --test-firmware       a test build: takes the stand-in images of firmware/
#                         and a working tree with changes not committed, and
#                         marks RELEASE.md and every file name as a test build
#   --tested-exe FILE     a TarvikUpdate.exe that scripts/wine-tests.sh has
#                         just tested (./test.sh gives it): when the release's
#                         exe is that file byte for byte, it stands for the
#                         first build, and its Windows tests are not run again
#   --help                this text
#
# The inputs are checked first, with the build's own checks. Then everything
# is built twice from copies of the tree in two directories, at two times,
# with SOURCE_DATE_EPOCH the commit's time, and the release stops on any
# byte that differs. The Windows stage runs on the exe and the package stage
# (which installs and purges the package "tarvikupdate" on this machine,
# through sudo) on the .deb that are published. All is made in build/ and
# moved to OUTPUT/VERSION/ at the very end: a release that fails writes
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
firmware="" version="" date="" app_id="" certificate="" password_file=""
sign_args=() output="$root/dist" test_build=0 tested_exe=""
while [ $# -gt 0 ]; do
  case "$1" in
    --help|-h) usage ;;
    --test-firmware) test_build=1; shift; continue ;;
    --firmware|--version|--date|--app-id|--certificate|--password-file|--name|--url|--timestamp|\
    --output|--tested-exe)
      [ $# -ge 2 ] && [ -n "$2" ] || fail "$1 wants a value (see --help)" ;;
    *) fail "unknown option $1 (see --help)" ;;
  esac
  case "$1" in
    --firmware) firmware="$2" ;;
    --version) version="$2" ;;
    --date) date="$2" ;;
    --app-id) app_id="$2" ;;
    --certificate) certificate="$2" ;;
    --password-file) password_file="$2" ;;
    --name|--url|--timestamp) sign_args+=("$1" "$2") ;;
    --output) output="$2" ;;
    --tested-exe) tested_exe="$2" ;;
  esac
  shift 2
done
# Paths given are the caller's; the rest runs at the top of the tree.
[ -z "$firmware" ] || [ -e "$firmware" ] || fail "no firmware file or directory $firmware"
for path in firmware certificate password_file tested_exe output; do
  [ -z "${!path}" ] || printf -v "$path" '%s' "$(realpath -m "${!path}")"
done
cd "$root"
default() { sed -n "s/^set($1 \"\\([^\"]*\\)\".*/\\1/p" CMakeLists.txt; }
version="${version:-$(default TARVIK_VERSION)}"
date="${date:-$(default TARVIK_RELEASE_DATE)}"
app_id="${app_id:-$(default TARVIK_APP_ID)}"
firmware="${firmware:-$root/firmware}"
if [ -n "$certificate$password_file" ]; then
  [ -n "$certificate" ] && [ -n "$password_file" ] ||
    fail "--certificate and --password-file go together"
elif [ ${#sign_args[@]} -gt 0 ]; then
  fail "--name, --url and --timestamp are for signing: give --certificate and --password-file"
fi

scripts/install-deps.sh release
git rev-parse --verify -q HEAD >/dev/null 2>&1 ||
  fail "a release is made from a git commit: run this in a clone of the repository"
mkdir -p build
stage="$(mktemp -d "$root/build/release.XXXXXX")"
keep_stage=0
finish() {
  status=$?
  if [ "$status" -ne 0 ]; then
    echo "release.sh: no release was made; nothing was written to ${output#"$root"/}/" >&2
    [ "$keep_stage" -eq 0 ] || echo "release.sh: the builds and their logs are in ${stage#"$root"/}" >&2
  fi
  [ "$status" -ne 0 ] && [ "$keep_stage" -ne 0 ] || rm -rf "$stage"
}
trap finish EXIT

# --- The inputs, checked before anything is built ----------------------------
step "checking the inputs"
# The message of a CMake script that refused its input, without CMake's frame.
cmake_check() {
  local said
  if ! said="$(cmake "$@" 2>&1)"; then
    fail "$(sed -n '/(message):$/,/^$\|^Call Stack/{/(message):$\|^$\|^Call Stack/d;s/^ *//;p}' \
            <<<"$said" | tr '\n' ' ' | sed 's/ *$//')"
  fi
  sed -n 's/^-- //p' <<<"$said"
}
cmake_check -DTARVIK_VERSION="$version" -DTARVIK_RELEASE_DATE="$date" -DTARVIK_APP_ID="$app_id" \
  -P cmake/release_inputs.cmake
cmake_check -DFIRMWARE="$firmware" -DOUTPUT_DIR="$stage/images" -P firmware/import_firmware.cmake
sha256() { sha256sum "$1" | cut -d' ' -f1; }
if [ "$test_build" -eq 0 ]; then
  for image in flash.bin eeprom.bin; do
    [ "$(sha256 "$stage/images/$image")" != "$(sha256 "firmware/$image")" ] ||
      fail "$firmware holds the stand-in $image of firmware/, made for tests and the demo," \
           "not a tracker release: give the tracker's firmware with --firmware" \
           "(--test-firmware makes a test build)"
  done
fi
[ -z "$certificate" ] ||
  scripts/sign-exe.sh --certificate "$certificate" --password-file "$password_file" --check ||
  exit 1
commit="$(git rev-parse HEAD)"
changes=""
if [ -n "$(git status --porcelain)" ]; then
  [ "$test_build" -eq 1 ] ||
    fail "the working tree has changes that are not committed (git status):" \
         "a release is made from a commit"
  changes=" (with changes not committed)"
fi
newest="$(dpkg-parsechangelog -S Version)"
if dpkg --compare-versions "$version" lt "$newest"; then
  fail "version $version is older than $newest, the newest in debian/changelog"
fi
release_dir="$output/$version"
[ ! -e "$release_dir" ] || fail "$release_dir exists already: move it away or give another --output"
[ -z "$tested_exe" ] || [ -f "$tested_exe" ] || fail "no tested exe $tested_exe"
echo "version $version of $date, $app_id, commit $commit$changes"

# --- Two builds ----------------------------------------------------------------
# The commit's time stands for every time stamp: the PE header's (the linker
# reads it when it links), the package's files and its changelog entry.
export SOURCE_DATE_EPOCH
SOURCE_DATE_EPOCH="$(git log -1 --format=%ct)"
keep_stage=1
mark=""
[ "$test_build" -eq 0 ] || mark="-test"
first="$stage/first"
second="$stage/second-build"  # another length: a path that leaks moves every byte after it

# A copy of the tree as git sees it (changes not committed included, for a
# test build), and the package's changelog naming the version.
copy_tree() {
  mkdir -p "$1"
  git ls-files -z --cached --others --exclude-standard |
    xargs -0 sh -c 'for f; do [ ! -e "$f" ] || printf "%s\0" "$f"; done' sh |
    tar --null -T - -cf - | tar -C "$1" -xf -
  if [ "$version" != "$newest" ]; then
    {
      printf 'tarvikupdate (%s) unstable; urgency=medium\n\n  * Release %s of %s.\n\n' \
        "$version" "$version" "$date"
      printf ' -- %s  %s\n\n' "$(sed -n 's/^Maintainer: //p' debian/control)" \
        "$(date -R -d "@$SOURCE_DATE_EPOCH")"
      cat debian/changelog
    } >"$1/debian/changelog"
  fi
}
inputs=(-DTARVIK_FIRMWARE="$firmware" -DTARVIK_VERSION="$version"
        -DTARVIK_RELEASE_DATE="$date" -DTARVIK_APP_ID="$app_id")
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
  (cd "$1" && TARVIK_FIRMWARE="$firmware" TARVIK_VERSION="$version" TARVIK_RELEASE_DATE="$date" \
     TARVIK_APP_ID="$app_id" scripts/build-package.sh 2>"$1/package.log" | tail -n 1) ||
    { tail -n 40 "$1/package.log" >&2; fail "the package did not build in ${1#"$root"/}"; }
}
# The zip holds the exe, the welcome text and the owner's guide, taken from
# the package built in the same tree (one guide for both), with fixed times,
# modes and order.
make_zip() {  # exe, tree, package, zip
  local dir
  dir="$(mktemp -d "$stage/zip.XXXXXX")"
  cp "$1" "$dir/TarvikUpdate.exe"
  cp "$2/docs/text.rtf" "$dir/text.rtf"
  dpkg-deb --fsys-tarfile "$3" | tar -xOf - ./usr/share/doc/tarvikupdate/guide-ru.html \
    >"$dir/guide-ru.html" || fail "$(basename "$3") holds no owner's guide"
  chmod 644 "$dir"/*
  touch -d "@$SOURCE_DATE_EPOCH" "$dir"/*
  (cd "$dir" && zip -X -D -q "$4" TarvikUpdate.exe text.rtf guide-ru.html)
  rm -rf "$dir"
}
same() {  # what, file, file
  cmp -s "$2" "$3" || fail "$1 differs between the two builds: ${2#"$root"/} and ${3#"$root"/}" \
                           "(cmp -l shows where)"
  echo "the same in both builds: $1 ($(stat -c %s "$2") bytes)"
}

step "the first tree (${first#"$root"/}) and the second (${second#"$root"/})"
copy_tree "$first"
copy_tree "$second"
step "TarvikUpdate.exe, built twice"
exe="$(build_exe "$second" OFF)"
windows_tested=0
if [ -n "$tested_exe" ] && cmp -s "$tested_exe" "$exe"; then
  echo "the tested ${tested_exe#"$root"/} is this exe: it stands for the first build"
  same TarvikUpdate.exe "$tested_exe" "$exe"
  windows_tested=1
else
  exe_first="$(build_exe "$first" ON)"
  same TarvikUpdate.exe "$exe_first" "$exe"
fi
step "the package, built twice"
deb="$(build_deb "$first")"
deb_second="$(build_deb "$second")"
same "$(basename "$deb")" "$deb" "$deb_second"
make_zip "$exe" "$first" "$deb" "$stage/first.zip"
make_zip "$exe" "$second" "$deb_second" "$stage/second.zip"
same "the zip" "$stage/first.zip" "$stage/second.zip"

# --- Tests of what is published --------------------------------------------------
if [ "$windows_tested" -eq 0 ]; then
  step "the Windows stage on this exe (log: ${first#"$root"/}/wine-tests.log)"
  (cd "$first" && logged "$first/wine-tests.log" scripts/wine-tests.sh win32)
  grep -E '^== win32|tests passed' "$first/wine-tests.log"
  same "TarvikUpdate.exe, as tested" "$first/build/win32/TarvikUpdate/TarvikUpdate.exe" "$exe"
fi
step "the package stage on this package"
logged "$first/bootsim.log" cmake -S "$first" -B "$first/build/winhost" -G Ninja \
  -DTARVIK_BUILD_GUI=OFF -DTARVIK_BUILD_BENCH=OFF -DTARVIK_BUILD_TESTS=OFF
logged "$first/bootsim-build.log" ninja -C "$first/build/winhost" -j "$jobs" tarvik-bootsim
"$first/scripts/package-tests.sh" --deb "$deb" --images "$stage/images" --version "$version" \
  --app-id "$app_id" "$first/build/winhost" || fail "the package stage failed on $(basename "$deb")"

# --- Signing -------------------------------------------------------------------
signer=""
if [ -n "$certificate" ]; then
  step "signing TarvikUpdate.exe"
  signed="$(scripts/sign-exe.sh --certificate "$certificate" --password-file "$password_file" \
            ${sign_args[@]+"${sign_args[@]}"} "$exe" "$stage/signed.exe")" || exit 1
  echo "$signed"
  signer="${signed#* for }"
  exe="$stage/signed.exe"
  make_zip "$exe" "$first" "$deb" "$stage/first.zip"
fi

# --- The release's files ---------------------------------------------------------
step "the release's files"
out="$stage/out/$version"
mkdir -p "$out"
zip_name="TarvikUpdate-$version$mark-windows.zip"
exe_name="TarvikUpdate$mark.exe"
deb_name="tarvikupdate_$version${mark}_$(dpkg-deb -f "$deb" Architecture).deb"
cp "$stage/first.zip" "$out/$zip_name"
cp "$exe" "$out/$exe_name"
cp "$deb" "$out/$deb_name"
files=("$zip_name" "$exe_name" "$deb_name")

row() { printf '| %s | %s |\n' "$@"; }
package_version() { dpkg-query -W -f='${Version}' "$1" 2>/dev/null || echo "not installed"; }
{
  echo "# TarvikUpdate $version$([ "$test_build" -eq 0 ] || echo " (test build)")"
  echo
  if [ "$test_build" -eq 1 ]; then
    echo "**A test build, not for users:** made with --test-firmware$changes; its firmware"
    echo "may be the stand-in images of the repository's firmware/ directory, which"
    echo "are made for tests and the demo and are no tracker release."
    echo
  fi
  row "" "" && row "---" "---"
  row Version "$version"
  row Date "$date"
  row Commit "$commit$changes"
  row "Commit time (SOURCE_DATE_EPOCH)" "$(date -d "@$SOURCE_DATE_EPOCH" '+%Y-%m-%d %H:%M:%S UTC') ($SOURCE_DATE_EPOCH)"
  row "Application ID" "$app_id"
  row "Signed" "${signer:-no}"
  echo
  echo "## Firmware"
  echo
  if [ -d "$firmware" ]; then
    echo "From the directory of images \`$(basename "$firmware")/\`."
  else
    echo "From \`$(basename "$firmware")\`, SHA-256 \`$(sha256 "$firmware")\`."
  fi
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
  echo "with text.rtf, the welcome text it reads from its own folder, and"
  echo "guide-ru.html, the owner's guide in Russian, which opens in any browser."
  echo "The package is for Debian 12 on $(dpkg-deb -f "$deb" Architecture); it"
  echo "carries the same guide as /usr/share/doc/tarvikupdate/guide-ru.html."
  echo "Each was built twice, in two directories, with the same bytes$([ -z "$signer" ] ||
    echo " (the exe before it was signed)");"
  echo "the Windows tests ran on this exe and the package tests on this package."
  echo
  echo "## Toolchain"
  echo
  row "Package" "Version" && row "---" "---"
  row "Debian" "$(cat /etc/debian_version)"
  for p in g++-mingw-w64-i686-posix binutils-mingw-w64-i686 mingw-w64-i686-dev g++ binutils \
           qt6-base-dev cmake ninja-build srecord pandoc debhelper dpkg-dev zip osslsigncode; do
    [ "$p" != osslsigncode ] || [ -n "$signer" ] || continue
    row "$p" "$(package_version "$p")"
  done
} >"$out/RELEASE.md"
(cd "$out" && sha256sum "${files[@]}" RELEASE.md >SHA256SUMS && sha256sum -c --quiet SHA256SUMS)

# --- Into place --------------------------------------------------------------------
mkdir -p "$output"
mv -T "$stage/out/$version" "$release_dir"
keep_stage=0
step "released in $release_dir/ ($((SECONDS - started)) s)"
(cd "$release_dir" && for f in "${files[@]}" RELEASE.md SHA256SUMS; do
   printf '%10s  %s  %s\n' "$(stat -c %s "$f")" "$(sha256 "$f")" "$f"
 done)
