#!/usr/bin/env bash
# Runs scripts/check-docs.sh on copies of the tree, each with one thing the
# documents name renamed or removed, and expects it to fail naming that thing;
# the untouched copy must pass.
#   check_docs_test.sh SOURCE_DIR
set -euo pipefail
src=$1
work=$(mktemp -d "${TMPDIR:-/tmp}/check-docs.XXXXXX")
trap 'rm -rf "$work"' EXIT

# The tree as git sees it, without builds (or as it lies, outside a clone).
copy_tree() {  # destination
  mkdir -p "$1"
  if git -C "$src" rev-parse --is-inside-work-tree >/dev/null 2>&1; then
    (cd "$src" && git ls-files -co --exclude-standard -z | xargs -0 cp --parents -t "$1")
  else
    (cd "$src" && tar --exclude=./build --exclude=./dist -cf - .) | tar -xf - -C "$1"
  fi
}

# what is changed (a shell command run in the copy) | what the check must name
cases=(
  "mv scripts/wine-tests.sh scripts/wine_tests.sh           |scripts/wine-tests.sh"
  "mv docs/screenshots/page3-connected.png docs/shot.png    |page3-connected.png"
  "mv docs/guide-ru.md docs/guide.md                        |guide-ru.md"
  "mv run.sh start.sh                                       |./run.sh"
  "sed -i 's/\"name\": \"win32\"/\"name\": \"w32\"/' CMakePresets.json|win32"
  "sed -i 's/^## Tests\$/## Testing/; s/^### Tests\$/### Testing/' README.md|#tests"
  "chmod -x scripts/release.sh                              |scripts/release.sh"
)

copy_tree "$work/clean"
"$src/scripts/check-docs.sh" "$work/clean" >/dev/null || { echo "the untouched tree fails"; exit 1; }

failed=0
for row in "${cases[@]}"; do
  change=$(sed 's/[[:space:]]*|[^|]*$//' <<<"$row")
  expect=${row##*|}
  copy="$work/case"
  rm -rf "$copy"; cp -a "$work/clean" "$copy"
  (cd "$copy" && eval "$change")
  if out=$("$src/scripts/check-docs.sh" "$copy" 2>&1); then
    echo "not caught: $change"; failed=1
  elif ! grep -qF -- "$expect" <<<"$out"; then
    echo "caught without naming $expect: $change"; echo "$out"; failed=1
  fi
done
[ "$failed" -eq 0 ] && echo "every change caught (${#cases[@]})"
exit "$failed"
