#!/usr/bin/python3
"""The accessibility round trip during a paced update, as a screen reader
meets it: the name of the Cancel button asked over AT-SPI from this process,
again and again, while window_update_bench --on-cue runs a whole update at
the line's pace through the Qt window on a private Xvfb. Prints p50, p95
and the longest. Run inside a D-Bus session of its own: see
bench/a11y_roundtrip_bench.sh. A benchmark, not a test.
"""
import os
import select
import subprocess
import sys
import time

import gi

gi.require_version('Atspi', '2.0')
from gi.repository import Atspi, GLib  # noqa: E402

CANCEL = 'Отмена'
APP = 'window_update_bench'
# A pause between two requests, so that they land anywhere in a block
# exchange rather than queue up behind each other.
PAUSE = 0.010


def start_xvfb():
    # -noreset: the accessibility bus's launcher connects and leaves first, and
    # a server that resets then refuses the window meanwhile.
    read_end, write_end = os.pipe()
    xvfb = subprocess.Popen(['Xvfb', '-displayfd', str(write_end), '-screen', '0', '1280x800x24',
                             '-nolisten', 'tcp', '-noreset'], pass_fds=(write_end,),
                            stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    os.close(write_end)
    with os.fdopen(read_end) as f:
        display = f.readline().strip()
    if not display:
        sys.exit('a11y_roundtrip: Xvfb did not start')
    return xvfb, ':' + display


def find_cancel(deadline):
    while time.monotonic() < deadline:
        desktop = Atspi.get_desktop(0)
        for i in range(desktop.get_child_count()):
            app = desktop.get_child_at_index(i)
            if app is None or app.get_name() != APP:
                continue
            found = find_button(app)
            if found is not None:
                return app, found
        time.sleep(0.2)
    sys.exit('a11y_roundtrip: no "Отмена" button over AT-SPI')


def find_button(node):
    if node.get_role() == Atspi.Role.PUSH_BUTTON and node.get_name() == CANCEL:
        return node
    for i in range(node.get_child_count()):
        child = node.get_child_at_index(i)
        found = find_button(child) if child is not None else None
        if found is not None:
            return found
    return None


def ask_name(button):
    """One request that reaches the window: seconds, and whether it answered."""
    button.clear_cache()
    start = time.perf_counter()
    try:
        ok = button.get_name() == CANCEL
    except GLib.Error:
        ok = False
    return time.perf_counter() - start, ok


def percentile(sorted_values, p):
    index = min(len(sorted_values) - 1, int(round(p / 100 * (len(sorted_values) - 1))))
    return sorted_values[index]


def main():
    if len(sys.argv) != 2:
        sys.exit('usage: a11y_roundtrip.py BUILD_DIR')
    bench = os.path.join(sys.argv[1], 'bench', 'window_update_bench')
    xvfb, display = start_xvfb()
    env = dict(os.environ, DISPLAY=display, QT_LINUX_ACCESSIBILITY_ALWAYS_ON='1',
               QT_ACCESSIBILITY='1')
    os.environ['DISPLAY'] = display
    bus = subprocess.Popen(['/usr/libexec/at-spi-bus-launcher', '--launch-immediately'], env=env,
                           stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    app = None
    try:
        time.sleep(1)
        app = subprocess.Popen([bench, '--on-cue'], env=env, stdin=subprocess.PIPE,
                               stdout=subprocess.PIPE, text=True)
        application, button = find_cancel(time.monotonic() + 30)
        # Every request goes to the window: nothing is answered from a cache,
        # and a late answer is waited for rather than given up after 0.8 s.
        application.set_cache_mask(Atspi.Cache.NONE)
        Atspi.set_timeout(10000, 30000)
        idle = sorted(ask_name(button)[0] for _ in range(50))

        app.stdin.write('go\n')
        app.stdin.flush()
        line = app.stdout.readline().strip()
        if line != 'updating':
            sys.exit(f'a11y_roundtrip: the benchmark said {line!r}')
        samples = []
        while True:
            ready, _, _ = select.select([app.stdout], [], [], PAUSE)
            if ready:
                break  # the update's line: it has returned
            samples.append(ask_name(button))
        times = [seconds for seconds, _ in samples]
        failed = sum(1 for _, ok in samples if not ok)
        result = app.stdout.readline().strip()
        app.stdin.close()  # the window may go
        if app.wait() != 0 or not times:
            sys.exit('a11y_roundtrip: the update did not succeed')
    finally:
        if app is not None and app.poll() is None:
            app.kill()
        bus.terminate()
        xvfb.terminate()

    times.sort()
    ms = [1000 * t for t in times]
    print(result)
    print(f'accessibility round trip during the update: {len(ms)} requests, '
          f'p50 {percentile(ms, 50):.1f} ms, p95 {percentile(ms, 95):.1f} ms, '
          f'longest {ms[-1]:.0f} ms, {failed} unanswered; idle p50 {1000 * percentile(idle, 50):.1f} ms')


if __name__ == '__main__':
    main()
