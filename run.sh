#!/usr/bin/env bash
# Installs what is missing, builds the program and starts the wizard: on the
# real tracker when a CP210x bridge (10c4:ea60) is plugged in (asking first
# when the build carries the stand-in firmware of firmware/), otherwise on
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
. scripts/real-tracker-checks.sh

mode="${1:-}"
if [ -z "$mode" ] && [ -n "${DISPLAY:-}" ] && bridge_present /sys/bus/usb/devices; then
  echo "A CP210x bridge is plugged in: the wizard is for the real tracker."
  if carries_stand_in "$build/firmware" firmware; then
    confirm_stand_in "$([ -t 0 ] && echo yes || echo no)" || exit 1
  fi
  # The program reads its welcome text, text.rtf, from the folder it starts
  # in: started where that file is, as the menu entry starts it.
  cd docs
  exec "../$build/TarvikUpdate/TarvikUpdate"
fi
case "$mode" in
  --headless) exec scripts/demo.sh "$build" --headless --shots "$build/demo-screenshots" ;;
  *) exec scripts/demo.sh "$build" ;;
esac
