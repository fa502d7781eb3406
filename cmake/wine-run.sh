#!/bin/sh
# Runs a Windows program under Wine for CTest: quiet, headless, with the
# program's own exit status. WINEPREFIX comes from the caller
# (scripts/wine-tests.sh prepares one).
WINEDEBUG="${WINEDEBUG:--all}"
WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-mscoree,mshtml=}"
export WINEDEBUG WINEDLLOVERRIDES
unset DISPLAY WAYLAND_DISPLAY
exec wine "$@"
