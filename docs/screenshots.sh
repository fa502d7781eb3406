#!/bin/sh
# Screenshots of the wizard's pages, taken under a virtual X server.
#
#   docs/screenshots.sh <path to the built TarvikUpdate> [welcome text.rtf]
#
# Builds nothing. Runs the program under Xvfb (no window manager, so the
# window sits undecorated exactly at 368,173), clicks through it with
# xdotool at the buttons' places and saves one PNG per page into
# docs/screenshots/. Without a welcome file the program starts in an empty
# /home/user, as an owner's home folder (a tmpfs over /home that only the
# program sees, in a mount namespace of its own: unshare), and its error box
# is captured first. Needs xvfb, xdotool and imagemagick.
set -eu

program=${1:?usage: $0 <TarvikUpdate> [text.rtf]}
welcome=${2:-}
case $program in /*) ;; *) program=$(pwd)/$program ;; esac
[ -x "$program" ] || { echo "not an executable: $program" >&2; exit 1; }

here=$(cd "$(dirname "$0")" && pwd)
out=$here/screenshots
mkdir -p "$out"

# The window's place and the controls' centres, in the form's pixels.
win_x=368
win_y=173
win_w=622
win_h=409
tab_row=25   # height of the page container's covered tab row (Fusion style)
next_x=$((win_x + 488 + 44)); next_y=$((win_y + 359 + 12))
back_x=$((win_x + 344 + 44)); back_y=$((win_y + 360 + 12))
connect_x=$((win_x + 192 + 8 + 44)); connect_y=$((win_y + tab_row + 80 + 12))

display=
for n in 91 92 93 94 95 96 97 98 99; do
  if [ ! -e /tmp/.X$n-lock ] && [ ! -e /tmp/.X11-unix/X$n ]; then display=:$n; break; fi
done
[ -n "$display" ] || { echo "no free X display" >&2; exit 1; }

workdir=$(mktemp -d)
xvfb_pid=
app_pid=
cleanup() {
  [ -n "$app_pid" ] && kill "$app_pid" 2>/dev/null || true
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null || true
  rm -rf "$workdir"
}
trap cleanup EXIT INT TERM

Xvfb "$display" -screen 0 1280x800x24 -nolisten tcp >/dev/null 2>&1 &
xvfb_pid=$!
export DISPLAY=$display
for _ in $(seq 50); do xdpyinfo >/dev/null 2>&1 && break; sleep 0.1; done 2>/dev/null || sleep 1

[ -n "$welcome" ] && cp "$welcome" "$workdir/text.rtf"

shot() {  # name: the window's client area
  sleep 0.5
  import -window root -crop "${win_w}x${win_h}+${win_x}+${win_y}" +repage "$out/$1.png"
  echo "saved $out/$1.png"
}
click() {
  xdotool mousemove "$1" "$2" click 1
  sleep 0.3
}

export QT_QPA_PLATFORM=xcb QT_SCALE_FACTOR=1
if [ -n "$welcome" ]; then
  (cd "$workdir" && exec "$program") &
else
  unshare --mount --map-root-user sh -c \
    'mount -t tmpfs tmpfs /home && mkdir /home/user && cd /home/user && exec "$1"' sh "$program" &
fi
app_pid=$!

if [ -z "$welcome" ]; then
  # "text.rtf" is missing: the error box shows before the window.
  box=$(xdotool search --sync --onlyvisible --name "^Tarvikupdate$" | head -n 1)
  sleep 0.5
  import -window "$box" "$out/error-box.png"
  echo "saved $out/error-box.png"
  # The box closes on the key press; the release then finds no window,
  # which xdotool reports as an error.
  xdotool key --window "$box" Return 2>/dev/null || true
fi

xdotool search --sync --onlyvisible --name "GPS Tarvik Update" >/dev/null
if [ -n "$welcome" ]; then shot page1-welcome; else shot page1-built-in-text; fi
click "$next_x" "$next_y"
shot page2-preparation
click "$next_x" "$next_y"
shot page3-connection
click "$connect_x" "$connect_y"   # no tracker attached: the failure shows
sleep 1
shot page3-not-connected
# Pages 4 and 5 need a connected tracker (the virtual tracker's run adds them).
click "$back_x" "$back_y"
shot page2-after-back
