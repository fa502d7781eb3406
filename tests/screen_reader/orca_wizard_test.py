#!/usr/bin/python3
"""The wizard as a blind owner meets it: the real program under the Orca
screen reader, driven with the keyboard alone, against the virtual tracker.

    orca_wizard_test.py --program TarvikUpdate --bootsim tarvik-bootsim \\
        --testbed tests/umockdev/run_in_testbed.py --welcome docs/text.rtf \\
        [--transcript FILE]

One Orca session on a private virtual display (Xvfb, openbox, a session bus
of its own, speech-dispatcher's dummy output) serves two runs:

  1. The tracker is plugged in from the start. Tab, Space and Return lead
     from page 1 through Connect and the update to "OK".
  2. The tracker is plugged in while the wizard shows page 1, and refuses a
     program-memory block: the wizard jumps to the connection page by
     itself, and the update fails.

What Orca would have spoken is read from its debug log ("SPEECH OUTPUT"
lines) and matched, in order, against what each run must have said. The
transcript, one line per step with what Orca said after it, is printed (and
written to --transcript).

The steps wait for conditions, never for a fixed time: for what the window
shows through AT-SPI, and for Orca to have spoken of it (the log goes
through a pseudo-terminal, which Orca writes a line at a time). A wait for
speech that does not come gives up after a while and the run goes on, so
that the transcript shows all that was said and the order check says what
was missing. Orca refuses to start beside another Orca of the same user:
the session takes a lock first (another run of this test waits for it).
"""

import argparse
import datetime
import fcntl
import os
import pty
import re
import select
import shutil
import signal
import subprocess
import sys
import tempfile
import threading
import tty

import gi

gi.require_version('Atspi', '2.0')
from gi.repository import Atspi  # noqa: E402

# The demo's helpers: the virtual display, the environment without the
# testbed's preload, waiting for a condition.
sys.dont_write_bytecode = True  # no __pycache__ in the source tree
sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), '../../scripts'))
from demo import plain_env, start_display, wait_for  # noqa: E402

WINDOW_TITLE = 'GPS Tarvik Update to v.'
ORCA_LOCK = f'/tmp/tarvik-orca-{os.getuid()}.lock'
# A refused program-memory block about half-way through the write.
REFUSED_WRITE = 'nack:write@C000'

# What each run must have spoken, in this order (regular expressions, one
# SPEECH OUTPUT line each).
SPOKEN_ON_SUCCESS = [
    ('page 2, its first line', r'1\. Снимите верхнюю крышку с устройства GPS'),
    ('the connection result', r'(?<!НЕ )УСТАНОВЛЕНО'),
    ('a progress value', r'\d+ ?(%|percent|процент)'),
    ('the outcome', r'Обновление успешно завершено!'),
    ('page 5, its first line', r'ПОЗДРАВЛЯЕМ!'),
]
SPOKEN_ON_FAILURE = [
    ('the connection page after the jump', r'Провер\w+ правильность соединений'),
    ('the connection result', r'(?<!НЕ )УСТАНОВЛЕНО'),
    ('the outcome', r'ОШИБКА!!!'),
]
# What no run may speak: containers that only hold the pages (in the C
# locale's words).
NEVER_SPOKEN = [
    ('the stack of pages at a page change', r'^layered pane'),
]


SPEECH = re.compile(r"^(\d\d:\d\d:\d\d\.\d+) - SPEECH OUTPUT: '(.*?)'", re.M | re.S)
# How long a step waits for Orca to speak of it: far above the second or so
# it takes on a busy machine.
SPEECH_TIMEOUT = 15


def now():
    return datetime.datetime.now().strftime('%H:%M:%S.%f')


class Failure(Exception):
    pass


# --- the session: display, bus, window manager, Orca -----------------------

class Session:
    ORCA_START_TIMEOUT = 60

    def __init__(self, work, locale):
        self.work = work
        self.processes = []
        home = os.path.join(work, 'home')
        runtime = os.path.join(work, 'runtime')
        for path in (home, runtime):
            os.makedirs(path, mode=0o700)
        self.env = dict(plain_env(), HOME=home, XDG_RUNTIME_DIR=runtime,
                        XDG_CONFIG_HOME=os.path.join(home, '.config'),
                        XDG_DATA_HOME=os.path.join(home, '.local/share'),
                        XDG_CACHE_HOME=os.path.join(home, '.cache'),
                        LANG=locale, LANGUAGE='')
        for inherited in ('LC_ALL', 'DBUS_SESSION_BUS_ADDRESS', 'AT_SPI_BUS_ADDRESS', 'NO_AT_BRIDGE'):
            self.env.pop(inherited, None)
        self.orca_log = os.path.join(work, 'orca-debug.log')
        self._log_text = ''
        self._log_lock = threading.Lock()
        self._log_terminal = None
        self._log_reader = None

    def start(self):
        self._start_display()
        self._start_bus()
        self._spawn(['openbox', '--sm-disable'])
        self._spawn(['/usr/libexec/at-spi-bus-launcher', '--launch-immediately'])
        speechd = os.path.join(self.env['XDG_CONFIG_HOME'], 'speech-dispatcher')
        os.makedirs(speechd)
        with open(os.path.join(speechd, 'speechd.conf'), 'w') as conf:
            conf.write('AddModule "dummy" "sd_dummy" ""\nDefaultModule dummy\n')
        # The client side of AT-SPI in this process, on the session's bus.
        os.environ['DISPLAY'] = self.env['DISPLAY']
        os.environ['DBUS_SESSION_BUS_ADDRESS'] = self.env['DBUS_SESSION_BUS_ADDRESS']
        # Orca writes its log to a terminal a line at a time (to a file it
        # writes in blocks): the steps can wait for what it says.
        # The session holds the terminal open until it stops: the master
        # end reads the end of the log only once no one has it open.
        master, self._log_terminal = pty.openpty()
        tty.setraw(self._log_terminal)
        self._log_reader = threading.Thread(target=self._read_log, args=(master,), daemon=True)
        self._log_reader.start()
        self.orca = self._spawn(['orca', '--debug', '--debug-file',
                                 os.ttyname(self._log_terminal),
                                 '-u', os.path.join(self.work, 'orca-prefs')])
        # Orca says it is on once it has registered its listeners, so that
        # the program's first events reach it.
        if not wait_for(self._orca_listening, self.ORCA_START_TIMEOUT, 0.5):
            raise Failure('Orca did not start')

    def _read_log(self, master):
        with open(self.orca_log, 'w') as copy:
            while True:
                try:
                    data = os.read(master, 65536)
                except OSError:
                    break
                if not data:
                    break
                text = data.decode(errors='replace').replace('\r', '')
                copy.write(text)
                with self._log_lock:
                    self._log_text += text
        os.close(master)

    def _orca_listening(self):
        if self.orca.poll() is not None:
            raise Failure(f'Orca ended with status {self.orca.returncode}')
        return bool(self.spoken())

    def stop(self):
        """Stops everything, Orca first, and reads the rest of its log."""
        for process in reversed(self.processes):
            if process.poll() is None:
                process.send_signal(signal.SIGTERM)
                try:
                    process.wait(timeout=10)
                except subprocess.TimeoutExpired:
                    process.kill()
                    process.wait()
        if self._log_terminal is not None:
            os.close(self._log_terminal)
            self._log_reader.join(timeout=10)

    def spoken(self, since='00'):
        """What Orca has said, from since on: (time, text), in order."""
        with self._log_lock:
            text = self._log_text
        return [(m.group(1), ' '.join(m.group(2).split())) for m in SPEECH.finditer(text)
                if m.group(1) >= since]

    def wait_said(self, pattern, since):
        """Waits until Orca has said something that matches pattern."""
        rx = re.compile(pattern)
        return wait_for(lambda: any(rx.search(text) for _, text in self.spoken(since)),
                        SPEECH_TIMEOUT, 0.1)

    def _spawn(self, argv, **kwargs):
        # Each helper's own messages, for a look when something fails.
        with open(os.path.join(self.work, os.path.basename(argv[0]) + '.out'), 'w') as out:
            process = subprocess.Popen(argv, env=self.env, stdout=out, stderr=subprocess.STDOUT,
                                       **kwargs)
        self.processes.append(process)
        return process

    def _start_display(self):
        xvfb, self.env['DISPLAY'] = start_display()
        self.processes.append(xvfb)

    def _start_bus(self):
        bus = subprocess.Popen(['dbus-daemon', '--session', '--nofork', '--nopidfile',
                                '--print-address'], env=self.env, stdout=subprocess.PIPE,
                               stderr=subprocess.DEVNULL)
        self.processes.append(bus)
        ready, _, _ = select.select([bus.stdout], [], [], 20)
        address = bus.stdout.readline().decode().strip() if ready else ''
        if not address:
            raise Failure('no session bus could be started')
        self.env['DBUS_SESSION_BUS_ADDRESS'] = address


# --- the wizard as AT-SPI shows it ------------------------------------------

def states(accessible):
    try:
        return accessible.get_state_set()
    except gi.repository.GLib.Error:
        return None


def walk(accessible, depth=0):
    if accessible is None or depth > 30:
        return
    yield accessible
    try:
        count = accessible.get_child_count()
    except gi.repository.GLib.Error:
        return
    for i in range(count):
        try:
            child = accessible.get_child_at_index(i)
        except gi.repository.GLib.Error:
            continue
        yield from walk(child, depth + 1)


def name_of(accessible):
    try:
        return accessible.get_name() or ''
    except gi.repository.GLib.Error:
        return ''


class Wizard:
    """One run of the program inside the umockdev testbed."""

    def __init__(self, args, session, work, steps, scenario, bootsim_args, plug_after=None):
        self.session = session
        self.steps = steps
        workdir = os.path.join(work, f'wizard-{scenario}')
        os.makedirs(workdir)
        shutil.copy(args.welcome, os.path.join(workdir, 'text.rtf'))
        command = ['umockdev-wrapper', '/usr/bin/python3', args.testbed, '--scenario', scenario,
                   '--bootsim', args.bootsim]
        command += [f'--bootsim-arg={a}' for a in bootsim_args]
        if plug_after is not None:
            command += ['--plug-after', str(plug_after)]
        command += ['--', args.program]
        env = dict(session.env, QT_QPA_PLATFORM='xcb')
        self.mark(f'the wizard started ({scenario})')
        self.process = subprocess.Popen(command, cwd=workdir, env=env)

    def frame(self):
        desktop = Atspi.get_desktop(0)
        for i in range(desktop.get_child_count()):
            app = desktop.get_child_at_index(i)
            if app is None:
                continue
            for j in range(app.get_child_count()):
                window = app.get_child_at_index(j)
                if window is not None and name_of(window).startswith(WINDOW_TITLE):
                    return window
        return None

    def find(self, predicate):
        window = self.frame()
        if window is None:
            return None
        for accessible in walk(window):
            if predicate(accessible):
                return accessible
        return None

    def focused(self):
        # Qt also marks a list's current item and the current page tab as
        # focused, whether or not their widget has the focus.
        def has_focus(a):
            s = states(a)
            return (s is not None and s.contains(Atspi.StateType.FOCUSED)
                    and a.get_role() not in (Atspi.Role.LIST_ITEM, Atspi.Role.PAGE_TAB))
        return self.find(has_focus)

    def showing(self, prefix):
        def shows(a):
            s = states(a)
            return (s is not None and s.contains(Atspi.StateType.SHOWING)
                    and name_of(a).startswith(prefix))
        return self.find(shows)

    def focus_name(self):
        focus = self.focused()
        return name_of(focus) if focus is not None else None

    # -- the keyboard -------------------------------------------------------

    def mark(self, step):
        at = now()
        self.steps.append((at, step))
        return at

    def press(self, key, step, said=None):
        """Presses key; then waits for Orca to say what matches said."""
        at = self.mark(f'{step}: {key}')
        subprocess.run(['xdotool', 'key', '--clearmodifiers', key], env=self.session.env,
                       check=True, timeout=30)
        if said is not None:
            self.session.wait_said(said, at)

    def tab_to(self, name, step, presses=12):
        """Tab until the control named name has the focus, each stop heard."""
        for _ in range(presses):
            focus = self.focus_name()
            if focus == name:
                return
            at = self.mark(f'{step}: Tab')
            subprocess.run(['xdotool', 'key', '--clearmodifiers', 'Tab'], env=self.session.env,
                           check=True, timeout=30)
            moved = wait_for(lambda: self.focus_name() not in (None, focus), 5, 0.1)
            if moved:
                self.session.wait_said(re.escape(moved_name(self.focus_name())), at)
        if self.focus_name() != name:
            raise Failure(f'{step}: Tab did not reach "{name}" (focus on "{self.focus_name()}")')

    def wait_showing(self, prefix, what, timeout=60):
        if not wait_for(lambda: self.showing(prefix), timeout):
            raise Failure(f'{what} did not show')

    def wait_ended(self, timeout=20):
        try:
            self.process.wait(timeout=timeout)
        except subprocess.TimeoutExpired:
            raise Failure('the wizard did not close')

    def kill(self):
        if self.process.poll() is None:
            self.process.terminate()
            try:
                self.process.wait(timeout=10)
            except subprocess.TimeoutExpired:
                self.process.kill()
                self.process.wait()


def moved_name(name):
    """What Orca's line for a control begins with: its name's first words."""
    return ' '.join((name or '').split())[:30]


def start_wizard(args, session, work, steps, scenario, bootsim_args, plug_after=None):
    wizard = Wizard(args, session, work, steps, scenario, bootsim_args, plug_after)
    if not wait_for(lambda: wizard.process.poll() is not None or wizard.frame(), 30) \
            or wizard.process.poll() is not None:
        wizard.kill()
        raise Failure('the wizard did not open')
    # Orca has presented the window once the focus is inside it.
    if wait_for(wizard.focused, 10):
        session.wait_said(re.escape(moved_name(wizard.focus_name())), wizard.steps[0][0])
    return wizard


def successful_update(args, session, work, steps):
    wizard = start_wizard(args, session, work, steps, 'bridge', [])
    try:
        wizard.tab_to('Далее', 'page 1')
        wizard.press('Return', 'page 1, on "Далее"', said=r'1\. Снимите')
        wizard.wait_showing('1. Снимите', 'page 2')
        wizard.tab_to('Далее', 'page 2')
        wizard.press('space', 'page 2, on "Далее"', said=r'Провер\w+ правильность')
        wizard.wait_showing('Соединение', 'page 3')
        wizard.tab_to('Соединение', 'page 3')
        wizard.press('space', 'page 3, on "Соединение"', said='(?<!НЕ )УСТАНОВЛЕНО')
        wizard.wait_showing('УСТАНОВЛЕНО', 'the connection result')
        wizard.tab_to('Далее', 'page 3, connected')
        wizard.press('Return', 'page 3, on "Далее"', said='Обновление успешно завершено')
        wizard.wait_showing('Обновление успешно', 'the outcome', timeout=180)
        wizard.tab_to('Далее', 'page 4, updated')
        wizard.press('Return', 'page 4, on "Далее"', said='ПОЗДРАВЛЯЕМ!')
        wizard.wait_showing('ПОЗДРАВЛЯЕМ!', 'page 5')
        wizard.tab_to('OK', 'page 5')
        wizard.press('Return', 'page 5, on "OK"')
        wizard.wait_ended()
        wizard.mark('the wizard closed')
        if wizard.process.returncode != 0:
            raise Failure(f'the wizard ended with status {wizard.process.returncode}')
    finally:
        wizard.kill()


def failed_update(args, session, work, steps):
    # Plugged in while page 1 shows: the wizard jumps to page 3 itself.
    wizard = start_wizard(args, session, work, steps, 'hotplug', ['--fault', REFUSED_WRITE],
                          plug_after=4)
    try:
        session.wait_said('(?<!НЕ )УСТАНОВЛЕНО', wizard.steps[0][0])
        wizard.wait_showing('УСТАНОВЛЕНО', 'the connection result after the plug-in')
        wizard.mark('plugged in 4 s after the start: the wizard jumped to page 3 and connected')
        wizard.tab_to('Далее', 'page 3, connected')
        wizard.press('Return', 'page 3, on "Далее"', said='ОШИБКА!!!')
        wizard.wait_showing('ОШИБКА!!!', 'the failure', timeout=180)
        wizard.tab_to('Отмена', 'page 4, failed')
        wizard.press('Return', 'page 4, on "Отмена"')
        wizard.wait_ended()
        wizard.mark('the wizard closed')
    finally:
        wizard.kill()


# --- what Orca said ---------------------------------------------------------

def transcript(steps, spoken, end):
    """Each step with what Orca said after it, up to the next step (the last
    one's up to end)."""
    out = []
    for i, (at, step) in enumerate(steps):
        until = steps[i + 1][0] if i + 1 < len(steps) else end
        said = [text for when, text in spoken if at <= when < until]
        out.append(f'{at[:12]}  {step}')
        out += [f'      "{text}"' for text in said]
    return out


def check_order(name, spoken, expected):
    """Each expected phrase in a spoken line after the previous one's, and
    nothing that must never be said."""
    problems = []
    at = 0
    for what, pattern in expected:
        rx = re.compile(pattern)
        found = next((i for i in range(at, len(spoken)) if rx.search(spoken[i][1])), None)
        if found is None:
            problems.append(f'{name}: Orca did not say {what} ({pattern}) in its place')
        else:
            at = found + 1
    for what, pattern in NEVER_SPOKEN:
        rx = re.compile(pattern)
        problems += [f'{name}: Orca said {what}: "{text}" at {when[:12]}'
                     for when, text in spoken if rx.search(text)]
    return problems


def main():
    parser = argparse.ArgumentParser(description=__doc__.split('\n\n')[0])
    parser.add_argument('--program', required=True)
    parser.add_argument('--bootsim', required=True)
    parser.add_argument('--testbed', required=True, help='tests/umockdev/run_in_testbed.py')
    parser.add_argument('--welcome', required=True, help='the text.rtf to start the wizard with')
    parser.add_argument('--transcript', help='also write the transcript to this file')
    # C.UTF-8 is on every system; ru_RU.UTF-8 (Debian's locales-all) makes
    # Orca speak Russian, as it does for an owner.
    parser.add_argument('--locale', default='C.UTF-8', help="Orca's and the wizard's locale")
    args = parser.parse_args()
    for name in ('program', 'bootsim', 'testbed', 'welcome'):
        setattr(args, name, os.path.abspath(getattr(args, name)))

    with open(ORCA_LOCK, 'w') as lock:
        fcntl.flock(lock, fcntl.LOCK_EX)
        work = tempfile.mkdtemp(prefix='tarvik-orca.')
        session = Session(work, args.locale)
        runs = []
        problems = []
        try:
            session.start()
            Atspi.init()
            for name, run, expected in (('update', successful_update, SPOKEN_ON_SUCCESS),
                                        ('refused write', failed_update, SPOKEN_ON_FAILURE)):
                steps = []
                runs.append((name, steps, expected))
                try:
                    run(args, session, work, steps)
                except Failure as failure:
                    problems.append(f'{name}: {failure}')
        except Failure as failure:
            problems.append(str(failure))
        finally:
            session.stop()
        spoken = session.spoken()
        report = []
        for i, (name, steps, expected) in enumerate(runs):
            later = [s for _, s, _ in runs[i + 1:] if s]
            until = later[0][0][0] if later else '99'
            report.append(f'--- {name}')
            report += transcript(steps, spoken, until)
            if steps:
                said = [(when, text) for when, text in spoken if steps[0][0] <= when < until]
                problems += check_order(name, said, expected)
        print('\n'.join(report))
        if args.transcript:
            with open(args.transcript, 'w') as out:
                out.write('\n'.join(report) + '\n')
        for problem in problems:
            print(f'FAIL {problem}')
        if not problems:
            shutil.rmtree(work, ignore_errors=True)
        else:
            print(f'kept for a look: {work}')
        return 1 if problems else 0


if __name__ == '__main__':
    sys.exit(main())
