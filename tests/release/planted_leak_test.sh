#!/usr/bin/env bash
# The release's double build catches what leaks from the machine into what it
# builds. In a copy of the tree, a leak is planted: the package installs a
# file holding the time of a source file, which the second build's tree has
# dated years back (and shows in another time zone). scripts/release.sh must
# stop when it compares the two packages, name that file, and publish nothing.
#   planted_leak_test.sh SOURCE_DIR
set -euo pipefail
source_dir="$(realpath "$1")"
work="$(mktemp -d /tmp/tarvik-leak.XXXXXX)"
trap 'rm -rf "$work"' EXIT

# The tree as git sees it, committed in a repository of its own.
mkdir "$work/src"
(cd "$source_dir" && git ls-files -z --cached --others --exclude-standard |
   xargs -0 sh -c 'for f; do [ ! -e "$f" ] || printf "%s\0" "$f"; done' sh |
   tar --null -T - -cf -) | tar -C "$work/src" -xf -
cd "$work/src"
git init -q
git add -A
git -c user.name=test -c user.email=test@tarvik.invalid commit -q -m "the tree under test"

cat >>packaging/CMakeLists.txt <<'EOF'
file(TIMESTAMP "${PROJECT_SOURCE_DIR}/docs/text.rtf" _planted "%Y-%m-%d %H:%M")
file(WRITE "${CMAKE_CURRENT_BINARY_DIR}/planted" "${_planted}\n")
install(FILES "${CMAKE_CURRENT_BINARY_DIR}/planted" DESTINATION ${TARVIK_DATA_DIR})
EOF
status=0
scripts/release.sh --test-firmware --output "$work/dist" >"$work/out.log" 2>"$work/err.log" || status=$?
cat "$work/err.log"
fail() { echo "FAIL $*"; exit 1; }
[ "$status" -ne 0 ] || fail "the release went through with the leak"
grep -q 'tarvikupdate_.*\.deb differs between the two builds (usr/share/tarvikupdate/planted: its content)' \
  "$work/err.log" || fail "the release did not name the planted file"
[ ! -e "$work/dist" ] || fail "the release wrote into its output directory"
echo "ok   the planted leak stops the release, which names usr/share/tarvikupdate/planted"
