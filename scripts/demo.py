#!/usr/bin/python3
"""The wizard on the virtual tracker, run as the command of the umockdev
testbed (tests/umockdev/run_in_testbed.py --scenario hotplug): the virtual
CP210x is plugged in a few seconds after the wizard starts.

With a display it just starts the wizard and plugs the tracker in; the user
does the rest. Without one (or with --headless) it starts a virtual display,
clicks through the wizard itself, prints each step, saves a screenshot of
every page, and exits 0 only when the tracker holds the new firmware with the
user's settings kept.
"""
import argparse
import os
import re
import select
import shutil
import socket
import subprocess
import sys
import time

FLASH_BLOCKS = 229
EEPROM_BLOCKS_KEPT = 6
# The window's caption, whatever the release's version.
WINDOW_TITLE = 'GPS Tarvik Update to v.'
WINDOW_SIZE = (622, 409)
NEXT_BUTTON = (488 + 44, 359 + 12)  # centre of "Далее" in the window
CANCEL_BUTTON = (200 + 44, 360 + 12)  # centre of "Отмена"
BACK_BUTTON = (344 + 44, 360 + 12)  # centre of "Назад"
TAB_ROW = 25  # height of the page container's covered tab row (Fusion style)
CONNECT_BUTTON = (192 + 8 + 44, TAB_ROW + 80 + 12)  # centre of "Соединение"


def plain_env():
    """The environment for helpers that must not run under the device preload."""
    return {k: v for k, v in os.environ.items() if k not in ('LD_PRELOAD', 'UMOCKDEV_DIR')}


class Control:
    def __init__(self):
        fd = int(os.environ['TARVIK_TESTBED_CONTROL_FD'])
        self.sock = socket.socket(fileno=fd)
        self.file = self.sock.makefile('rwb', buffering=0)

    def send(self, line):
        self.file.write((line + '\n').encode())
        reply = self.file.readline().decode().strip()
        if reply != 'ok':
            raise RuntimeError(f'testbed: {line}: {reply}')


class FrameLog:
    """Follows the virtual tracker's frame log: what the wizard has done."""

    def __init__(self, path):
        self.path = path
        self.offset = 0
        self.lines = []

    def poll(self):
        try:
            with open(self.path, 'rb') as f:
                f.seek(self.offset)
                data = f.read()
        except FileNotFoundError:
            return
        end = data.rfind(b'\n') + 1
        self.offset += end
        self.lines += data[:end].decode(errors='replace').splitlines()

    def count(self, pattern):
        rx = re.compile(pattern)
        return sum(1 for line in self.lines if rx.search(line))


def wait_for(predicate, timeout, step=0.1):
    deadline = time.monotonic() + timeout
    while time.monotonic() < deadline:
        if predicate():
            return True
        time.sleep(step)
    return predicate()


class Screen:
    def __init__(self, display, shots):
        self.display = display
        self.shots = shots
        self.env = dict(plain_env(), DISPLAY=display)
        self.origin = None

    def run(self, *argv):
        return subprocess.run(argv, env=self.env, capture_output=True, text=True, timeout=30)

    def find_window(self, timeout):
        def found():
            r = self.run('xdotool', 'search', '--name', '^' + WINDOW_TITLE.replace('.', r'\.'))
            ids = r.stdout.split()
            if not ids:
                return False
            geo = self.run('xdotool', 'getwindowgeometry', ids[0]).stdout
            m = re.search(r'Position: (\d+),(\d+)', geo)
            if m:
                self.origin = (int(m.group(1)), int(m.group(2)))
            return m is not None
        return wait_for(found, timeout, 0.2)

    def click(self, point):
        x, y = self.origin[0] + point[0], self.origin[1] + point[1]
        self.run('xdotool', 'mousemove', str(x), str(y), 'click', '1')
        time.sleep(0.4)

    def shot(self, name):
        if not self.shots:
            return
        path = os.path.join(self.shots, name)
        x, y = self.origin
        w, h = WINDOW_SIZE
        self.run('import', '-window', 'root', '-crop', f'{w}x{h}+{x}+{y}', '+repage', path)
        print(f'  screenshot {path}')

    def visible_windows(self):
        """The names of the visible top-level windows: without a window
        manager, every one of them is the program's."""
        ids = self.run('xdotool', 'search', '--onlyvisible', '--name', '.').stdout.split()
        return [self.run('xdotool', 'getwindowname', i).stdout.strip() for i in ids]

    def window_pixels(self):
        """The window's pixels as bytes, three (red, green, blue) a pixel."""
        x, y = self.origin
        w, h = WINDOW_SIZE
        r = subprocess.run(['import', '-window', 'root', '-crop', f'{w}x{h}+{x}+{y}', '+repage',
                            '-depth', '8', 'rgb:-'], env=self.env, capture_output=True, timeout=30)
        return r.stdout


def red_pixels(rgb):
    """Pixels of a pure red such as the welcome text's "ВНИМАНИЕ!": nothing
    else on the first page, the built-in text included, has that colour."""
    return sum(1 for i in range(0, len(rgb) - 2, 3)
               if rgb[i] >= 200 and rgb[i + 1] <= 60 and rgb[i + 2] <= 60)


def check_welcome(screen):
    """Page 1 shows the rich welcome text of text.rtf, and no error box is
    open beside the wizard."""
    others = [name for name in screen.visible_windows() if not name.startswith(WINDOW_TITLE)]
    if others:
        print(f'  FAIL another window is open beside the wizard: {others}')
        return False
    red = red_pixels(screen.window_pixels())
    if red < 50:
        print(f'  FAIL the welcome text is not the rich text of text.rtf ({red} red pixels)')
        return False
    print('  ok   the welcome text of text.rtf, with its red heading; no error box')
    return True


def start_display():
    # Xvfb picks a free display itself and writes its number once it accepts
    # clients. (Picking one here by the files in /tmp raced with any other
    # server starting meanwhile: the loser took the winner's socket for its own.)
    # -noreset: by default the server resets when its last client leaves, and
    # refuses a client that connects meanwhile.
    read_end, write_end = os.pipe()
    xvfb = subprocess.Popen(['Xvfb', '-displayfd', str(write_end), '-screen', '0', '1280x800x24',
                             '-nolisten', 'tcp', '-noreset'], env=plain_env(),
                            pass_fds=(write_end,),
                            stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    os.close(write_end)
    with os.fdopen(read_end, 'rb') as announced:
        ready, _, _ = select.select([announced], [], [], 10)
        number = announced.readline().strip() if ready else b''
    if not number.isdigit():
        xvfb.kill()
        xvfb.wait()
        raise RuntimeError('no virtual display could be started')
    return xvfb, f':{number.decode()}'


def check_memory(memory_out, initial, firmware_dir, keep_user=True):
    with open(memory_out, 'rb') as f:
        after = f.read()
    with open(initial, 'rb') as f:
        before = f.read()
    with open(os.path.join(firmware_dir, 'flash.bin'), 'rb') as f:
        flash = f.read()
    with open(os.path.join(firmware_dir, 'eeprom.bin'), 'rb') as f:
        eeprom = f.read()
    checks = [
        ('program memory 0x8C00..0xFE23 is the new firmware', after[0x8C00:0xFE24] == flash),
        ('data memory 0x1100..0x13FF is the new factory data', after[0x1100:0x1400] == eeprom[256:]),
    ]
    if keep_user:
        checks.append(('user settings 0x1000..0x10FF kept', after[0x1000:0x1100] == before[0x1000:0x1100]))
    ok = True
    for text, good in checks:
        print(f'  {"ok  " if good else "FAIL"} {text}')
        ok = ok and good
    return ok


def connections(log):
    """How many times the tracker has answered a Get: each connection ends so."""
    log.poll()
    return log.count(r' > 05 [0-9A-F]{2} 00 11 21 31 43 79')


def headless(args, control, log):
    xvfb, display = start_display()
    screen = Screen(display, args.shots)
    app = None
    try:
        env = dict(os.environ, DISPLAY=display, QT_QPA_PLATFORM='xcb')
        app = subprocess.Popen([args.program], cwd=args.workdir, env=env)
        if not screen.find_window(20):
            print('the wizard did not open')
            if args.check_welcome:
                print(f'  windows open: {screen.visible_windows()} (an error box is one)')
            return 1
        print('page 1: welcome')
        screen.shot('page1-welcome.png')
        if args.check_welcome and not check_welcome(screen):
            return 1
        screen.click(NEXT_BUTTON)
        print('page 2: preparation')
        screen.shot('page2-preparation.png')
        screen.click(NEXT_BUTTON)
        print('page 3: connection')
        screen.shot('page3-connection.png')
        time.sleep(args.plug_after)
        control.send('plug')
        print('virtual tracker plugged in')

        if not wait_for(lambda: connections(log) > 0, 10):
            print('the wizard did not connect on its own')
            return 1
        time.sleep(0.5)
        print('connected: "УСТАНОВЛЕНО"')
        screen.shot('page3-connected.png')
        screen.click(NEXT_BUTTON)
        print('page 4: loading')

        if args.expect_failure:
            return failed_update(args, screen, log, app, control)

        reported = {'write': -1, 'verify': -1}
        total = 2 * FLASH_BLOCKS + EEPROM_BLOCKS_KEPT
        def progress():
            log.poll()
            writes = log.count(r' < 31 CE')
            reads = log.count(r' < 11 EE')
            for phase, done in (('write', min(writes, FLASH_BLOCKS)), ('verify', reads)):
                if done == 0:
                    continue
                tenth = done * 10 // FLASH_BLOCKS
                while reported[phase] < tenth:
                    reported[phase] += 1
                    name = 'writing program memory' if phase == 'write' else 'verifying'
                    print(f'  {name}: {reported[phase] * 10} %')
            return writes + reads >= total
        if not wait_for(progress, args.update_timeout, 0.2):
            print('the update did not finish in time')
            return 1
        time.sleep(1.0)
        print('data memory written (user settings kept)')
        screen.shot('page4-success.png')
        screen.click(NEXT_BUTTON)
        print('page 5: finish')
        screen.shot('page5-finish.png')
        screen.click(NEXT_BUTTON)
        try:
            app.wait(timeout=10)
        except subprocess.TimeoutExpired:
            print('"OK" did not close the wizard')
            return 1
        print('"OK": the wizard closed')
        control.send('unplug')
        wait_for(lambda: os.path.exists(args.memory_out), 10)
        print('checking the tracker\'s memory against the image:')
        return 0 if check_memory(args.memory_out, args.initial, args.firmware) else 1
    finally:
        if app and app.poll() is None:
            app.terminate()
            app.wait(timeout=10)
        xvfb.terminate()
        xvfb.wait(timeout=10)


def failed_update(args, screen, log, app, control):
    """The tracker was told to fail: wait until the wizard stops talking and
    show the failure; then Back, Connect, pull the module out and show the
    connection gone; leave with Cancel."""
    def quiet():
        before = len(log.lines)
        time.sleep(1.5)
        log.poll()
        return len(log.lines) == before and before > 0
    if not wait_for(quiet, args.update_timeout, 0.1):
        print('the update did not stop')
        return 1
    print('the update failed as the virtual tracker was told to')
    screen.shot('page4-failed.png')
    screen.click(BACK_BUTTON)
    screen.click(CONNECT_BUTTON)
    if not wait_for(lambda: connections(log) > 1, 10):
        print('Connect did not connect again')
        return 1
    time.sleep(0.5)
    control.send('unplug')
    print('virtual tracker pulled out on the connection page')
    time.sleep(1.0)
    screen.shot('page3-pulled-out.png')
    screen.click(CANCEL_BUTTON)
    try:
        app.wait(timeout=10)
    except subprocess.TimeoutExpired:
        print('Cancel did not close the wizard')
        return 1
    print('Cancel: the wizard closed')
    return 0


def interactive(args, control):
    app = subprocess.Popen([args.program], cwd=args.workdir)
    time.sleep(args.plug_after)
    if app.poll() is None:
        control.send('plug')
        print('The virtual tracker is plugged in: the wizard connects on its own.')
    app.wait()
    try:
        control.send('unplug')
    except RuntimeError:
        pass
    if wait_for(lambda: os.path.exists(args.memory_out), 10):
        print('The tracker\'s memory against the image:')
        check_memory(args.memory_out, args.initial, args.firmware)
    return 0


def main():
    parser = argparse.ArgumentParser(description=__doc__.split('\n\n')[0])
    parser.add_argument('--program', required=True)
    parser.add_argument('--workdir', required=True, help='current directory of the wizard (text.rtf)')
    parser.add_argument('--log', required=True, help="the virtual tracker's frame log")
    parser.add_argument('--memory-out', required=True)
    parser.add_argument('--initial', required=True)
    parser.add_argument('--firmware', required=True)
    parser.add_argument('--shots', help='directory for the screenshots')
    parser.add_argument('--plug-after', type=float, default=3.0)
    parser.add_argument('--update-timeout', type=float, default=240)
    parser.add_argument('--headless', action='store_true')
    parser.add_argument('--expect-failure', action='store_true',
                        help='the tracker is told to fail: show the failure and cancel')
    parser.add_argument('--check-welcome', action='store_true',
                        help='check that page 1 shows the rich text of text.rtf and no error box')
    args = parser.parse_args()
    if args.shots:
        os.makedirs(args.shots, exist_ok=True)
    control = Control()
    if args.headless or not os.environ.get('DISPLAY'):
        return headless(args, control, FrameLog(args.log))
    return interactive(args, control)


if __name__ == '__main__':
    sys.exit(main())
