#!/usr/bin/env bash
# Start-up cost of the wizard under Xvfb: time from launch until the window
# is mapped and its first frame differs from the empty screen, and the
# process's peak resident memory (/usr/bin/time -v). A benchmark, not a test.
#   bench/startup_bench.sh BUILD_DIR [RUNS]
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
program="$(cd "$1" && pwd)/TarvikUpdate/TarvikUpdate"
runs="${2:-5}"
work="$(mktemp -d /tmp/tarvik-startup.XXXXXX)"
cp "$root/docs/text.rtf" "$work/"
display=:97
Xvfb $display -screen 0 1280x800x24 -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
trap 'kill $xvfb 2>/dev/null; rm -rf "$work"' EXIT
for _ in $(seq 50); do [ -e /tmp/.X11-unix/X97 ] && break; sleep 0.1; done
export DISPLAY=$display

for run in $(seq "$runs"); do
  start=$(date +%s%N)
  (cd "$work" && /usr/bin/time -v -o "$work/time.txt" "$program") &
  app=$!
  # Mapped: xdotool sees it. Painted: a pixel inside the window is no longer
  # the root's black (the window's face colour is drawn).
  # (xdotool's own --sync polls only twice a second: poll here instead.)
  until xdotool search --onlyvisible --name "GPS Tarvik Update" >/dev/null 2>&1; do :; done
  mapped=$(date +%s%N)
  while [ "$(import -window root -crop 1x1+700+300 -depth 8 txt:- | tail -1 | grep -o '#[0-9A-F]*')" = "#000000" ]; do :; done
  painted=$(date +%s%N)
  # Cancel ("Отмена" at 200,360 in the window, which sits at 368,173) ends it.
  xdotool mousemove $((368 + 244)) $((173 + 372)) click 1
  wait $app
  rss=$(grep 'Maximum resident' "$work/time.txt" | awk '{print $NF}')
  printf 'startup run %d: mapped %d ms, painted %d ms, peak RSS %.1f MB\n' "$run" \
    $(( (mapped - start) / 1000000 )) $(( (painted - start) / 1000000 )) "$(echo "$rss / 1024" | bc -l)"
done
