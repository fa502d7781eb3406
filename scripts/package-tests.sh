#!/usr/bin/env bash
# The Debian package, built, checked, installed, run and removed again:
#   1. builds it in build/package/ (scripts/build-package.sh);
#   2. checks that its version is the program's, that the icon's bitmaps are
#      rendered from the current artwork, and lints it: lintian (errors and
#      warnings fail; debian/tarvikupdate.lintian-overrides says why each
#      override is there), desktop-file-validate, appstreamcli;
#   3. installs it with apt and checks every file of it is in place;
#   4. starts the installed program the way its menu entry does (in the
#      entry's Path= directory, its Exec= program) on a virtual display, with
#      the virtual tracker plugged in through the umockdev testbed: page 1
#      must show the packaged welcome text and no error box, the update must
#      end with "OK", and the tracker's memory must hold the new firmware;
#   5. purges it and checks that nothing of it is left.
# It installs and removes the package "tarvikupdate" on this machine, as root
# or through sudo; a copy already installed is purged first.
#   scripts/package-tests.sh [--deb FILE --images DIR --version V --app-id ID] [BUILD_DIR]
# BUILD_DIR holds the virtual tracker (default build/dev, where it is built
# if it is missing). --deb tests a package built before (the release's,
# scripts/release.sh) instead of building one: --images names the directory
# of the two firmware images it carries, --version and --app-id the
# release's inputs (the defaults of the top CMakeLists.txt and firmware/ when
# not given).
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
out="$root/build/package"
package=tarvikupdate
deb="" images="$root/firmware"
# The package is built with the default inputs of the top CMakeLists.txt.
program_version="$(sed -n 's/^set(TARVIK_VERSION "\([0-9.]*\)".*/\1/p' "$root/CMakeLists.txt")"
app_id="$(sed -n 's/^set(TARVIK_APP_ID "\([^"]*\)".*/\1/p' "$root/CMakeLists.txt")"
usage() { echo "usage: $0 [--deb FILE --images DIR --version V --app-id ID] [BUILD_DIR]" >&2; exit 2; }
while [ $# -gt 0 ] && [ "${1#--}" != "$1" ]; do
  [ $# -ge 2 ] || usage
  case "$1" in
    --deb) deb="$(realpath "$2")" ;;
    --images) images="$(realpath "$2")" ;;
    --version) program_version="$2" ;;
    --app-id) app_id="$2" ;;
    *) usage ;;
  esac
  shift 2
done
build="${1:-$root/build/dev}"

as_root=()
[ "$(id -u)" -eq 0 ] || as_root=(sudo)
export DEBIAN_FRONTEND=noninteractive

passed=0
step() { printf '\n== %s\n' "$*"; }
ok() { echo "ok   $*"; passed=$((passed + 1)); }
fail() { echo "FAIL: $*" >&2; exit 1; }
installed() { dpkg-query -W -f='${db:Status-Status}' "$package" 2>/dev/null | grep -qv '^not-installed$'; }

case "$build" in /*) ;; *) build="$PWD/$build" ;; esac
bootsim="$build/tools/bootsim/tarvik-bootsim"
if [ "$build" = "$root/build/dev" ]; then
  step "the virtual tracker, in build/dev"
  [ -f "$build/build.ninja" ] || (cd "$root" && cmake --preset dev >/dev/null)
  cmake --build "$build" --target tarvik-bootsim -j 2
fi
[ -x "$bootsim" ] || fail "no virtual tracker at $bootsim"

# -- 1. build ---------------------------------------------------------------
if [ -z "$deb" ]; then
  step "building the package"
  deb="$("$root/scripts/build-package.sh")"
fi
version="$(dpkg-deb -f "$deb" Version)"
# lintian reads the .changes beside the package when there is one: it
# checks the build's record (.buildinfo) as well.
changes="${deb%.deb}.changes"
[ -f "$changes" ] || changes="$deb"
echo "built ${deb#"$root"/}"

# -- 2. checks and lint -----------------------------------------------------
step "checking the package"
tree="$out/contents"
rm -rf "$tree"
mkdir -p "$out"
dpkg-deb -x "$deb" "$tree"
# The package's paths, one a line: its files, and its directories apart.
dpkg-deb --fsys-tarfile "$deb" | tar -t | sed 's|^\./|/|' >"$out/contents.list"
grep -v '/$' "$out/contents.list" >"$out/files"
grep '/$' "$out/contents.list" | sed 's|/$||' | grep -v '^$' >"$out/dirs"
desktop="/usr/share/applications/$app_id.desktop"
metainfo="/usr/share/metainfo/$app_id.metainfo.xml"
for f in /usr/bin/TarvikUpdate "$desktop" "$metainfo" /usr/share/tarvikupdate/text.rtf \
         /usr/share/icons/hicolor/scalable/apps/$app_id.svg \
         /usr/share/icons/hicolor/48x48/apps/$app_id.png \
         /usr/share/man/man1/TarvikUpdate.1.gz /usr/share/doc/$package/copyright \
         /usr/share/doc/$package/guide-ru.html /lib/udev/rules.d/60-tarvik-cp210x.rules; do
  grep -qx "$f" "$out/files" || fail "the package lacks $f"
done
if grep -i -e bootsim -e '/include/' -e '\.a$' "$out/files"; then
  fail "the package holds files that are no part of the program (above)"
fi
ok "it holds the program, its menu entry, icon, metainfo, manual page, welcome text, guide and udev rule"

upstream="${version%%-*}"
[ "${upstream%~test}" = "$program_version" ] ||
  fail "debian/changelog says $version, the program is $program_version"
release="$(python3 "$root/scripts/package_entry.py" release "$tree$metainfo")"
[ "$release" = "$program_version" ] ||
  fail "the metainfo's newest release is $release, the program's version $program_version"
ok "the package, its metainfo and the program are all version $program_version"

mkdir -p "$out/icons"
"$root/packaging/linux/icons/render.sh" "$out/icons"
for png in "$root"/packaging/linux/icons/*.png; do
  cmp -s "$png" "$out/icons/$(basename "$png")" ||
    fail "${png#"$root"/} is not rendered from the current icon: run packaging/linux/icons/render.sh"
done
ok "the icon's bitmaps are rendered from the current artwork"
cmp -s "$tree/lib/udev/rules.d/60-tarvik-cp210x.rules" "$root/packaging/linux/60-tarvik-cp210x.rules" ||
  fail "the packaged udev rule is not packaging/linux/60-tarvik-cp210x.rules"
ok "the udev rule is packaging/linux/60-tarvik-cp210x.rules"

step "lint"
desktop-file-validate "$tree$desktop"
ok "desktop-file-validate"
# --no-net: the screenshot's and the home page's addresses are not fetched.
appstreamcli validate --no-net --explain "$tree$metainfo"
appstreamcli validate-tree --no-net "$tree"
ok "appstreamcli: the metainfo, with the menu entry and icon it names"
lintian --fail-on error,warning --display-info --show-overrides "$changes" 2>&1 |
  sed "/^running with root privileges/d"
ok "lintian: no errors, no warnings"

# -- 3. install -------------------------------------------------------------
if installed; then
  step "purging the $package already installed"
  "${as_root[@]}" apt-get purge -y -q "$package" >/dev/null
fi
work="$(mktemp -d /tmp/tarvik-package.XXXXXX)"
cleanup() {
  rm -rf "$work"
  if installed; then
    "${as_root[@]}" apt-get purge -y -q "$package" >/dev/null || true
  fi
}
trap cleanup EXIT

step "installing ${deb#"$root"/}"
"${as_root[@]}" apt-get install -y -q --no-install-recommends "$deb" >"$out/install.log" 2>&1 ||
  { cat "$out/install.log"; fail "apt-get install"; }
missing=0
while read -r f; do
  [ -e "$f" ] || { echo "missing after install: $f"; missing=1; }
done < <(cat "$out/files" "$out/dirs")
[ "$missing" = 0 ] || fail "paths of the package are missing"
dpkg --verify "$package" || fail "installed files differ from the package's"
ok "all $(wc -l <"$out/files") files of the package are in place, as packaged"

# -- 4. run it as the menu entry does ---------------------------------------
step "starting the installed program as its menu entry does"
entry="$(python3 "$root/scripts/package_entry.py" start "$desktop")" || fail "the menu entry $desktop"
workdir="$(sed -n 1p <<<"$entry")"
program="$(sed -n 2p <<<"$entry")"
echo "cd $workdir && $program"
cmp -s "$workdir/text.rtf" "$root/docs/text.rtf" || fail "$workdir/text.rtf is not docs/text.rtf"

"$bootsim" --dump-initial "$work/initial.bin"
umockdev-wrapper /usr/bin/python3 "$root/tests/umockdev/run_in_testbed.py" --scenario hotplug \
  --bootsim "$bootsim" --bootsim-arg=--baud --bootsim-arg=0 \
  --bootsim-arg=--log --bootsim-arg="$work/frames.log" \
  --bootsim-arg=--memory-out --bootsim-arg="$work/after.bin" \
  -- /usr/bin/python3 "$root/scripts/demo.py" --headless --check-welcome \
     --program "$program" --workdir "$workdir" --shots "$out/screenshots" \
     --log "$work/frames.log" --memory-out "$work/after.bin" --initial "$work/initial.bin" \
     --firmware "$images" ||
  fail "the installed program did not update the virtual tracker (screenshots in $out/screenshots)"
ok "started as the menu entry does: the welcome text, the whole update, \"OK\", the tracker's memory"

# -- 5. remove --------------------------------------------------------------
step "purging $package"
"${as_root[@]}" apt-get purge -y -q "$package" >"$out/purge.log" 2>&1 ||
  { cat "$out/purge.log"; fail "apt-get purge"; }
installed && fail "$package is still known to dpkg after the purge"
left=()
while read -r f; do
  if [ -e "$f" ] || [ -L "$f" ]; then left+=("$f"); fi
done <"$out/files"
while read -r d; do
  # A directory may stay when it is a symlink (/lib on a merged /usr), holds
  # something else, or belongs to another package as well.
  if [ -d "$d" ] && [ ! -L "$d" ] && [ -z "$(ls -A "$d")" ] && ! dpkg-query -S "$d" >/dev/null 2>&1; then
    left+=("$d/")
  fi
done <"$out/dirs"
if [ ${#left[@]} -gt 0 ]; then
  printf 'left behind: %s\n' "${left[@]}"
  fail "the purge left files of the package behind"
fi
ok "nothing of the package is left: no program, udev rule, menu entry, icon, metainfo or data directory"
echo
echo "package: $passed passed, 0 failed"
