#!/usr/bin/python3
"""What the build accepts as a release's inputs and what it refuses, through
the scripts the configure step runs: firmware/import_firmware.cmake on
firmware files made here from today's images with srec_cat, and
cmake/release_inputs.cmake on versions, dates, application IDs, support
addresses and the Debian package's version; and that each such fact is
written in one place only.

  build_inputs_test.py SOURCE_DIR [CMAKE]
"""
import os
import re
import shutil
import subprocess
import sys
import tempfile
import unittest

SOURCE = os.path.abspath(sys.argv.pop(1))
CMAKE = sys.argv.pop(1) if len(sys.argv) > 1 else 'cmake'
FLASH_SIZE = 0xFE24 - 0x8C00
END = ['-execution-start-address=0x8C00']  # an S-record file's end record


def cmake_script(script, **defines):
    r = subprocess.run([CMAKE, *(f'-D{k}={v}' for k, v in defines.items()), '-P',
                        os.path.join(SOURCE, script)], capture_output=True, text=True, timeout=60)
    return r.returncode, ' '.join((r.stdout + r.stderr).split())  # CMake wraps its messages


def read(path):
    with open(path, 'rb') as f:
        return f.read()


def srec_cat(*args):
    return subprocess.run(['srec_cat', *args], check=True, capture_output=True, text=True).stdout


class FirmwareFiles(unittest.TestCase):
    def setUp(self):
        self.work = tempfile.mkdtemp(prefix='tarvik-firmware-')
        self.addCleanup(shutil.rmtree, self.work)
        images = os.path.join(SOURCE, 'firmware')
        self.flash = read(os.path.join(images, 'flash.bin'))
        self.eeprom = read(os.path.join(images, 'eeprom.bin'))
        self.hex = self.write('todays.hex', srec_cat(
            os.path.join(images, 'flash.bin'), '-binary', '-offset', '0x8C00',
            os.path.join(images, 'eeprom.bin'), '-binary', '-offset', '0x1000', '-o', '-', '-intel'))

    def write(self, name, content):
        path = os.path.join(self.work, name)
        if isinstance(content, dict):  # a directory of images
            os.makedirs(path)
            for file, data in content.items():
                with open(os.path.join(path, file), 'wb') as f:
                    f.write(data)
        else:
            with open(path, 'w') as f:
                f.write(content)
        return path

    def converted(self, name, *filters, output=('-intel',)):
        """Today's images through srec_cat's filters, into a file."""
        return self.write(name, srec_cat(self.hex, '-intel', *filters, '-o', '-', *output))

    def edited(self, name, line, change):
        """Today's HEX file with its line-th line (from 1) changed."""
        with open(self.hex) as f:
            lines = f.readlines()
        lines[line - 1] = change(lines[line - 1])
        return self.write(name, ''.join(lines))

    def test_good_files_give_todays_images(self):
        s19 = ('-motorola', *END)
        for name, firmware, from_file in [
            ('the .bin pair', os.path.join(SOURCE, 'firmware'), FLASH_SIZE),
            ('Intel HEX', self.hex, FLASH_SIZE),
            ('S19, .MOT', self.converted('fw.MOT', output=s19), FLASH_SIZE),
            ('S37', self.converted('fw.s37', output=(*s19, '-address-length=4')), FLASH_SIZE),
            ('S19 as srec_cat writes it without a start address: a count record, no S9',
             self.converted('counted.s19', output=('-motorola',)), FLASH_SIZE),
            ('records that overlap and agree, out of order',
             self.edited('agree.ihx', 3, lambda line: line * 2), FLASH_SIZE),
            ('the first 1,000 bytes of program memory only',
             self.converted('part.srec', '-crop', '0x1000', '0x1400', '0x8C00', hex(0x8C00 + 1000),
                            output=s19), 1000),
        ]:
            with self.subTest(name):
                out = os.path.join(self.work, 'out')
                status, text = cmake_script('firmware/import_firmware.cmake', FIRMWARE=firmware,
                                            OUTPUT_DIR=out)
                self.assertEqual(status, 0, text)
                filled = ('none filled' if from_file == FLASH_SIZE
                          else f'0x{0x8C00 + from_file:04X}-0xFE23 filled with 0x00')
                self.assertIn(f'{from_file} of {FLASH_SIZE} bytes from the file, {filled}', text)
                flash = self.flash[:from_file] + bytes(FLASH_SIZE - from_file)  # erased: 0x00
                self.assertEqual(read(os.path.join(out, 'flash.bin')), flash)
                self.assertEqual(read(os.path.join(out, 'eeprom.bin')), self.eeprom)

    def test_bad_files_are_refused_naming_file_and_fault(self):
        old = {'flash.bin': b'old', 'eeprom.bin': b'old'}

        def one_more_byte(name, address, output=('-intel',)):
            return self.converted(name, '-generate', hex(address), hex(address + 1),
                                  '-constant', '1', output=output)
        with open(self.hex) as f:
            hex_text = f.read()
        joined = (srec_cat(self.hex, '-intel', '-crop', '0x1000', '0x9000', '-o', '-', '-intel') +
                  srec_cat(self.hex, '-intel', '-crop', '0x9000', '0x10000', '-o', '-', '-intel'))
        end = joined.splitlines().index(':00000001FF') + 1
        counted = srec_cat(self.hex, '-intel', '-crop', '0x1000', '0x1400', '0x8C00', '0x9000',
                           '-o', '-', '-motorola', '-address-length=3')
        for name, firmware, fault in [
            ('unknown extension', self.write('fw.bin', ''), 'unknown extension ".bin"'),
            ('a wrong checksum',
             self.edited('sum.hex', 3, lambda line: line.replace('E6\n', 'E7\n')),
             'line 3: checksum mismatch (01 != 00)'),
            ('records that overlap and disagree',
             self.edited('clash.hex', 2, lambda line: line + ':01100000FFF0\n'),
             'line 3: multiple 0x00001000 values'),
            ('a byte below program memory', one_more_byte('low.hex', 0x8BFF),
             'a byte at 0x8BFF, outside'),
            ('a byte past program memory', one_more_byte('high.s19', 0xFE24, ('-motorola', *END)),
             'a byte at 0xFE24, outside'),
            ('no program memory', self.converted('none.hex', '-crop', '0x1000', '0x1400'),
             'no byte of program memory'),
            ('data memory in part', self.converted('half.hex', '-exclude', '0x1200', '0x1300'),
             'missing: 0x1200-0x12FF'),
            ('a line that is no record', self.edited('colon.hex', 500, lambda line: line[1:]),
             'line 500 is no record'),
            ('cut short: neither count nor termination record',
             self.write('cut.s28', ''.join(counted.splitlines(True)[:-1])),
             'without its end record or a count record'),
            ('two HEX files joined with cat', self.write('joined.hex', joined),
             f'line {end + 1} follows the end record of line {end}'),
            ('a UTF-8 byte-order mark', self.write('bom.hex', '\ufeff' + hex_text),
             'UTF-8 byte-order mark'),
            ('a .bin of the wrong size', self.write('dir', {'flash.bin': self.flash[1:],
                                                            'eeprom.bin': self.eeprom}),
             f'{FLASH_SIZE - 1} bytes; program memory must be exactly {FLASH_SIZE}'),
        ]:
            with self.subTest(name):
                out = self.write(f'out-{len(os.listdir(self.work))}', old)
                status, text = cmake_script('firmware/import_firmware.cmake', FIRMWARE=firmware,
                                            OUTPUT_DIR=out)
                self.assertNotEqual(status, 0, text)
                self.assertIn(f'Firmware {firmware}', text)
                self.assertIn(fault, text)
                written = {name: read(os.path.join(out, name)) for name in os.listdir(out)}
                self.assertEqual(written, old, 'nothing written')


class ReleaseInputs(unittest.TestCase):
    def check(self, version='1.3.1', date='17.07.2011', app_id='example.tarvik.TarvikUpdate',
              **more):
        return cmake_script('cmake/release_inputs.cmake', TARVIK_VERSION=version,
                            TARVIK_RELEASE_DATE=date, TARVIK_APP_ID=app_id,
                            **{f'TARVIK_{k.upper()}': v for k, v in more.items()})

    def test_good_inputs_and_the_forms_made_of_them(self):
        status, text = self.check(version='2', date='29.02.2000', debian_version='2~test',
                                  support_url='https://sup.tarvik.example:8443/help/ru#top')
        self.assertEqual(status, 0, text)
        self.assertIn('2 (2.0.0.0), 2000-02-29', text)
        self.assertIn('support at https://sup.tarvik.example:8443/help/ru#top', text)

    def test_bad_inputs_are_refused(self):
        for (key, value), fault in [
            (('version', '1.3-rc1'), 'digits and dots only'),
            (('version', '1..3'), 'between two numbers'),
            (('version', '1.2.3.4.5'), 'at most four numbers'),
            (('version', '1.65536'), '65536 is above 65535'),
            (('version', '1.03'), 'leading zero'),
            (('date', '31.02.2011'), 'no such day'),
            (('date', '29.02.1900'), 'no such day'),
            (('date', '17.13.2011'), 'no such day'),
            (('date', '2011-07-17'), 'DD.MM.YYYY'),
            (('app_id', 'tarvik.TarvikUpdate'), 'reverse-DNS'),
            (('support_url', 'http://tarvik.example/'), 'https://'),
            (('support_url', 'https://localhost/'), "the maker's host"),
            (('support_url', 'https://tarvik.example/a b'), 'letters, digits'),
            (('support_url', 'https://tarvik.example/?a=1&b=<2>'), 'letters, digits'),
            (('debian_version', '1.3.0'), "not the program's, 1.3.1"),
        ]:
            with self.subTest(**{key: value}):
                status, text = self.check(**{key: value})
                name = {'date': 'RELEASE_DATE'}.get(key, key.upper())
                self.assertNotEqual(status, 0, text)
                self.assertIn(f'TARVIK_{name} "{value}": ', text)
                self.assertIn(fault, text)


class OneFactOnce(unittest.TestCase):
    """Each fact is written in its one place; these files take it from there."""

    def test_no_copy_of_a_fact(self):
        for fact, pattern, paths in [
            ("the program's name (CMakeLists.txt)", r'GPS Tarvik Update',
             ['Update_Main', 'window_win32', 'packaging', 'scripts/sign-exe.sh',
              'scripts/release.sh']),
            ('the blocks of a memory (memory_map.h)', r'\b(229|128|29219)\b', ['bench']),
            ("the build's version and date (release_info.h)", r'1\.3\.1|17\.07\.2011',
             ['tests/window/window_layout_test.cpp', 'tests/release/refusals_test.py']),
            ('the support address (TARVIK_SUPPORT_URL)', r'tarvik\.example', ['packaging']),
        ]:
            for path in paths:
                path = os.path.join(SOURCE, path)
                files = ([os.path.join(d, f) for d, _, fs in os.walk(path) for f in fs]
                         if os.path.isdir(path) else [path])
                for file in files:
                    with open(file, errors='replace') as f:
                        found = re.search(pattern, f.read())
                    with self.subTest(fact=fact, file=os.path.relpath(file, SOURCE)):
                        self.assertIsNone(found, f'a copy of {fact}')


if __name__ == '__main__':
    unittest.main(verbosity=1)
