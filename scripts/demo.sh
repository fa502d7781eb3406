#!/usr/bin/env bash
# The wizard on the virtual tracker, under a umockdev testbed: a virtual
# CP210x bridge appears a few seconds after start, served by tarvik-bootsim.
#   scripts/demo.sh BUILD_DIR [--headless] [--shots DIR] [--fault FAULT]
# --fault passes a fault to the virtual tracker (see tarvik-bootsim --help);
# the headless run then expects the update to fail and leaves with Cancel.
# With a display the line is paced at 9600 baud, as on a real tracker.
# Without one the script drives the wizard itself on a virtual display, with
# the pacing off so that it finishes in seconds.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="$(cd "$1" && pwd)"; shift
headless=0
shots=""
faults=()
while [ $# -gt 0 ]; do
  case "$1" in
    --headless) headless=1 ;;
    --shots) shots="$2"; shift ;;
    --fault) faults+=(--bootsim-arg=--fault "--bootsim-arg=$2"); shift ;;
    *) echo "unknown option $1" >&2; exit 2 ;;
  esac
  shift
done
[ -n "${DISPLAY:-}" ] || headless=1

work="$(mktemp -d /tmp/tarvik-demo.XXXXXX)"
trap 'rm -rf "$work"' EXIT
bootsim="$build/tools/bootsim/tarvik-bootsim"
"$bootsim" --dump-initial "$work/initial.bin"
cp "$root/docs/text.rtf" "$work/text.rtf"

baud=9600
if [ "$headless" = 1 ]; then
  baud=0
  echo "Headless demo on a virtual display; line pacing off so that it finishes quickly."
else
  echo "Demo: the virtual tracker is plugged in 3 seconds after the wizard starts (9600 baud)."
fi
args=(--program "$build/TarvikUpdate/TarvikUpdate" --workdir "$work" --log "$work/frames.log"
      --memory-out "$work/after.bin" --initial "$work/initial.bin" --firmware "$root/firmware")
[ "$headless" = 1 ] && args+=(--headless)
[ -n "$shots" ] && args+=(--shots "$shots")
[ ${#faults[@]} -gt 0 ] && args+=(--expect-failure)

exec 3>&1
status=0
umockdev-wrapper /usr/bin/python3 "$root/tests/umockdev/run_in_testbed.py" --scenario hotplug \
  --bootsim "$bootsim" --bootsim-arg=--baud --bootsim-arg=$baud \
  --bootsim-arg=--log --bootsim-arg="$work/frames.log" \
  --bootsim-arg=--memory-out --bootsim-arg="$work/after.bin" "${faults[@]}" \
  -- /usr/bin/python3 "$root/scripts/demo.py" "${args[@]}" || status=$?
exit $status
