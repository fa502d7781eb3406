#!/usr/bin/env bash
# The Windows stage: cross-builds TarvikUpdate.exe, the core and the tests
# for 64-bit Windows with mingw-w64 (build/win64) and runs the tests under
# Wine, headless, in a throw-away Wine prefix. The window tests drive the
# native window in their own process; the tests on COM5 talk to the virtual
# tracker, a host program built in build/winhost. Installs what is missing
# first.
# Exit status: non-zero when anything fails to build or any test fails.
set -euo pipefail
cd "$(dirname "$0")/.."
root="$PWD"
jobs="${JOBS:-2}"

# --- Packages ---------------------------------------------------------------
# DejaVu Sans: Wine has no Wingdings and takes the check mark and the cross
# from the host's fonts.
packages=(wine wine64 g++-mingw-w64-x86-64-posix googletest fonts-dejavu-core
          cmake ninja-build g++ pkg-config libudev-dev srecord)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "Installing: ${missing[*]}"
  sudo=""
  [ "$(id -u)" -eq 0 ] || sudo="sudo"
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

# --- The virtual tracker, for the host ---------------------------------------
if [ ! -f build/winhost/build.ninja ]; then
  cmake -S . -B build/winhost -G Ninja -DTARVIK_BUILD_GUI=OFF -DTARVIK_BUILD_BENCH=OFF \
    -DTARVIK_BUILD_TESTS=OFF >/dev/null
fi
ninja -C build/winhost -j "$jobs" tarvik-bootsim >/dev/null
bootsim="$root/build/winhost/tools/bootsim/tarvik-bootsim"

# --- Cross build -------------------------------------------------------------
extra=()
# GoogleTest comes from Debian's sources; tests/CMakeLists.txt includes
# cmake/gtest_for_windows.cmake in cross builds. Until it does, have CMake
# include it right after the top-level project().
if ! grep -q gtest_for_windows tests/CMakeLists.txt; then
  extra+=("-DCMAKE_PROJECT_TarvikUpdate_INCLUDE=$root/cmake/gtest_for_windows.cmake")
fi
# The win64 preset: the program as it is released, and the tests.
cmake --preset win64 -DTARVIK_HOST_BOOTSIM="$bootsim" ${extra[@]+"${extra[@]}"} >/dev/null
ninja -C build/win64 -j "$jobs"

# --- Wine: a fresh prefix with COM5 mapped onto the tracker's link ------------
# The prefix lives in the build tree, out of reach of anything that tidies
# /tmp while the stage runs.
export WINEPREFIX
WINEPREFIX="$(mktemp -d "$root/build/wine-prefix.XXXXXX")"
export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
unset DISPLAY WAYLAND_DISPLAY
cleanup() {
  wineserver -k 2>/dev/null || true
  # The server saves the registry as it ends: wait, or it writes the prefix anew.
  wineserver -w 2>/dev/null || true
  rm -rf "$WINEPREFIX"
}
trap cleanup EXIT

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
# stage, so that no wineserver is started inside a build step or a test (one
# would hold that step's output pipe open).
# Its output goes nowhere: Wine opens COM5's pseudo-terminal in the server,
# which makes the terminal's hang-up at the end of each tracker a SIGHUP that
# Debian's wineserver answers with a dump of all its objects.
wineserver -k
wineserver -w
wineserver -p >/dev/null 2>&1
# Wine's desktop belongs to an explorer.exe that the first program to make a
# window starts, and that Wine closes a second after the desktop's last user
# has gone. A program that makes its first window while explorer is still
# starting finds no display driver and gets NULL for every window (one test
# did, while another test had just started explorer). Bring the desktop up
# once, before anything else runs, and hold it until the stage ends (the
# wineserver -k on exit ends the holder).
coproc HOLD_DESKTOP {
  exec "$wine_run" build/win64/tests/wine/wine_hold_desktop.exe \
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

echo "TarvikUpdate.exe: $(stat -c %s build/win64/TarvikUpdate/TarvikUpdate.exe) bytes"

# --- Tests -------------------------------------------------------------------
status=0
ctest --test-dir build/win64 -j "$jobs" --timeout 300 --output-on-failure || status=$?
exit "$status"
