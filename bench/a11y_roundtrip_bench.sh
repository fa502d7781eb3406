#!/usr/bin/env bash
# The accessibility round trip during a paced update: bench/a11y_roundtrip.py
# in a D-Bus session of its own, with the window_update_bench of BUILD_DIR.
# A benchmark, not a test.
#   bench/a11y_roundtrip_bench.sh BUILD_DIR
#   (Xvfb, dbus, at-spi2-core, python3-pyatspi: scripts/install-deps.sh bench)
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="$(cd "$1" && pwd)"
exec dbus-run-session -- /usr/bin/python3 "$root/bench/a11y_roundtrip.py" "$build"
