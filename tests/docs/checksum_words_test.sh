#!/usr/bin/env bash
# The owner checks a download with the command the guide and the README give,
# and reads the outcome in the words they quote. Runs that command, as the
# documents write it, on a system in Russian (ru_RU.UTF-8) and in English (C)
# against a good, a damaged and a renamed file, and expects each outcome's
# status and words, and each of those words quoted in the guide and the README.
#   checksum_words_test.sh SOURCE_DIR
set -euo pipefail
export LC_ALL=C.UTF-8  # for grep -w: Cyrillic letters are letters
src=$1
guide="$src/docs/guide-ru.md"
readme="$src/README.md"
work=$(mktemp -d "${TMPDIR:-/tmp}/checksum-words.XXXXXX")
trap 'rm -rf "$work"' EXIT
failed=0
fail() { echo "$1"; failed=1; }

locales=$(locale -a 2>/dev/null)
grep -qix 'ru_RU.utf8' <<<"$locales" ||
  { echo "the ru_RU.UTF-8 locale is missing (scripts/install-deps.sh suite)"; exit 1; }

# The command, the only line of a shell block that starts with sha256sum.
command_in() {  # document
  perl -ne 'if (/^\s*```/) { $in = !$in; next } print if $in && s/^\s*(sha256sum .*?)\s*$/$1\n/' "$1" |
    sort -u
}
commands=$( (command_in "$guide"; command_in "$readme") | sort -u)
[ "$(wc -l <<<"$commands")" -eq 1 ] && [ -n "$commands" ] ||
  { echo "the guide and the README must give one sha256sum command, not:"; echo "$commands"; exit 1; }
echo "command: $commands"

# A release folder as the owner has it after downloading the package: the
# other files of SHA256SUMS are not there.
deb=tarvikupdate_1.3.1_amd64.deb
release="$work/release"
mkdir "$release"
printf 'package\n' >"$release/$deb"
printf 'zip\n' >"$release/TarvikUpdate-1.3.1-windows.zip"
(cd "$release" && sha256sum "$deb" TarvikUpdate-1.3.1-windows.zip >SHA256SUMS)
rm "$release/TarvikUpdate-1.3.1-windows.zip"

# case | how the downloaded file is changed | exit status | words in Russian | words in English
cases=(
  "good    |:                                  |0|: ЦЕЛ               |: OK"
  "damaged |printf x >>$deb                    |1|: ПОВРЕЖДЁН         |: FAILED"
  "renamed |mv $deb 'tarvikupdate_1.3.1_amd64(1).deb'|1|файла не проверен|no file was verified"
)
for row in "${cases[@]}"; do
  IFS='|' read -r name change status ru en <<<"$row"
  name=${name%% *}; ru=$(sed 's/ *$//' <<<"$ru"); en=$(sed 's/ *$//' <<<"$en")
  rm -rf "$work/case"; cp -a "$release" "$work/case"
  (cd "$work/case" && eval "$change")
  for loc in ru_RU.UTF-8 C; do
    words=$en; [ "$loc" = C ] || words=$ru
    got=0
    out=$(cd "$work/case" && LANG=$loc LC_ALL=$loc LANGUAGE= bash -c "$commands" 2>&1) || got=$?
    if { [ "$status" -eq 0 ] && [ "$got" -ne 0 ]; } || { [ "$status" -ne 0 ] && [ "$got" -eq 0 ]; }; then
      fail "$name, $loc: exit status $got"
    fi
    grep -qF -- "$words" <<<"$out" || fail "$name, $loc: \"$words\" is not in what it printed: $out"
    for doc in "$guide" "$readme"; do
      grep -qwF -- "${words#: }" "$doc" || fail "$name, $loc: $(basename "$doc") does not quote \"${words#: }\""
    done
  done
done
[ "$failed" -eq 0 ] && echo "every outcome reads as the documents say (${#cases[@]} cases, 2 languages)"
exit "$failed"
