#!/usr/bin/env bash
# Installs the Debian 12 packages that a stage of work needs, and only those
# that are missing. One argument per stage; several stages may be named.
#   scripts/install-deps.sh [STAGE]...   (test when none is named)
#   scripts/install-deps.sh --list STAGE...   the stages' packages, one a line
#   scripts/install-deps.sh --help       the stages, one line each
set -euo pipefail

# Each stage: a line of help, the stages it builds on, its own packages.
stages=(build demo suite wine package release bench docs test)
declare -A help uses own
help[build]="the Linux program: cmake --preset release"
uses[build]=""
# srecord reads firmware given as Intel HEX or S-records.
own[build]="cmake ninja-build g++ pkg-config qt6-base-dev libgl-dev libudev-dev srecord
            fonts-liberation2 fonts-dejavu-core python3"

help[demo]="the program on the virtual tracker: ./run.sh, scripts/demo.sh"
uses[demo]="build"
own[demo]="umockdev gir1.2-umockdev-1.0 python3-gi xvfb xauth xdotool imagemagick"

help[wine]="the Windows programs, tested and photographed under Wine: presets win32 and win64,
            scripts/wine-tests.sh, scripts/windows-screenshots.sh"
uses[wine]=""
# Both cross compilers, GoogleTest's sources for them, and a Wine that runs
# 32- and 64-bit programs in one prefix (wine32 is i386's). DejaVu Sans: Wine
# has no Wingdings and takes the check mark and the cross from the host's
# fonts. The host side builds the virtual tracker (srecord reads firmware
# given as HEX or S-records); the window tests and screenshots run on a
# virtual display. The program file check reads each exe's manifest
# (wrestool) and checks its XML (xmllint).
own[wine]="wine wine64 wine32:i386 g++-mingw-w64-x86-64-posix g++-mingw-w64-i686-posix
           googletest fonts-dejavu-core cmake ninja-build g++ pkg-config libudev-dev srecord
           python3 xvfb xauth xdotool imagemagick icoutils libxml2-utils"

# What the Linux tests build against, which the package's and the
# benchmarks' builds configure as well.
help[suite]="the Linux tests: presets dev and asan, ctest"
uses[suite]="demo"
# locales-all: the docs' checksum command is run on a system in Russian.
# The screen-reader test runs the program under Orca, which speaks into
# speech-dispatcher's dummy output, with a window manager, a session bus and
# AT-SPI's bus and Python bindings of its own.
own[suite]="libgtest-dev libgmock-dev libumockdev-dev locales-all
            orca speech-dispatcher openbox dbus-daemon at-spi2-core gir1.2-atspi-2.0"

help[package]="the Debian package: scripts/build-package.sh, scripts/package-tests.sh"
uses[package]="suite docs"
# Building it (debian/control's Build-Depends), linting it, its icon's bitmaps.
own[package]="build-essential debhelper dpkg-dev lintian desktop-file-utils appstream
              librsvg2-bin"

help[release]="a release of both programs: scripts/release.sh"
uses[release]="package wine"
# Its zip; signing and checking the signature, with a key in a file or on a
# token (PKCS#11: OpenSSL's engine, and SoftHSM2 as the tests' token);
# signing and checking SHA256SUMS; the second build's Russian locale.
own[release]="zip unzip osslsigncode openssl ca-certificates libengine-pkcs11-openssl softhsm2
              gnupg gpgv locales-all"

help[bench]="the benchmarks: bench/*.sh and the programs in bench/"
uses[bench]="suite wine"
# /usr/bin/time for the peak memory; valgrind's callgrind counts instructions;
# a D-Bus session, the accessibility bus and its Python client for the
# accessibility round trip.
own[bench]="time valgrind dbus-daemon at-spi2-core python3-pyatspi"

help[docs]="the owner's guide as HTML (target owner_guide) and docs/screenshots.sh"
uses[docs]="build"
own[docs]="pandoc xvfb xauth xdotool imagemagick"

help[test]="everything ./test.sh needs, and CI (the default)"
uses[test]="suite package release"
# The fuzzers (fuzz/run_fuzzers.sh) are built with clang's libFuzzer.
own[test]="clang libclang-rt-14-dev"

usage() {
  echo "usage: scripts/install-deps.sh [STAGE]...   (test when none is named)"
  echo "Installs the Debian packages that are missing for each stage named:"
  local s text
  for s in "${stages[@]}"; do
    text="$(tr -s ' \n' ' ' <<<"${help[$s]}")"
    printf '  %-8s %s\n' "$s" "${text% }"
  done
}

# A stage's packages: its own and those of the stages it builds on.
packages_of() {
  local s
  for s in ${uses[$1]}; do packages_of "$s"; done
  printf '%s\n' ${own[$1]}
}

list_only=0
[ "${1:-}" != --list ] || { list_only=1; shift; }
[ $# -gt 0 ] || set -- test
wanted=()
for stage in "$@"; do
  case "$stage" in
    -h|--help) usage; exit 0 ;;
  esac
  if ! printf '%s\n' "${stages[@]}" | grep -qxF -- "$stage"; then
    echo "install-deps.sh: unknown stage '$stage'" >&2
    usage >&2
    exit 2
  fi
  mapfile -t -O "${#wanted[@]}" wanted < <(packages_of "$stage")
done
mapfile -t wanted < <(printf '%s\n' "${wanted[@]}" | sort -u)
[ "$list_only" -eq 0 ] || { printf '%s\n' "${wanted[@]}"; exit 0; }

missing=()
for p in "${wanted[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing: ${missing[*]}"
sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
# Packages of another architecture need it known to dpkg before apt's lists
# are read.
if printf '%s\n' "${missing[@]}" | grep -q ':i386$' &&
   ! dpkg --print-foreign-architectures | grep -qx i386; then
  $sudo dpkg --add-architecture i386
fi
# Another apt or dpkg (unattended upgrades, a second build) may hold the
# lock: wait for it rather than fail.
apt=($sudo apt-get -o DPkg::Lock::Timeout=600)
"${apt[@]}" update -qq
DEBIAN_FRONTEND=noninteractive "${apt[@]}" install -y -qq --no-install-recommends "${missing[@]}"
