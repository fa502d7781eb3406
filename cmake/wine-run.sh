#!/bin/sh
# Runs a Windows program under Wine for CTest and scripts/wine-tests.sh:
# quiet, headless, with the program's own exit status. WINEPREFIX comes from
# the caller (scripts/wine-tests.sh prepares one).
WINEDEBUG="${WINEDEBUG:--all}"
WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-mscoree,mshtml=}"
export WINEDEBUG WINEDLLOVERRIDES
unset DISPLAY WAYLAND_DISPLAY
# Without address randomisation. Debian's Wine has no preloader, which would
# reserve the addresses Wine needs before anything else is mapped, and the
# kernel puts the loader's heap anywhere up to 1 GiB above the loader (at
# 0x7d000000). About one start in two thousand that heap lies on the page
# Wine maps its shared user data to, 0x7ffe0000, and the program dies before
# it runs ("failed to map the shared user data: c0000018"). Unrandomised, the
# heap starts right after the loader, 48 MiB below that page.
exec setarch -R wine "$@"
