#!/usr/bin/env bash
# Screenshots of the native Windows program, TarvikUpdate.exe, under Wine on
# a virtual X server: the error box and every page, at 100 % and, with
# --scale 150 or 200, at that setting of the screen (Wine's LogPixels).
# Run by hand; CI does not.
#
#   scripts/windows-screenshots.sh [--scale 100|150|200]
#
# Builds what is missing (the win32 preset, whose exe users get, and the
# host's tarvik-bootsim), starts Xvfb and a throw-away Wine prefix with COM5
# mapped onto the virtual tracker, drives the program with
# tools/windows_driver (the buttons by name, as a user presses them) and
# saves docs/screenshots/windows/<scale>/*.png, each cropped to the window.
# Needs wine with wine32, xvfb and imagemagick.
set -euo pipefail
cd "$(dirname "$0")/.."
root="$PWD"
scale=100
while [ $# -gt 0 ]; do
  case "$1" in
    --scale) scale="$2"; shift 2 ;;
    *) echo "usage: $0 [--scale 100|150|200]" >&2; exit 2 ;;
  esac
done
case "$scale" in 100|150|200) ;; *) echo "scale: 100, 150 or 200" >&2; exit 2 ;; esac
dpi=$((96 * scale / 100))
out="$root/docs/screenshots/windows/$scale"
mkdir -p "$out"

# --- Builds ------------------------------------------------------------------
if [ ! -f build/winhost/build.ninja ]; then
  cmake -S . -B build/winhost -G Ninja -DTARVIK_BUILD_GUI=OFF -DTARVIK_BUILD_BENCH=OFF \
    -DTARVIK_BUILD_TESTS=OFF >/dev/null
fi
ninja -C build/winhost -j 2 tarvik-bootsim >/dev/null
bootsim="$root/build/winhost/tools/bootsim/tarvik-bootsim"
[ -f build/win32/build.ninja ] || cmake --preset win32 -DTARVIK_HOST_BOOTSIM="$bootsim" >/dev/null
ninja -C build/win32 -j 2 TarvikUpdate window_driver >/dev/null
exe="$root/build/win32/TarvikUpdate/TarvikUpdate.exe"
driver="$root/build/win32/tools/windows_driver/window_driver.exe"

# --- X server, Wine prefix, tracker ------------------------------------------
display=""
for n in $(seq 70 99); do
  if [ ! -e "/tmp/.X$n-lock" ] && [ ! -e "/tmp/.X11-unix/X$n" ]; then display=":$n"; break; fi
done
[ -n "$display" ] || { echo "no free X display" >&2; exit 1; }
work="$(mktemp -d "${TMPDIR:-/tmp}/tarvik-shots.XXXXXX")"
export WINEPREFIX="$work/prefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
export DISPLAY="$display"
xvfb_pid="" app_pid="" sim_pid=""
cleanup() {
  [ -n "$app_pid" ] && kill "$app_pid" 2>/dev/null
  [ -n "$sim_pid" ] && kill "$sim_pid" 2>/dev/null
  wineserver -k 2>/dev/null || true
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null
  wait 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

Xvfb "$display" -screen 0 1920x1200x24 -nolisten tcp >/dev/null 2>&1 &
xvfb_pid=$!
for _ in $(seq 50); do [ -e "/tmp/.X11-unix/X${display#:}" ] && break; sleep 0.1; done

wine cmd /c exit >/dev/null 2>&1
wine reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d "$dpi" /f >/dev/null 2>&1
wine reg add 'HKLM\Software\Wine\Ports' /v COM5 /t REG_SZ /d "$work/com5" /f >/dev/null 2>&1
# Wine maps COM1 to COM4 onto the host's serial ports, which the probe of a
# failed connection would then write to: map them to nothing.
for n in 1 2 3 4; do
  wine reg add 'HKLM\Software\Wine\Ports' /v "COM$n" /t REG_SZ /d "$work/no-port" /f >/dev/null 2>&1
done
wineserver -k; wineserver -w
wine cmd /c exit >/dev/null 2>&1

start_tracker() {  # extra tarvik-bootsim options
  [ -n "$sim_pid" ] && { kill "$sim_pid"; wait "$sim_pid" 2>/dev/null || true; }
  "$bootsim" --link "$work/com5" --baud 0 "$@" >"$work/sim.out" 2>&1 &
  sim_pid=$!
  for _ in $(seq 100); do grep -q '^PTY ' "$work/sim.out" 2>/dev/null && break; sleep 0.05; done
}

start_program() {  # directory to start in
  (cd "$1" && exec wine "$exe") >/dev/null 2>&1 &
  app_pid=$!
}

stop_program() {
  wine "$driver" close >/dev/null 2>&1 || true
  wait "$app_pid" 2>/dev/null || true
  app_pid=""
}

rect=""
shot() {  # name: the window (or box) at the last rect
  sleep 1  # let it paint
  read -r _ x y w h <<<"$rect"
  import -window root -crop "${w}x${h}+${x}+${y}" +repage "$out/$1.png"
  echo "saved $out/$1.png"
}
drive() { wine "$driver" "$@" 2>/dev/null | tr -d '\r'; }

# 1. No text.rtf: the error box first, then the built-in welcome text. The
#    program starts in C:\TarvikUpdate, a folder as an owner would have it,
#    so that the box names a path such as theirs.
folder="$WINEPREFIX/drive_c/TarvikUpdate"
mkdir -p "$folder"
start_tracker
start_program "$folder"
rect="$(drive box)"
shot error-box
drive box-ok
rect="$(drive wait)"
echo "window at $rect, $(drive dpi) dpi"
shot page1-built-in-text
drive click btnNEXT
shot page2-preparation
drive click btnNEXT
shot page3-connection
drive click btnConnect
sleep 2
shot page3-connected
drive click btnNEXT
echo "update: $(drive wait-update)"
shot page4-success
drive click btnNEXT
shot page5-finish
stop_program

# 2. The welcome text the zip ships (text.rtf); a failed connection; a
#    failed update (the tracker refuses a block); back to the connection
#    page, connected again, and the module pulled out.
cp docs/text.rtf "$folder/text.rtf"
start_tracker --fault nack:write@9000
start_program "$folder"
rect="$(drive wait)"
shot page1-welcome
drive click btnNEXT
drive click btnNEXT
kill "$sim_pid"; wait "$sim_pid" 2>/dev/null || true; sim_pid=""
drive click btnConnect
sleep 3
shot page3-not-connected
start_tracker --fault nack:write@9000
drive click btnConnect
sleep 2
drive click btnNEXT
echo "update: $(drive wait-update)"
shot page4-failed
drive click btnBACK
start_tracker  # a fresh line: Wine sets up a reopened pseudo-terminal wrongly
drive click btnConnect
sleep 2
drive unplug
sleep 1
shot page3-pulled-out
stop_program
