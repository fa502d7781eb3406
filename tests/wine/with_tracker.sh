#!/usr/bin/env bash
# Runs a command (a test program under Wine) with the virtual tracker on COM5:
# starts tarvik-bootsim on a pseudo-terminal whose link is the path the Wine
# prefix maps COM5 onto, runs the command, stops the tracker and, when asked,
# compares the memory it wrote out with the firmware the update should have
# left in it, or checks which command the tracker received last.
#
#   with_tracker.sh --bootsim PATH [--fault FAULT]... [--flip ADDR]...
#                   [--expect-update-keeping-settings FIRMWARE_DIR |
#                    --expect-update-overwriting-settings FIRMWARE_DIR]
#                   [--expect-last-command read@ADDR|write@ADDR] -- COMMAND...
#
# --fault and --flip go to the tracker (tarvik-bootsim --help). After a
# failure the program must send nothing more: --expect-last-command names the
# command (and its address, hexadecimal) that must be the last one received.
#
# The prefix ($WINEPREFIX, else ~/.wine) must map COM5 onto $WINEPREFIX/tarvik-com5
# (scripts/wine-tests.sh does that when it makes the prefix). Exit status: the
# command's, or 1 when the tracker or the memory check failed.
set -uo pipefail

bootsim=""
firmware=""
keep_settings=1
last_command=""
tracker_args=()
while [ $# -gt 0 ]; do
  case "$1" in
    --bootsim) bootsim="$2"; shift 2 ;;
    --expect-update-keeping-settings) firmware="$2"; shift 2 ;;
    --expect-update-overwriting-settings) firmware="$2"; keep_settings=0; shift 2 ;;
    --expect-last-command) last_command="$2"; shift 2 ;;
    --fault|--flip) tracker_args+=("$1" "$2"); shift 2 ;;
    --) shift; break ;;
    *) echo "with_tracker.sh: unknown option $1" >&2; exit 2 ;;
  esac
done
[ $# -gt 0 ] || { echo "with_tracker.sh: no command given" >&2; exit 2; }
if [ ! -x "$bootsim" ]; then
  echo "with_tracker.sh: tarvik-bootsim not found at '$bootsim' (build it on the host)" >&2
  exit 1
fi

prefix="${WINEPREFIX:-$HOME/.wine}"
link="$prefix/tarvik-com5"
if [ "$(readlink "$prefix/dosdevices/com5" 2>/dev/null)" != "$link" ]; then
  echo "with_tracker.sh: COM5 of the Wine prefix '$prefix' is not mapped onto $link;" \
       "scripts/wine-tests.sh prepares such a prefix" >&2
  exit 1
fi

# The tracker stands in for a microcontroller that answers within
# microseconds, and the program waits 100 ms for some of its answers. On a
# busy machine nothing may hold the tracker up longer: its log goes to
# memory (/dev/shm), where a write never waits for the disk as one to /tmp
# can while other programs fill the page cache, and it runs in a session of
# its own, which the scheduler weighs apart from the tests and builds of
# this one.
scratch="${TMPDIR:-/tmp}"
[ -d /dev/shm ] && [ -w /dev/shm ] && scratch=/dev/shm
work="$(mktemp -d "$scratch/tarvik-tracker.XXXXXX")"
sim_pid=""
cleanup() {
  if [ -n "$sim_pid" ]; then
    kill -TERM "$sim_pid" 2>/dev/null
    wait "$sim_pid" 2>/dev/null
  fi
  rm -rf "$work"
}
trap cleanup EXIT

# The tracker reads its stdin from a pipe this script holds: should the script
# die, the pipe closes and the tracker ends with it (--exit-with-stdin).
mkfifo "$work/stdin"
setsid "$bootsim" --link "$link" --baud 0 --memory-out "$work/memory.bin" --log "$work/frames.log" \
  --exit-with-stdin ${tracker_args[@]+"${tracker_args[@]}"} <"$work/stdin" >"$work/out" 2>"$work/err" &
sim_pid=$!
exec 3>"$work/stdin"
for _ in $(seq 100); do
  grep -q '^PTY ' "$work/out" 2>/dev/null && break
  kill -0 "$sim_pid" 2>/dev/null || break
  sleep 0.05
done
if ! grep -q '^PTY ' "$work/out" 2>/dev/null; then
  echo "with_tracker.sh: the tracker did not come up:" >&2
  cat "$work/err" >&2
  exit 1
fi

"$@"
status=$?
if [ "$status" -ne 0 ]; then
  echo "with_tracker.sh: the last frames the tracker logged (seconds, < received, > sent):" >&2
  tail -n 12 "$work/frames.log" >&2
fi

kill -TERM "$sim_pid"
wait "$sim_pid"
sim_status=$?
sim_pid=""
exec 3>&-
if [ "$sim_status" -ne 0 ]; then
  echo "with_tracker.sh: the tracker ended with status $sim_status:" >&2
  cat "$work/err" >&2
  status=1
fi

# cmp -i SKIP1:SKIP2 -n COUNT: bytes of the firmware file against the memory.
same() {  # what, file, file offset, memory address, count
  if ! cmp -s -i "$3:$4" -n "$5" "$2" "$work/memory.bin"; then
    echo "with_tracker.sh: $1 differs in the tracker's memory" >&2
    status=1
  fi
}
if [ -n "$firmware" ] && [ "$status" -eq 0 ]; then
  "$bootsim" --dump-initial "$work/initial.bin" || status=1
  same "program memory 0x8C00-0xFE23" "$firmware/flash.bin" 0 $((0x8C00)) 29220
  same "data memory 0x1100-0x13FF" "$firmware/eeprom.bin" 256 $((0x1100)) 768
  if [ "$keep_settings" -eq 1 ]; then
    same "the user settings 0x1000-0x10FF" "$work/initial.bin" $((0x1000)) $((0x1000)) 256
  else
    same "the user settings 0x1000-0x10FF" "$firmware/eeprom.bin" 0 $((0x1000)) 256
  fi
  same "memory below 0x1000" "$work/initial.bin" 0 0 $((0x1000))
  if cmp -s -i 0:$((0x1000)) -n 256 "$firmware/eeprom.bin" "$work/initial.bin"; then
    echo "with_tracker.sh: the user settings of the initial memory equal the firmware's;" \
         "keeping them cannot be told from overwriting them" >&2
    status=1
  fi
fi

# The last command frame the tracker received (a code and its complement;
# the length frame 7F 80 of a read is none) and the address frame after it.
if [ -n "$last_command" ] && [ "$status" -eq 0 ]; then
  got=$(awk '$2 != "<" { next }
             {  # the bytes of the frame: the hexadecimal pairs up to any remark
               n = 0
               for (i = 3; i <= NF && $i ~ /^[0-9A-F][0-9A-F]$/; ++i) byte[++n] = $i
             }
             n == 2 && $3 != "7F" { code = $3; address = ""; next }
             n == 5 && code != "" && address == "" { address = $3 $4 $5 $6 }
             END {
               name = code == "31" ? "write" : code == "11" ? "read" : code == "00" ? "get" : code
               sub(/^0+/, "", address)
               print name "@" address
             }' "$work/frames.log")
  want="$(echo "${last_command%@*}" | tr 'A-Z' 'a-z')@$(echo "${last_command#*@}" | tr 'a-z' 'A-Z' | sed 's/^0X//; s/^0*//')"
  if [ "$got" != "$want" ]; then
    echo "with_tracker.sh: the last command the tracker received was $got, not $want" >&2
    tail -n 8 "$work/frames.log" >&2
    status=1
  fi
fi
exit "$status"
