#!/usr/bin/env bash
# Installs what is missing, builds the program and starts the wizard: on the
# real tracker when a CP210x bridge (10c4:ea60) is plugged in, otherwise on
# the virtual tracker, which is plugged in a few seconds after start.
#   ./run.sh             real tracker if present, else the virtual one
#   ./run.sh --virtual   always the virtual tracker
#   ./run.sh --headless  the virtual tracker on a virtual display, clicked
#                        through by the script itself (also used without $DISPLAY)
set -euo pipefail
cd "$(dirname "$0")"
scripts/install-deps.sh demo
cmake --preset release >/dev/null
cmake --build --preset release -j "$(nproc)"
build=build/release

bridge_present() {
  for d in /sys/bus/usb/devices/*; do
    [ -f "$d/idVendor" ] || continue
    [ "$(cat "$d/idVendor")" = 10c4 ] && [ "$(cat "$d/idProduct")" = ea60 ] && return 0
  done
  return 1
}

mode="${1:-}"
if [ -z "$mode" ] && [ -n "${DISPLAY:-}" ] && bridge_present; then
  echo "A CP210x bridge is plugged in: starting the wizard on the real tracker."
  exec "$build/TarvikUpdate/TarvikUpdate"
fi
case "$mode" in
  --headless) exec scripts/demo.sh "$build" --headless --shots "$build/demo-screenshots" ;;
  *) exec scripts/demo.sh "$build" ;;
esac
