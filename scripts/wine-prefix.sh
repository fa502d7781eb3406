# A throw-away Wine prefix whose COM5 is the virtual tracker's link, for the
# Windows stage and the Windows benchmark. Sourced; needs $root (the
# repository) and leaves $WINEPREFIX and $wine_run set, and an EXIT trap that
# ends Wine and removes the prefix.
make_wine_prefix() {  # NAME (the prefix is build/NAME.XXXXXX)
  # In the build tree, out of reach of anything that tidies /tmp meanwhile.
  export WINEPREFIX
  WINEPREFIX="$(mktemp -d "$root/build/$1.XXXXXX")"
  # A 64-bit prefix, which with wine32 installed runs 32-bit programs as well.
  export WINEARCH=win64 WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
  unset DISPLAY WAYLAND_DISPLAY
  trap remove_wine_prefix EXIT

  # Every Windows program runs through wine-run.sh, as the tests do.
  wine_run="$root/cmake/wine-run.sh"
  "$wine_run" cmd /c exit >/dev/null 2>&1
  # Windows without a display: Wine's null display driver. Without it every
  # top-level window (the window tests', a message box) comes back NULL.
  "$wine_run" reg add 'HKCU\Software\Wine\Drivers' /v Graphics /t REG_SZ /d null /f >/dev/null 2>&1
  # with_tracker.sh starts each tracker with its link at this path.
  "$wine_run" reg add 'HKLM\Software\Wine\Ports' /v COM5 /t REG_SZ /d "$WINEPREFIX/tarvik-com5" /f \
    >/dev/null 2>&1
  # The port mapping is read when Wine starts: restart it, now for the whole
  # run, so that no wineserver is started inside a build step or a test (one
  # would hold that step's output pipe open).
  # Its output goes nowhere: Wine opens COM5's pseudo-terminal in the server,
  # which makes the terminal's hang-up at the end of each tracker a SIGHUP that
  # Debian's wineserver answers with a dump of all its objects.
  wineserver -k
  wineserver -w
  wineserver -p >/dev/null 2>&1
}

remove_wine_prefix() {
  wineserver -k 2>/dev/null || true
  # The server saves the registry as it ends: wait, or it writes the prefix anew.
  wineserver -w 2>/dev/null || true
  rm -rf "$WINEPREFIX"
}
