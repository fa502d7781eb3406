#!/usr/bin/env bash
# The native Windows window's share of a block exchange: win32_window_update_bench
# under Wine with its null display driver, against the virtual tracker on
# COM5 answering without pacing (Wine does not pace a port either). Cross-builds
# what it needs (build/win64-bench, and the host's tracker in build/winhost)
# and runs in a throw-away Wine prefix. A benchmark, not a test.
#   bench/wine_window_bench.sh        (mingw-w64 and Wine: scripts/wine-tests.sh installs them)
set -euo pipefail
cd "$(dirname "$0")/.."
root="$PWD"
jobs="${JOBS:-2}"

if [ ! -f build/winhost/build.ninja ]; then
  cmake -S . -B build/winhost -G Ninja -DTARVIK_BUILD_GUI=OFF -DTARVIK_BUILD_BENCH=OFF \
    -DTARVIK_BUILD_TESTS=OFF >/dev/null
fi
ninja -C build/winhost -j "$jobs" tarvik-bootsim >/dev/null
if [ ! -f build/win64-bench/build.ninja ]; then
  cmake -S . -B build/win64-bench -G Ninja --toolchain cmake/mingw-w64.cmake \
    -DCMAKE_BUILD_TYPE=Release -DTARVIK_BUILD_TESTS=ON -DTARVIK_BUILD_BENCH=ON >/dev/null
fi
ninja -C build/win64-bench -j "$jobs" win32_window_update_bench >/dev/null

. scripts/wine-prefix.sh
make_wine_prefix wine-bench-prefix
"$wine_run" cmd /c exit >/dev/null 2>&1

tests/wine/with_tracker.sh --bootsim build/winhost/tools/bootsim/tarvik-bootsim \
  -- "$wine_run" build/win64-bench/bench/win32_window_update_bench.exe
