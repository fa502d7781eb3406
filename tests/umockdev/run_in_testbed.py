#!/usr/bin/python3
"""Runs a command with fake serial hardware around it.

    umockdev-wrapper /usr/bin/python3 run_in_testbed.py --scenario NAME \\
        [--bootsim PATH [--bootsim-arg ARG]...] [--plug-after SECONDS] -- COMMAND...

Scenarios:
  bridge    the CP210x bridge (ttyUSB0, served by the virtual tracker) and an
            unrelated FTDI adapter (ttyUSB1) are plugged in
  nobridge  only the unrelated adapter is plugged in
  hotplug   nothing is plugged in; the command plugs and pulls adapters
            through the control channel, or --plug-after plugs the bridge

Every scenario also has the fixed ports of testbed.FIXED_PORTS. When the
virtual tracker ends by itself (a --fault hangup:..., SIGHUP, a crash), its
line is down and the harness pulls the bridge out as well (uevents "remove").
Its options go through --bootsim-arg, one word each, in the form
--bootsim-arg=--fault --bootsim-arg=hangup:write@FE00.

Control channel: the command finds a connected stream socket at the file
descriptor named by TARVIK_TESTBED_CONTROL_FD. It writes one command a line,
"plug [bridge|other]" or "unplug [bridge|other]" (the bridge when no adapter
is named), and reads one reply line, "ok" once the change is complete (the
uevents have been sent) or "error <reason>".

The exit status is the command's; 125 when the testbed could not be set up.
"""

import argparse
import os
import select
import socket
import subprocess
import sys
import time

sys.dont_write_bytecode = True  # no __pycache__ in the source tree
sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import testbed  # noqa: E402

CONTROL_FD_VARIABLE = 'TARVIK_TESTBED_CONTROL_FD'

SCENARIOS = {
    'bridge': [testbed.OTHER, testbed.BRIDGE],
    'nobridge': [testbed.OTHER],
    'hotplug': [],
}


def parse_args(argv):
    parser = argparse.ArgumentParser(description=__doc__.split('\n\n')[0])
    parser.add_argument('--scenario', required=True, choices=sorted(SCENARIOS))
    parser.add_argument('--bootsim', help='the virtual tracker; the built-in responder without it')
    parser.add_argument('--bootsim-arg', action='append', default=[],
                        help='an extra argument for the virtual tracker (repeatable)')
    parser.add_argument('--plug-after', type=float, metavar='SECONDS',
                        help='plug the bridge in this long after the command started')
    parser.add_argument('command', nargs=argparse.REMAINDER)
    args = parser.parse_args(argv)
    if args.command and args.command[0] == '--':
        args.command = args.command[1:]
    if not args.command:
        parser.error('no command given after --')
    return args


class ControlChannel:
    """Reads command lines from the program under test and answers each."""

    def __init__(self, bed):
        self.bed = bed
        self.ours, self.theirs = socket.socketpair()
        self.buffer = b''

    def handle_readable(self):
        data = self.ours.recv(4096)
        if not data:
            return False
        self.buffer += data
        while b'\n' in self.buffer:
            line, self.buffer = self.buffer.split(b'\n', 1)
            self.ours.sendall((self.execute(line.decode(errors='replace').split()) + '\n').encode())
        return True

    def execute(self, words):
        if not words or words[0] not in ('plug', 'unplug') or len(words) > 2:
            return 'error unknown command'
        adapter = testbed.ADAPTERS.get(words[1] if len(words) == 2 else 'bridge')
        if adapter is None:
            return 'error unknown adapter'
        try:
            if words[0] == 'plug':
                self.bed.plug(adapter, serve=adapter is testbed.BRIDGE)
            else:
                self.bed.unplug(adapter)
        except Exception as error:  # the program under test hears of it and fails
            return f'error {error}'
        return 'ok'


def run(args):
    if 'LD_PRELOAD' not in os.environ or 'umockdev' not in os.environ['LD_PRELOAD']:
        print('run_in_testbed.py: run me under umockdev-wrapper', file=sys.stderr)
        return 125
    bed = testbed.FakeSerialBed(bootsim=args.bootsim, bootsim_args=args.bootsim_arg)
    child = None
    try:
        try:
            for adapter in SCENARIOS[args.scenario]:
                bed.plug(adapter, serve=adapter is testbed.BRIDGE)
        except Exception as error:
            print(f'run_in_testbed.py: cannot set up "{args.scenario}": {error}', file=sys.stderr)
            return 125
        control = ControlChannel(bed)
        os.environ[CONTROL_FD_VARIABLE] = str(control.theirs.fileno())
        # env=None: the child must inherit UMOCKDEV_DIR, which is set with C
        # setenv and is not part of os.environ.
        child = subprocess.Popen(args.command, pass_fds=(control.theirs.fileno(),), env=None)
        control.theirs.close()
        plug_at = time.monotonic() + args.plug_after if args.plug_after is not None else None
        channel_open = True
        while child.poll() is None:
            timeout = 0.05
            if plug_at is not None:
                timeout = max(0.0, min(timeout, plug_at - time.monotonic()))
            readers = [control.ours] if channel_open else []
            ready, _, _ = select.select(readers, [], [], timeout)
            if ready:
                channel_open = control.handle_readable()
            for adapter in bed.reap():
                print(f'run_in_testbed.py: the simulator ended; {adapter.key} pulled out',
                      file=sys.stderr)
            if plug_at is not None and time.monotonic() >= plug_at:
                plug_at = None
                if testbed.BRIDGE.key not in bed.plugged:
                    bed.plug(testbed.BRIDGE, serve=True)
        return child.returncode if child.returncode >= 0 else 128 - child.returncode
    finally:
        # Should the harness itself fail, the program under test goes with it.
        if child is not None and child.poll() is None:
            child.kill()
            child.wait()
        bed.close()


def main():
    return run(parse_args(sys.argv[1:]))


if __name__ == '__main__':
    sys.exit(main())
