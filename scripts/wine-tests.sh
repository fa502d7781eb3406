#!/usr/bin/env bash
# The Windows stage: cross-builds TarvikUpdate.exe, the core and the tests
# with mingw-w64 for 32-bit Windows (build/win32, the exe users get) and for
# 64-bit Windows (build/win64), and runs each build's tests under Wine,
# headless, in one throw-away Wine prefix that runs both (64-bit with its
# 32-bit side, WOW64). The window tests drive the native window in their own
# process; the tests on COM5 talk to the virtual tracker, a host program
# built in build/winhost. Installs what is missing first.
#   scripts/wine-tests.sh [win32|win64]...   (both when none is named)
# When every test of a build passes, its TarvikUpdate.exe gets a pass record
# beside it, TarvikUpdate.exe.passed: the exe's SHA-256, which
# scripts/release.sh --tested-exe asks for.
# Exit status: non-zero when anything fails to build or any test fails.
set -euo pipefail
cd "$(dirname "$0")/.."
root="$PWD"
jobs="${JOBS:-2}"
presets=("$@")
[ ${#presets[@]} -gt 0 ] || presets=(win32 win64)
for preset in "${presets[@]}"; do
  case "$preset" in
    win32|win64) ;;
    *) echo "usage: $0 [win32|win64]..." >&2; exit 2 ;;
  esac
done

scripts/install-deps.sh wine

# --- The virtual tracker, for the host ---------------------------------------
if [ ! -f build/winhost/build.ninja ]; then
  cmake -S . -B build/winhost -G Ninja -DTARVIK_BUILD_GUI=OFF -DTARVIK_BUILD_BENCH=OFF \
    -DTARVIK_BUILD_TESTS=OFF >/dev/null
fi
ninja -C build/winhost -j "$jobs" tarvik-bootsim >/dev/null
bootsim="$root/build/winhost/tools/bootsim/tarvik-bootsim"

# --- Cross builds ------------------------------------------------------------
# Each preset: the program as it is released, and the tests.
for preset in "${presets[@]}"; do
  cmake --preset "$preset" -DTARVIK_HOST_BOOTSIM="$bootsim" >/dev/null
  ninja -C "build/$preset" -j "$jobs"
done

# --- Wine: a fresh prefix with COM5 mapped onto the tracker's link ------------
. scripts/wine-prefix.sh
make_wine_prefix wine-prefix
if [ ! -d "$WINEPREFIX/drive_c/windows/syswow64" ]; then
  echo "wine-tests.sh: the Wine prefix runs no 32-bit programs (is wine32:i386 installed?)" >&2
  exit 1
fi
# Wine's desktop belongs to an explorer.exe that the first program to make a
# window starts, and that Wine closes a second after the desktop's last user
# has gone. A program that makes its first window while explorer is still
# starting finds no display driver and gets NULL for every window (one test
# did, while another test had just started explorer). Bring the desktop up
# once, before anything else runs, and hold it until the stage ends (the
# wineserver -k on exit ends the holder).
coproc HOLD_DESKTOP {
  exec "$wine_run" "build/${presets[0]}/tests/wine/wine_hold_desktop.exe" \
    2>"$WINEPREFIX/hold-desktop.err"
}
ready=""
read -r ready <&"${HOLD_DESKTOP[0]}" || true
if [ "${ready%$'\r'}" != ready ]; then
  echo "wine-tests.sh: Wine's desktop did not come up:" >&2
  cat "$WINEPREFIX/hold-desktop.err" >&2
  exit 1
fi
"$wine_run" cmd /c exit >/dev/null 2>&1
if [ "$(readlink "$WINEPREFIX/dosdevices/com5")" != "$WINEPREFIX/tarvik-com5" ]; then
  echo "wine-tests.sh: Wine did not map COM5" >&2
  exit 1
fi

# --- Tests -------------------------------------------------------------------
# One build after the other: their tests share COM5 and the prefix's devices.
status=0
for preset in "${presets[@]}"; do
  exe="build/$preset/TarvikUpdate/TarvikUpdate.exe"
  rm -f "$exe.passed"
  echo "== $preset: TarvikUpdate.exe $(stat -c %s "$exe") bytes"
  if ctest --test-dir "build/$preset" -j "$jobs" --timeout 300 --output-on-failure; then
    sha256sum "$exe" | sed 's|  .*|  TarvikUpdate.exe|' >"$exe.passed"
  else
    status=1
  fi
done
exit "$status"
