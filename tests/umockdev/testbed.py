"""Fake USB serial hardware for the Linux device-link tests, built on umockdev.

A FakeSerialBed holds a umockdev testbed with a few fixed serial ports (a real
16550 on ttyS0, a serial-core port without a UART, virtual consoles) and can
plug in and pull out USB serial adapters: the CP210x bridge of the tracker's
power module and an unrelated FTDI adapter. Each plugged adapter's tty is
backed by a pseudo-terminal; the bridge's master end is served by the virtual
tracker (tarvik-bootsim) or, without it, by a tiny built-in responder.

The process that uses this module must run under umockdev-wrapper, and the
program under test must be started with the inherited environment (env=None):
the testbed's location is set with C setenv and does not show in os.environ.

umockdev 0.17 needs a few workarounds, all applied here:
- every ioctl on an emulated node goes to the testbed; TtyIoctlHandler runs
  them on the real pty, fakes the modem lines, which a pty does not have, and
  accepts exclusive mode without applying it (see there);
- a pty master reads EIO while no slave is open, which a server takes for a
  hang-up: the harness holds the slave end open while the adapter is plugged;
- isatty() is false unless the pty's .ptymap entry names a tty major (4:64);
- re-adding a node through an "N:" line aborts, so the harness creates the
  pty itself and adds the sysfs part without one;
- removing a device sends no uevent: "remove" is sent children first while
  the sysfs paths still exist, then the devices are removed.
"""

import dataclasses
import os
import select
import signal
import struct
import subprocess
import termios
import threading

import gi

gi.require_version('UMockdev', '1.0')
from gi.repository import UMockdev  # noqa: E402

ACK = 0x79
NACK = 0x1F


@dataclasses.dataclass(frozen=True)
class UsbSerialAdapter:
    """A USB serial adapter as udev describes it on a stock Debian system."""
    key: str
    usb_port: str          # "1-2": the USB device's kernel name
    devnum: int
    vendor_id: str
    product_id: str
    driver: str
    vendor_db: str         # ID_VENDOR_FROM_DATABASE (hwdb)
    model_db: str          # ID_MODEL_FROM_DATABASE
    manufacturer: str      # the device's own strings
    product: str
    serial: str
    tty: str               # "ttyUSB0"
    major: int
    minor: int

    @property
    def usb_path(self):
        return f'/sys/devices/pci0000:00/0000:00:14.0/usb1/{self.usb_port}'

    @property
    def interface_path(self):
        return f'{self.usb_path}/{self.usb_port}:1.0'

    @property
    def port_path(self):
        return f'{self.interface_path}/{self.tty}'

    @property
    def tty_path(self):
        return f'{self.port_path}/tty/{self.tty}'

    @property
    def devnode(self):
        return f'/dev/{self.tty}'

    def syspaths_children_first(self):
        return [self.tty_path, self.port_path, self.interface_path, self.usb_path]

    def description(self):
        """The umockdev text description, parents first, without a node line:
        the harness creates the tty's pty itself."""
        def enc(text):
            return ''.join(c if c.isalnum() or c in '-_.' else '\\x%02x' % ord(c) for c in text)

        def plain(text):
            return ''.join(c if c.isalnum() or c in '-_.' else '_' for c in text)

        busnum = 1
        usb_ids = [
            f'ID_VENDOR_ID={self.vendor_id}',
            f'ID_MODEL_ID={self.product_id}',
            f'ID_VENDOR={plain(self.manufacturer)}',
            f'ID_VENDOR_ENC={enc(self.manufacturer)}',
            f'ID_MODEL={plain(self.product)}',
            f'ID_MODEL_ENC={enc(self.product)}',
            f'ID_SERIAL={plain(self.manufacturer)}_{plain(self.product)}_{self.serial}',
            f'ID_SERIAL_SHORT={self.serial}',
            f'ID_VENDOR_FROM_DATABASE={self.vendor_db}',
            f'ID_MODEL_FROM_DATABASE={self.model_db}',
            'ID_REVISION=0100',
            'ID_BUS=usb',
        ]
        usb_device = [
            f'P: {self.usb_path[4:]}',
            f'N: bus/usb/{busnum:03d}/{self.devnum:03d}',
            'E: SUBSYSTEM=usb',
            'E: DEVTYPE=usb_device',
            'E: DRIVER=usb',
            f'E: DEVNAME=/dev/bus/usb/{busnum:03d}/{self.devnum:03d}',
            f'E: PRODUCT={int(self.vendor_id, 16):x}/{int(self.product_id, 16):x}/100',
            'E: TYPE=0/0/0',
            f'E: BUSNUM={busnum:03d}',
            f'E: DEVNUM={self.devnum:03d}',
            'E: MAJOR=189',
            f'E: MINOR={self.devnum - 1}',
        ] + [f'E: {p}' for p in usb_ids] + [
            f'A: idVendor={self.vendor_id}',
            f'A: idProduct={self.product_id}',
            f'A: manufacturer={self.manufacturer}',
            f'A: product={self.product}',
            f'A: serial={self.serial}',
            'A: bcdDevice=0100',
            'A: busnum=1',
            f'A: devnum={self.devnum}',
            f'A: dev=189:{self.devnum - 1}',
            'L: driver=../../../../../bus/usb/drivers/usb',
        ]
        interface = [
            f'P: {self.interface_path[4:]}',
            'E: SUBSYSTEM=usb',
            'E: DEVTYPE=usb_interface',
            f'E: DRIVER={self.driver}',
            'E: INTERFACE=255/0/0',
            f'E: PRODUCT={int(self.vendor_id, 16):x}/{int(self.product_id, 16):x}/100',
            'A: bInterfaceNumber=00',
            'A: bInterfaceClass=ff',
            f'L: driver=../../../../../../bus/usb/drivers/{self.driver}',
        ]
        serial_port = [
            f'P: {self.port_path[4:]}',
            'E: SUBSYSTEM=usb-serial',
            f'E: DRIVER={self.driver}',
            'A: port_number=0',
            f'L: driver=../../../../../../../bus/usb-serial/drivers/{self.driver}',
        ]
        tty = [
            f'P: {self.tty_path[4:]}',
            'E: SUBSYSTEM=tty',
            f'E: DEVNAME={self.devnode}',
            f'E: MAJOR={self.major}',
            f'E: MINOR={self.minor}',
            f'E: ID_USB_DRIVER={self.driver}',
            'E: ID_USB_INTERFACE_NUM=00',
            'E: ID_USB_INTERFACES=:ff0000:',
            'E: ID_PATH=pci-0000:00:14.0-usb-0:2:1.0',
            f'E: DEVLINKS=/dev/serial/by-id/usb-{plain(self.manufacturer)}_{plain(self.product)}'
            f'_{self.serial}-if00-port0',
        ] + [f'E: {p}' for p in usb_ids] + [
            f'A: dev={self.major}:{self.minor}',
        ]
        return '\n\n'.join('\n'.join(p) for p in (usb_device, interface, serial_port, tty)) + '\n'


# The tracker's power module: a CP2102 behind the Silicon Labs driver.
BRIDGE = UsbSerialAdapter(
    key='bridge', usb_port='1-2', devnum=5, vendor_id='10c4', product_id='ea60',
    driver='cp210x', vendor_db='Silicon Labs', model_db='CP210x UART Bridge',
    manufacturer='Silicon Labs', product='CP2102 USB to UART Bridge Controller',
    serial='0001', tty='ttyUSB0', major=188, minor=0)

# An unrelated adapter that must never be taken for the bridge.
OTHER = UsbSerialAdapter(
    key='other', usb_port='1-3', devnum=6, vendor_id='0403', product_id='6001',
    driver='ftdi_sio', vendor_db='Future Technology Devices International, Ltd',
    model_db='FT232 Serial (UART) IC', manufacturer='FTDI', product='FT232R USB UART',
    serial='A50285BI', tty='ttyUSB1', major=188, minor=1)

ADAPTERS = {a.key: a for a in (BRIDGE, OTHER)}

# Serial ports every machine has: a 16550 UART on ttyS0 (opened it would
# fail: there is no node), a serial-core port without a UART (sysfs type 0)
# and virtual terminals, which have no parent device.
FIXED_PORTS = '''P: /devices/pnp0/00:00
E: SUBSYSTEM=pnp
E: DRIVER=serial

P: /devices/pnp0/00:00/tty/ttyS0
E: SUBSYSTEM=tty
E: DEVNAME=/dev/ttyS0
E: MAJOR=4
E: MINOR=64
A: dev=4:64
A: type=4

P: /devices/platform/serial8250
E: SUBSYSTEM=platform
E: DRIVER=serial8250

P: /devices/platform/serial8250/tty/ttyS1
E: SUBSYSTEM=tty
E: DEVNAME=/dev/ttyS1
E: MAJOR=4
E: MINOR=65
A: dev=4:65
A: type=0

P: /devices/virtual/tty/tty0
E: SUBSYSTEM=tty
E: DEVNAME=/dev/tty0
E: MAJOR=4
E: MINOR=0
A: dev=4:0

P: /devices/virtual/tty/console
E: SUBSYSTEM=tty
E: DEVNAME=/dev/console
E: MAJOR=5
E: MINOR=1
A: dev=5:1

P: /devices/virtual/tty/ptmx
E: SUBSYSTEM=tty
E: DEVNAME=/dev/ptmx
E: MAJOR=5
E: MINOR=2
A: dev=5:2
'''


class TtyIoctlHandler(UMockdev.IoctlBase):
    """Makes an emulated node behave like a serial port: terminal ioctls run on
    the real pty, and the modem lines, which a pty lacks, are kept here.

    Exclusive mode (TIOCEXCL/TIOCNXCL) is accepted but not applied. A real tty
    drops it when its last descriptor closes; this pty stays open in the
    harness for as long as the adapter is plugged in, so the flag would stick
    and every later open by an unprivileged user would fail with EBUSY. (The
    testbed gives no reliable notice of the program closing the node.)"""

    _MODEM_REQUESTS = (termios.TIOCMGET, termios.TIOCMSET, termios.TIOCMBIS, termios.TIOCMBIC)
    _EXCLUSIVE_REQUESTS = (termios.TIOCEXCL, termios.TIOCNXCL)

    def __init__(self):
        super().__init__()
        # DSR, CTS and carrier up, as a bridge whose far side is powered.
        self.modem_lines = termios.TIOCM_DSR | termios.TIOCM_CTS | termios.TIOCM_CAR

    def do_handle_ioctl(self, client):
        request = client.get_request()
        if request in self._EXCLUSIVE_REQUESTS:
            client.complete(0, 0)
            return True
        if request in self._MODEM_REQUESTS:
            arg = client.get_arg().resolve(0, 4)
            if request == termios.TIOCMGET:
                arg.update(0, struct.pack('i', self.modem_lines))
            else:
                value = struct.unpack('i', bytes(arg.retrieve()[:4]))[0]
                if request == termios.TIOCMSET:
                    self.modem_lines = value
                elif request == termios.TIOCMBIS:
                    self.modem_lines |= value
                else:
                    self.modem_lines &= ~value
            client.complete(0, 0)
            return True
        result, error = client.execute()
        client.complete(result, error)
        return True


class BuiltinResponder:
    """A minimal bootloader for when tarvik-bootsim is not at hand: ACK to the
    sync byte and a Get reply; NACK to any other command."""

    GET_REPLY = bytes([ACK, 0x05, 0x10, 0x00, 0x11, 0x21, 0x31, 0x43, ACK])
    holds_line = False

    def __init__(self, master_fd):
        self._fd = master_fd
        self._stop_r, self._stop_w = os.pipe()
        self._thread = threading.Thread(target=self._serve, daemon=True)
        self._thread.start()

    def _serve(self):
        pending = b''
        while True:
            ready, _, _ = select.select([self._fd, self._stop_r], [], [])
            if self._stop_r in ready:
                return
            try:
                pending += os.read(self._fd, 256)
            except OSError:
                return
            while pending:
                if pending[0] == 0x7F:
                    os.write(self._fd, bytes([ACK]))
                    pending = pending[1:]
                elif len(pending) >= 2:
                    command = pending[:2]
                    pending = pending[2:]
                    if command == b'\x00\xff':
                        os.write(self._fd, self.GET_REPLY)
                    else:
                        os.write(self._fd, bytes([NACK]))
                else:
                    break

    def stop(self):
        os.write(self._stop_w, b'x')
        self._thread.join(timeout=2)
        os.close(self._stop_r)
        os.close(self._stop_w)


class SimulatorProcess:
    """tarvik-bootsim serving the master end of a pty. Once it has started it
    holds the line alone (master and slave): when it ends, by a hang-up fault
    or SIGHUP or when it is stopped, the line drops as in an unplug."""

    READY_TIMEOUT = 5

    def __init__(self, bootsim, master_fd, extra_args):
        argv = [bootsim, '--fd', str(master_fd), '--baud', '0', '--exit-with-stdin']
        argv += list(extra_args)
        # The simulator is a helper of the harness, not a program under test:
        # it runs without the umockdev preload. Its stdin is a pipe from us,
        # so that it ends with the harness however the harness ends.
        env = {k: v for k, v in os.environ.items() if k not in ('LD_PRELOAD', 'UMOCKDEV_DIR')}
        self._process = subprocess.Popen(argv, pass_fds=(master_fd,), env=env,
                                         stdin=subprocess.PIPE, stdout=subprocess.PIPE)
        # "FD N" says the line is served; without it the scenario is broken.
        ready, _, _ = select.select([self._process.stdout], [], [], self.READY_TIMEOUT)
        line = self._process.stdout.readline().decode(errors='replace') if ready else ''
        if not line.startswith('FD '):
            self.stop()
            raise RuntimeError(f'tarvik-bootsim did not start: {line.strip() or "no answer"}')

    holds_line = True

    def ended(self):
        return self._process.poll() is not None

    def stop(self):
        if self._process.poll() is None:
            self._process.send_signal(signal.SIGTERM)
            try:
                self._process.wait(timeout=5)
            except subprocess.TimeoutExpired:
                self._process.kill()
                self._process.wait()
        self._process.stdin.close()
        self._process.stdout.close()


class PluggedAdapter:
    """The live state of one plugged adapter: its pty and whoever serves it.
    master_fd and slave_fd are None when the server holds the line alone."""

    def __init__(self, adapter, master_fd, slave_fd, pts_name, server):
        self.adapter = adapter
        self.master_fd = master_fd
        self.slave_fd = slave_fd
        self.pts_name = pts_name
        self.server = server

    def hang_up(self):
        if self.server is not None:
            self.server.stop()
        for fd in (self.master_fd, self.slave_fd):
            if fd is not None:
                os.close(fd)
        self.master_fd = self.slave_fd = None


class FakeSerialBed:
    def __init__(self, bootsim=None, bootsim_args=()):
        self.bed = UMockdev.Testbed.new()
        self.root = self.bed.get_root_dir()
        self.bootsim = bootsim
        self.bootsim_args = list(bootsim_args)
        self.plugged = {}
        self._ioctl_handlers = {}
        self.bed.add_from_string(FIXED_PORTS)

    # -- plugging ---------------------------------------------------------

    def plug(self, adapter, serve=False):
        """Creates the adapter's node and sysfs devices; the uevents ("add",
        parents first) go out once the node can be opened and is served."""
        if adapter.key in self.plugged:
            raise RuntimeError(f'{adapter.key} is plugged in already')
        master_fd, slave_fd = os.openpty()
        pts_name = os.ttyname(slave_fd)
        server = None
        try:
            self._make_raw(master_fd)
            self._create_node(adapter, pts_name)
            if adapter.devnode not in self._ioctl_handlers:
                handler = TtyIoctlHandler()
                self.bed.attach_ioctl(adapter.devnode, handler)
                self._ioctl_handlers[adapter.devnode] = handler
            if serve:
                server = (SimulatorProcess(self.bootsim, master_fd, self.bootsim_args)
                          if self.bootsim else BuiltinResponder(master_fd))
        except Exception:
            os.close(master_fd)
            os.close(slave_fd)
            self._remove_node(adapter, pts_name)
            raise
        if server is not None and server.holds_line:
            os.close(master_fd)
            os.close(slave_fd)
            master_fd = slave_fd = None
        # Otherwise the harness keeps the slave end open while the adapter is
        # plugged in: a pty master whose slave is closed reads EIO, which a
        # server would take for the end of the line each time the program
        # under test closes the port.
        self.plugged[adapter.key] = PluggedAdapter(adapter, master_fd, slave_fd, pts_name, server)
        self.bed.add_from_string(adapter.description())

    def unplug(self, adapter):
        """Hangs the line up (the program's open port sees POLLHUP, reads 0
        and fails writes with EIO), then removes the devices children first."""
        state = self.plugged.pop(adapter.key, None)
        if state is None:
            raise RuntimeError(f'{adapter.key} is not plugged in')
        state.hang_up()
        self._remove_devices(adapter, state.pts_name)

    def reap(self):
        """Unplugs every adapter whose simulator has ended by itself (a
        hang-up fault, SIGHUP, a crash): its line is down already, and a
        real bridge whose line drops has been pulled out. Returns them."""
        ended = [state for state in self.plugged.values()
                 if isinstance(state.server, SimulatorProcess) and state.server.ended()]
        for state in ended:
            self.unplug(state.adapter)
        return [state.adapter for state in ended]

    def close(self):
        for key in list(self.plugged):
            self.plugged.pop(key).hang_up()

    def _remove_devices(self, adapter, pts_name):
        paths = adapter.syspaths_children_first()
        for path in paths:
            self.bed.uevent(path, 'remove')
        for path in paths:
            self.bed.remove_device(path)
        self._remove_node(adapter, pts_name)

    # -- nodes ------------------------------------------------------------

    @staticmethod
    def _make_raw(master_fd):
        attrs = termios.tcgetattr(master_fd)
        attrs[0] &= ~(termios.IGNCR | termios.INLCR | termios.ICRNL)
        attrs[1] &= ~(termios.ONLCR | termios.OCRNL)
        attrs[3] &= ~(termios.ICANON | termios.ECHO)
        termios.tcsetattr(master_fd, termios.TCSANOW, attrs)

    def _ptymap_entry(self, pts_name):
        return os.path.join(self.root, 'dev', '.ptymap', pts_name.replace('/', '_'))

    def _create_node(self, adapter, pts_name):
        node = os.path.join(self.root, adapter.devnode.lstrip('/'))
        os.makedirs(os.path.dirname(node), exist_ok=True)
        os.symlink(pts_name, node)
        # The preload reports only major 4 as a terminal to isatty().
        entry = self._ptymap_entry(pts_name)
        os.makedirs(os.path.dirname(entry), exist_ok=True)
        if os.path.lexists(entry):
            os.unlink(entry)
        os.symlink('4:64', entry)

    def _remove_node(self, adapter, pts_name):
        for path in (os.path.join(self.root, adapter.devnode.lstrip('/')),
                     self._ptymap_entry(pts_name)):
            if os.path.lexists(path):
                os.unlink(path)
