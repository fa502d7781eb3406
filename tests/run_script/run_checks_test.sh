#!/usr/bin/env bash
# ./run.sh's checks before it starts the wizard on a real tracker, each row
# of the table a made-up device directory, build or answer, and whether the
# check must say yes.
#   run_checks_test.sh SOURCE_DIR
set -euo pipefail
. "$1/scripts/real-tracker-checks.sh"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT

device() {  # directory vendor product
  mkdir -p "$1"
  echo "$2" >"$1/idVendor"
  echo "$3" >"$1/idProduct"
}
device "$work/hub/usb1" 1d6b 0002
mkdir -p "$work/hub/1-0:1.0"                # an interface: no IDs
cp -r "$work/hub" "$work/bridge"
device "$work/bridge/1-2" 10c4 ea60
cp -r "$work/hub" "$work/other-silabs"
device "$work/other-silabs/1-2" 10c4 ea70
mkdir -p "$work/none"

stand_in="$1/firmware"
mkdir -p "$work/same" "$work/release" "$work/half" "$work/missing"
for image in flash.bin eeprom.bin; do
  cp "$stand_in/$image" "$work/same/"
  { cat "$stand_in/$image"; echo x; } >"$work/release/$image"
done
cp "$work/release/flash.bin" "$work/half/"
cp "$stand_in/eeprom.bin" "$work/half/"
cp "$work/release/flash.bin" "$work/missing/"

answer() { local text="$1"; shift; "$@" <<<"$text"; }
failed=0
row() {  # yes|no, then the check and its arguments
  local want="$1" got=yes; shift
  "$@" >/dev/null 2>&1 || got=no
  if [ "$got" = "$want" ]; then echo "ok   $*: $got"; else echo "FAIL $*: $got, not $want"; failed=1; fi
}
row no  bridge_present "$work/none"
row no  bridge_present "$work/hub"
row yes bridge_present "$work/bridge"
row no  bridge_present "$work/other-silabs"
row yes carries_stand_in "$work/same" "$stand_in"
row no  carries_stand_in "$work/release" "$stand_in"
row yes carries_stand_in "$work/half" "$stand_in"
row yes carries_stand_in "$work/missing" "$stand_in"
row yes answer y confirm_stand_in yes
row yes answer YES confirm_stand_in yes
row no  answer "" confirm_stand_in yes
row no  answer n confirm_stand_in yes
row no  answer "yes please" confirm_stand_in yes
row no  confirm_stand_in yes </dev/null
row no  answer y confirm_stand_in no
exit "$failed"
