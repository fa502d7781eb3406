#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test: the fuzzers for a
# bounded time, the release build, the suite under AddressSanitizer/UBSan,
# then the suite.
set -euo pipefail
cd "$(dirname "$0")"
scripts/install-deps.sh test

jobs=$(nproc)
if [ -x fuzz/run_fuzzers.sh ]; then
  FUZZ_SECONDS="${FUZZ_SECONDS:-20}" fuzz/run_fuzzers.sh
fi

# The release build compiles at -O3, where GCC warns about other things.
cmake --preset release >/dev/null
cmake --build --preset release -j "$jobs"

cmake --preset asan >/dev/null
cmake --build --preset asan -j "$jobs"
ctest --preset asan -j "$jobs" --timeout 300

# The Win32 backends, cross-built with mingw-w64 and tested under Wine.
scripts/wine-tests.sh

cmake --preset dev >/dev/null
cmake --build --preset dev -j "$jobs"
ctest --preset dev -j "$jobs" --timeout 300
scripts/package-tests.sh build/dev
