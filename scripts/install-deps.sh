#!/usr/bin/env bash
# Installs the Debian 12 packages that building and testing need, and only
# those that are missing. Usage: scripts/install-deps.sh [build|test]
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

case "${1:-test}" in
  build) wanted=("${build_packages[@]}") ;;
  demo) wanted=("${build_packages[@]}" "${demo_packages[@]}") ;;
  *) wanted=("${build_packages[@]}" "${test_packages[@]}") ;;
esac

missing=()
for p in "${wanted[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing: ${missing[*]}"
sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
$sudo apt-get update -qq
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
