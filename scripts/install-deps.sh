#!/usr/bin/env bash
# Installs the Debian 12 packages that building and testing need, and only
# those that are missing. Usage: scripts/install-deps.sh [build|demo|wine|test]
#   build  the Linux program        demo  the program on the virtual tracker
#   wine   the Windows stage         test  everything ./test.sh runs (the default)
set -euo pipefail

# srecord reads firmware given as Intel HEX or S-records.
build_packages=(cmake ninja-build g++ pkg-config qt6-base-dev libgl-dev libudev-dev srecord
                fonts-liberation2 fonts-dejavu-core python3)
test_packages=(libgtest-dev libgmock-dev umockdev libumockdev-dev gir1.2-umockdev-1.0
               python3-gi xvfb xauth xdotool imagemagick clang libclang-rt-14-dev
               # the Debian package: building, linting and installing it, the icon's bitmaps
               build-essential debhelper dpkg-dev lintian desktop-file-utils appstream
               librsvg2-bin fonts-liberation2)
demo_packages=(umockdev gir1.2-umockdev-1.0 python3-gi xvfb xauth xdotool imagemagick)
# The Windows stage: both cross compilers, GoogleTest's sources for them, and
# a Wine that runs 32- and 64-bit programs in one prefix (wine32 is i386's).
# DejaVu Sans: Wine has no Wingdings and takes the check mark and the cross
# from the host's fonts. The host side builds the virtual tracker.
wine_packages=(wine wine64 wine32:i386 g++-mingw-w64-x86-64-posix g++-mingw-w64-i686-posix
               googletest fonts-dejavu-core cmake ninja-build g++ pkg-config libudev-dev srecord)

case "${1:-test}" in
  build) wanted=("${build_packages[@]}") ;;
  demo) wanted=("${build_packages[@]}" "${demo_packages[@]}") ;;
  wine) wanted=("${wine_packages[@]}") ;;
  *) wanted=("${build_packages[@]}" "${test_packages[@]}" "${wine_packages[@]}") ;;
esac

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
