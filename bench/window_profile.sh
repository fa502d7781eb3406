#!/usr/bin/env bash
# The window's work per block exchange, counted in instructions by callgrind,
# which a busy machine does not disturb as it does wall-clock times: one
# whole update through the Qt window (window_update_bench --no-pace, offscreen)
# under valgrind, the cost of every call the update makes into the window
# (the bars, the message processing after each block and in the waits, the
# indicators), divided by the update's 464 block exchanges. A benchmark, not
# a test.
#   bench/window_profile.sh BUILD_DIR     (needs valgrind)
set -euo pipefail
build="$(cd "$1" && pwd)"
command -v valgrind >/dev/null || { echo "window_profile.sh: install valgrind" >&2; exit 2; }
out="$(mktemp -d "${TMPDIR:-/tmp}/tarvik-profile.XXXXXX")"
trap 'rm -rf "$out"' EXIT

valgrind --tool=callgrind --callgrind-out-file="$out/callgrind.out" \
  --toggle-collect='tarvik::Updater::RunUpdate(tarvik::UpdaterView&)' \
  "$build/bench/window_update_bench" --no-pace >"$out/bench.txt" 2>"$out/valgrind.txt" || {
  cat "$out/valgrind.txt" >&2
  exit 1
}
# The update's callees through the form (TForm1), with their inclusive cost.
callgrind_annotate --tree=calling --inclusive=yes "$out/callgrind.out" 2>/dev/null |
  awk '/\*  .*tarvik::Updater::RunUpdate/ { inside = 1; next }
       inside && !/>   / { inside = 0 }
       inside && /TForm1::/ { gsub(",", "", $1); total += $1 }
       END {
         if (total == 0) { print "window_profile.sh: no calls into the window found" > "/dev/stderr"; exit 1 }
         printf "window per block exchange: %.0f instructions (%.1f million in the update)\n", total / 464, total / 1e6
       }'
