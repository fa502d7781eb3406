# What ./run.sh checks before it starts the wizard on a real tracker. Sourced
# by run.sh, and by tests/run_script/, which hands the functions a made-up
# device directory, made-up images and answers.

# Whether a CP210x bridge (10c4:ea60) is among the USB devices in DIR
# (/sys/bus/usb/devices).
bridge_present() {  # DIR
  local d
  for d in "$1"/*; do
    [ -f "$d/idVendor" ] && [ -f "$d/idProduct" ] || continue
    [ "$(cat "$d/idVendor")" = 10c4 ] && [ "$(cat "$d/idProduct")" = ea60 ] && return 0
  done
  return 1
}

# Whether the images a build embeds (its firmware/ build directory) are the
# stand-in ones of the source tree's firmware/: either image the same, as
# the release refuses it, or an image missing, which cannot be told apart.
carries_stand_in() {  # BUILD_IMAGES STAND_IN
  local image
  for image in flash.bin eeprom.bin; do
    [ -f "$1/$image" ] || return 0
    ! cmp -s "$1/$image" "$2/$image" || return 0
  done
  return 1
}

# Says what the stand-in is and asks; true only on "y" or "yes" typed at a
# terminal. Without one (TERMINAL not "yes": run.sh passes whether its
# standard input is one) nobody can answer, and the answer is no.
confirm_stand_in() {  # TERMINAL
  cat >&2 <<'TEXT'
The firmware in this build is the stand-in of firmware/: made-up bytes for
the tests and the demo, not a release of the tracker's firmware. Writing it
leaves the tracker without working firmware until a maker's release is
written to it. Build with -DTARVIK_FIRMWARE=<the maker's release> to carry
that instead.
TEXT
  if [ "$1" != yes ]; then
    echo "No terminal to answer on: the wizard is not started." >&2
    return 1
  fi
  local answer=""
  printf 'Start anyway? [y/N] ' >&2
  read -r answer || true
  case "${answer,,}" in
    y|yes) return 0 ;;
    *) return 1 ;;
  esac
}
