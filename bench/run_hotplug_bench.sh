#!/usr/bin/env bash
# Hot-plug latency: the bridge plugged in until the wizard's sync byte, inside
# the umockdev testbed with the virtual tracker. A benchmark, not a test.
#   bench/run_hotplug_bench.sh BUILD_DIR
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="$(cd "$1" && pwd)"
exec umockdev-wrapper /usr/bin/python3 "$root/tests/umockdev/run_in_testbed.py" --scenario hotplug \
  --bootsim "$build/tools/bootsim/tarvik-bootsim" \
  -- "$build/bench/hotplug_bench"
