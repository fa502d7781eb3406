#!/usr/bin/env bash
# Keeps the documents true to the tree: every repository path, script, CMake
# preset and CMake target that they name exists, every picture they show and
# every relative link resolves, and every link to a heading finds it.
#   scripts/check-docs.sh [ROOT]      (ROOT: the repository, default this one)
# Exit status: 0 when every reference holds, 1 otherwise (each is printed).
set -euo pipefail
cd "${1:-$(dirname "$0")/..}"
export LC_ALL=C.UTF-8

docs=(README.md CHANGELOG.md docs/guide-ru.md tools/bootsim/README.md)

# What is looked for in a document, and how each find is checked.
#   kind     | Perl pattern (the match is the reference)                      | check
checks=(
  "link     |\]\(\K[^)\s]+                                                    |link"
  "path     |(?<![\w/.-])(?:\./)?(?:TOPS)/(?:[\w./\@-]*\w/?)?                   |path"
  "root file|(?<![\w/.-])\./[\w.-]+\.sh\b                                     |path"
  "preset   |--preset[ =]\K[\w-]+|\`\K[\w-]+(?=\` preset)                     |preset"
  "target   |--target \K[\w-]+|^\s*(?:ninja|cmake --build) .*?build/\S+ \K\w[\w -]*$|target"
)

# Top-level directories that the repository holds (build outputs are not).
if git rev-parse --is-inside-work-tree >/dev/null 2>&1; then
  tops=$(git ls-files | sed -n 's|/.*||p' | sort -u | grep -vx 'build\|dist' | paste -sd'|')
else
  tops=$(find . -mindepth 1 -maxdepth 1 -type d ! -name build ! -name dist -printf '%f\n' |
         sort | paste -sd'|')
fi
tops=${tops//./\\.}
presets=$(perl -ne 'print "$1\n" if /"name":\s*"([^"]+)"/' CMakePresets.json | sort -u)
targets=$(find . -name CMakeLists.txt -not -path './build/*' -exec \
            perl -ne 'print "$1\n" if /^\s*add_(?:executable|library|custom_target)\(\s*([\w.-]+)/' {} + |
          sort -u)

# The anchors a document's headings get: lower case, punctuation dropped,
# blanks as hyphens (as GitHub and pandoc make them). Fenced code is skipped.
anchors() {
  perl -CSD -ne 'if (/^```/) { $f = !$f; next } next if $f;
    if (/^#{1,6}\s+(.*?)\s*$/) { $_ = lc $1; s/[^\p{L}\p{N} _-]//g; s/ /-/g; print "$_\n" }' "$1"
}

broken=0
fail() { echo "check-docs: $1: $2" >&2; broken=$((broken + 1)); }

check_link() {  # doc ref
  local doc=$1 ref=$2 file anchor
  case "$ref" in http://*|https://*|mailto:*) return ;; esac
  file=${ref%%#*}
  anchor=""; [[ $ref == *#* ]] && anchor=${ref#*#}
  if [ -n "$file" ]; then
    [ -e "$(dirname "$doc")/$file" ] || { fail "$doc" "link to a missing file: $ref"; return; }
  fi
  if [ -n "$anchor" ]; then
    local target=$doc; [ -n "$file" ] && target="$(dirname "$doc")/$file"
    anchors "$target" | grep -qxF -- "$anchor" || fail "$doc" "link to a missing heading: $ref"
  fi
}

check_path() {  # doc ref
  local path=${2#./}
  path=${path%.}
  [ -e "$path" ] || { fail "$1" "names a path the repository does not hold: $2"; return; }
  case "$path" in *.sh) [ -x "$path" ] || fail "$1" "names a script that is not executable: $2" ;; esac
}

for doc in "${docs[@]}"; do
  [ -f "$doc" ] || { fail "$doc" "missing"; continue; }
  for row in "${checks[@]}"; do
    IFS='|' read -r kind rest <<<"$row"
    check=${rest##*|}
    pattern=$(echo "${rest%|*}" | sed 's/[[:space:]]*$//')
    pattern=${pattern//TOPS/$tops}
    while IFS= read -r ref; do
      [ -n "$ref" ] || continue
      case "$check" in
        link) check_link "$doc" "$ref" ;;
        path) check_path "$doc" "$ref" ;;
        preset) grep -qxF -- "$ref" <<<"$presets" || fail "$doc" "names a preset CMakePresets.json lacks: $ref" ;;
        target) for t in $ref; do
                  grep -qxF -- "$t" <<<"$targets" || fail "$doc" "names a CMake target no CMakeLists.txt defines: $t"
                done ;;
      esac
    done < <(P=$pattern perl -CSD -nle 'print for /$ENV{P}/g' "$doc" | sort -u)
  done
done

if [ "$broken" -eq 0 ]; then
  echo "check-docs: ${#docs[@]} documents, every reference holds"
fi
[ "$broken" -eq 0 ]
