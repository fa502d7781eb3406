#!/usr/bin/env bash
# Builds the Debian package of the program into build/package/:
#   scripts/build-package.sh     ->  build/package/tarvikupdate_VERSION_ARCH.deb
# dpkg-buildpackage writes its results beside the tree it builds and leaves
# its build files inside it, so it builds a copy of the source tree in
# build/package/src: the checkout stays as it was. The last line printed is
# the path of the .deb. A release's inputs reach the package's build through
# variables TARVIK_FIRMWARE, TARVIK_VERSION, TARVIK_RELEASE_DATE, TARVIK_APP_ID
# and TARVIK_SUPPORT_URL (debian/rules), which scripts/release.sh sets, as it
# sets JOBS, the build's jobs (2 by default). Needs the packages named in
# debian/control's Build-Depends (`sudo apt-get build-dep ./` from the
# repository installs them).
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
out="$root/build/package"

if ! (cd "$root" && dpkg-checkbuilddeps); then
  echo "Install them with: sudo apt-get build-dep ./" >&2
  exit 1
fi
rm -rf "$out"
mkdir -p "$out/src"
tar -C "$root" --exclude=./build --exclude=./dist --exclude=./.git -cf - . | tar -C "$out/src" -xf -
echo "Building the package in ${out#"$root"/} (log: ${out#"$root"/}/build.log)" >&2
if ! (cd "$out/src" && dpkg-buildpackage -b -us -uc -j"${JOBS:-2}") >"$out/build.log" 2>&1; then
  tail -n 40 "$out/build.log" >&2
  echo "dpkg-buildpackage failed; the whole log is $out/build.log" >&2
  exit 1
fi
version="$(dpkg-parsechangelog -l "$root/debian/changelog" -S Version)"
deb="$out/tarvikupdate_${version}_$(dpkg-architecture -q DEB_HOST_ARCH).deb"
[ -f "$deb" ] || { echo "dpkg-buildpackage made no $deb" >&2; exit 1; }
echo "$deb"
