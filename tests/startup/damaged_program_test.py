#!/usr/bin/python3
"""The program's check of its embedded firmware at start, on copies of the
program file: one intact, others with a bit of an embedded image flipped,
each started beside the welcome text. A damaged copy shows the error box
before any window, holds no serial port, and ends with a failure after OK;
the intact one shows the window and no box. On Linux on a virtual display
(Xvfb, xdotool); under Wine, in the Windows stage's prefix, through the
window driver (tools/windows_driver).

  damaged_program_test.py linux PROGRAM IMAGES_DIR WELCOME_TEXT
  damaged_program_test.py wine PROGRAM.exe IMAGES_DIR WELCOME_TEXT WINDOW_DRIVER.exe WINE_RUN
"""
import functools
import os
import re
import shutil
import subprocess
import sys
import tempfile

sys.path.insert(0, os.path.join(os.path.dirname(__file__), '../../scripts'))
from demo import Screen, start_display, wait_for  # noqa: E402

DAMAGED_TEXT = 'Файл программы повреждён. Скачайте программу заново.'
FORM_CAPTION = 'GPS Tarvik Update to v.'
SERIAL_DEVICE = re.compile(r'^/dev/tty(S|USB|ACM)[0-9]+$')


def copies(program, images_dir):
    """(what, bytes of the program file) for the intact copy and the damaged ones."""
    with open(program, 'rb') as f:
        intact = f.read()
    yield 'intact', intact
    for image in ('flash.bin', 'eeprom.bin'):
        with open(os.path.join(images_dir, image), 'rb') as f:
            content = f.read()
        at = intact.find(content)
        assert at >= 0 and intact.find(content, at + 1) < 0, f'{image} is not in the program once'
        damaged = bytearray(intact)
        damaged[at + len(content) // 2] ^= 0x01
        yield f'{image} with one bit flipped', bytes(damaged)


def ends_with_failure(app, failures):
    """Once OK is pressed the program ends, and not with success."""
    try:
        status = app.wait(60)
    except subprocess.TimeoutExpired:
        failures.append('the program did not end when OK was pressed')
        return False
    if status == 0:
        failures.append('the program ended with success after the error box')
    return True


def run_linux(path, damaged, failures, screen):
    app = subprocess.Popen([path], cwd=os.path.dirname(path), stdout=subprocess.DEVNULL,
                           stderr=subprocess.DEVNULL, env=dict(screen.env, QT_QPA_PLATFORM='xcb'))
    title = os.path.basename(path).capitalize()  # the application title
    expected = title if damaged else FORM_CAPTION
    shown = []

    def came_up():
        shown[:] = screen.visible_windows()
        return any(name.startswith(expected) for name in shown)
    try:
        if not wait_for(came_up, 30):
            failures.append(f'no window "{expected}..." came up (the program: {app.poll()}); '
                            f'windows: {shown}')
        elif damaged:
            if any(name.startswith(FORM_CAPTION) for name in shown):
                failures.append(f'the window came up beside the error box: {shown}')
            ports = [port for port in (os.readlink(f'/proc/{app.pid}/fd/{fd}')
                                       for fd in os.listdir(f'/proc/{app.pid}/fd'))
                     if SERIAL_DEVICE.match(port)]
            if ports:
                failures.append(f'serial ports open behind the error box: {ports}')
            box = screen.run('xdotool', 'search', '--onlyvisible', '--name', f'^{title}$').stdout
            screen.run('xdotool', 'windowfocus', '--sync', box.split()[0])
            screen.run('xdotool', 'key', 'Return')  # OK
            ends_with_failure(app, failures)
        elif title in shown:
            failures.append('the intact program showed an error box')
    finally:
        if app.poll() is None:
            app.kill()
            app.wait()


def run_wine(path, damaged, failures, driver, wine_run):
    # Wine traces every CreateFile: a port would be opened as \\.\COMn.
    env = dict(os.environ, WINEDEBUG='-all,trace+file')
    log = open(path + '.trace', 'w+')
    app = subprocess.Popen([wine_run, path], cwd=os.path.dirname(path), env=env,
                           stdout=subprocess.DEVNULL, stderr=log)

    def drive(*command):
        r = subprocess.run([wine_run, driver, *command], capture_output=True, timeout=120)
        return r.returncode, r.stdout.decode('utf-8', 'replace').replace('\r', '')
    try:
        if damaged:
            status, box = drive('box')
            fields = dict(line.split(' ', 1) for line in box.splitlines() if ' ' in line)
            expected = {'CAPTION': os.path.basename(path).split('.')[0].capitalize(),
                        'TEXT': DAMAGED_TEXT, 'FORM': 'none'}
            got = {key: fields.get(key) for key in expected}
            if status != 0 or got != expected:
                failures.append(f'error box: {got}, not {expected} (driver status {status})')
            drive('box-ok')
            if not ends_with_failure(app, failures):
                return
            log.seek(0)
            opened = [line.strip() for line in log if 'CreateFile' in line and
                      re.search(r'\\\\COM[0-9]', line)]
            if opened:
                failures.append(f'serial ports opened: {opened[:3]}')
        else:
            status, _ = drive('wait')
            if status != 0:
                failures.append('the intact program showed no window')
            drive('close')
    finally:
        if app.poll() is None:
            app.kill()
            app.wait()
        log.close()


def main():
    platform = sys.argv[1]
    program, images_dir, welcome, *wine_tools = map(os.path.abspath, sys.argv[2:])
    if platform == 'wine':
        driver, wine_run = wine_tools
        run = functools.partial(run_wine, driver=driver, wine_run=wine_run)
    else:
        # One display for all copies, ended cleanly: a killed X server leaves
        # its lock and socket behind for the next one to trip over.
        xvfb, display = start_display()
        run = functools.partial(run_linux, screen=Screen(display, None))
    failures_total = 0
    try:
        for what, content in copies(program, images_dir):
            with tempfile.TemporaryDirectory(prefix='tarvik-startup-') as work:
                path = os.path.join(work, os.path.basename(program))
                with open(path, 'wb') as f:
                    f.write(content)
                os.chmod(path, 0o755)
                shutil.copy(welcome, os.path.join(work, 'text.rtf'))
                failures = []
                run(path, what != 'intact', failures)
                for failure in failures:
                    print(f'FAIL {what}: {failure}')
                if not failures:
                    print(f'ok   {what}')
                failures_total += len(failures)
    finally:
        if platform != 'wine':
            xvfb.terminate()
            xvfb.wait(timeout=10)
    return 1 if failures_total else 0


if __name__ == '__main__':
    sys.exit(main())
