#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test, in these stages:
#   1. installs      scripts/install-deps.sh test
#   2. fuzzers       each fuzz target for a bounded time
#   3. release build the program at -O3, where GCC warns about other things
#   4. sanitizers    the whole suite under AddressSanitizer and UBSan
#   5. Windows       both exes and their suites under Wine (scripts/wine-tests.sh)
#   6. suite         the whole suite in the debug build
#   7. docs          what README.md, CHANGELOG.md and the guide name exists
#   8. test release  scripts/release.sh on the stand-in firmware: the exe and
#                    the package built twice and compared, the package stage,
#                    the release's files checked
set -euo pipefail
cd "$(dirname "$0")"

# Each stage is timed; the times are printed at the end.
timings=()
stage() {  # name command...
  local name=$1 start=$SECONDS
  shift
  echo "=== $name"
  "$@"
  timings+=("$(printf '%-14s %4d s' "$name" $((SECONDS - start)))")
}

stage installs scripts/install-deps.sh test
# Every time stamp is the last commit's, as in a release: the Windows
# stage's 32-bit exe is then the very file the release makes, and is tested
# once. Linked anew, so that it carries this commit's time.
export SOURCE_DATE_EPOCH
SOURCE_DATE_EPOCH="$(git log -1 --format=%ct)"
rm -f build/win32/TarvikUpdate/TarvikUpdate.exe

jobs=$(nproc)
build_and_test() {  # preset
  cmake --preset "$1" >/dev/null
  cmake --build --preset "$1" -j "$jobs"
  ctest --preset "$1" -j "$jobs" --timeout 300
}
# The release build compiles at -O3, where GCC warns about other things.
release_build() {
  cmake --preset release >/dev/null
  cmake --build --preset release -j "$jobs"
}
# A release of the stand-in firmware: the exe and the package built twice in
# two places and compared, the zip, the checksums and their signature, the
# package stage (built, linted, installed, run, purged) on the package it
# publishes, and its files checked as an owner gets them.
test_release() {
  rm -rf build/test-release
  scripts/release.sh --test-firmware --output build/test-release \
    --support-url https://tarvik.example/support \
    --tested-exe build/win32/TarvikUpdate/TarvikUpdate.exe
}

stage fuzzers env FUZZ_SECONDS="${FUZZ_SECONDS:-20}" fuzz/run_fuzzers.sh
stage "release build" release_build
stage sanitizers build_and_test asan
stage Windows scripts/wine-tests.sh
stage suite build_and_test dev
stage docs scripts/check-docs.sh
stage "test release" test_release

echo "=== every stage passed"
printf '%s\n' "${timings[@]}"
echo "in all          $SECONDS s"
