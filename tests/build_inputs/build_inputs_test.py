#!/usr/bin/python3
"""What the build accepts as a release's inputs, and what it refuses, run
through the scripts that the configure step runs:

  firmware/import_firmware.cmake  firmware files, good and bad, made here
                                  from today's images with srec_cat
  cmake/release_inputs.cmake      versions, dates and application IDs

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


def cmake_script(script, **defines):
    argv = [CMAKE] + [f'-D{k}={v}' for k, v in defines.items()] + ['-P', script]
    r = subprocess.run(argv, capture_output=True, text=True, timeout=60)
    # CMake wraps its messages: one line, blanks collapsed.
    return r.returncode, ' '.join((r.stdout + r.stderr).split())


def lines_with(text, line, change):
    """The HEX or S-record text with its line-th line (from 1) changed."""
    lines = text.splitlines(keepends=True)
    lines[line - 1] = change(lines[line - 1])
    return ''.join(lines)


class FirmwareFiles(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.work = tempfile.mkdtemp(prefix='tarvik-firmware-')
        images = os.path.join(SOURCE, 'firmware')
        with open(os.path.join(images, 'flash.bin'), 'rb') as f:
            cls.flash = f.read()
        with open(os.path.join(images, 'eeprom.bin'), 'rb') as f:
            cls.eeprom = f.read()
        both = [os.path.join(images, 'flash.bin'), '-binary', '-offset', '0x8C00',
                os.path.join(images, 'eeprom.bin'), '-binary', '-offset', '0x1000']
        cls.hex = cls.srec_cat(both, '-intel')
        cls.s19 = cls.srec_cat(both, '-motorola', '-execution-start-address=0x8C00')

    @classmethod
    def tearDownClass(cls):
        shutil.rmtree(cls.work)

    @staticmethod
    def srec_cat(inputs, *output):
        return subprocess.run(['srec_cat', *inputs, '-o', '-', *output], check=True,
                              capture_output=True, text=True).stdout

    def write(self, name, content):
        path = os.path.join(self.work, name)
        if isinstance(content, dict):  # a directory of files
            os.makedirs(path, exist_ok=True)
            for file, data in content.items():
                with open(os.path.join(path, file), 'wb') as f:
                    f.write(data)
        else:
            with open(path, 'w') as f:
                f.write(content)
        return path

    def test_good_files_give_todays_images(self):
        s28 = self.srec_cat([self.write('in.s19', self.s19), '-motorola'], '-motorola',
                            '-address-length=3', '-execution-start-address=0x8C00')
        s37 = self.srec_cat([self.write('in.s19', self.s19), '-motorola'], '-motorola',
                            '-address-length=4', '-execution-start-address=0x8C00')
        hex_lines = self.hex.splitlines(keepends=True)
        # Only the first 1,000 bytes of program memory: the rest is erased flash.
        short = self.srec_cat([self.write('in.hex', self.hex), '-intel', '-crop', '0x1000', '0x1400',
                               '0x8C00', str(0x8C00 + 1000)], '-intel')
        cases = [
            ('the .bin pair', os.path.join(SOURCE, 'firmware'), FLASH_SIZE, self.flash),
            ('Intel HEX', self.write('fw.hex', self.hex), FLASH_SIZE, self.flash),
            ('Intel HEX, .IHX', self.write('fw.IHX', self.hex), FLASH_SIZE, self.flash),
            ('S19', self.write('fw.s19', self.s19), FLASH_SIZE, self.flash),
            ('S28', self.write('fw.s28', s28), FLASH_SIZE, self.flash),
            ('S37', self.write('fw.srec', s37), FLASH_SIZE, self.flash),
            ('overlapping records that agree, out of order',
             self.write('agree.hex', ''.join(hex_lines[:2] + hex_lines[1:])), FLASH_SIZE, self.flash),
            ('program memory in part', self.write('short.mot', self.srec_cat(
                [self.write('in.hex', short), '-intel'], '-motorola', '-execution-start-address=0')),
             1000, self.flash[:1000] + bytes(FLASH_SIZE - 1000)),
        ]
        for name, firmware, from_file, flash in cases:
            with self.subTest(name):
                out = os.path.join(self.work, 'out-' + name.replace(' ', '-'))
                status, text = cmake_script(os.path.join(SOURCE, 'firmware/import_firmware.cmake'),
                                            FIRMWARE=firmware, OUTPUT_DIR=out)
                self.assertEqual(status, 0, text)
                self.assertIn(f'{from_file} of {FLASH_SIZE} bytes from the file', text)
                with open(os.path.join(out, 'flash.bin'), 'rb') as f:
                    self.assertEqual(f.read(), flash)
                with open(os.path.join(out, 'eeprom.bin'), 'rb') as f:
                    self.assertEqual(f.read(), self.eeprom)

    def test_bad_files_are_refused_naming_the_fault(self):
        hex_path = self.write('in.hex', self.hex)

        def only(*ranges):  # today's images cropped to the ranges
            return self.srec_cat([hex_path, '-intel', '-crop', *ranges], '-intel')

        def with_byte(address):  # today's images and one more byte
            return self.srec_cat([hex_path, '-intel', '-generate', hex(address), hex(address + 1),
                                  '-constant', '0x5A'], '-intel')

        cases = [
            ('unknown extension', self.write('fw.bin', self.hex), r'unknown extension "\.bin"'),
            ('no such file', os.path.join(self.work, 'none.hex'), 'no such file'),
            ('wrong checksum', self.write('sum.hex', lines_with(
                self.hex, 3, lambda line: line[:-3] + ('00' if line[-3:-1] != '00' else '01') + '\n')),
             r'line 3: checksum mismatch'),
            ('overlapping records that disagree', self.write('disagree.hex', lines_with(
                self.hex, 2, lambda line: line + ':01100000FFF0\n')),
             r'line 3: multiple 0x0*1000 values'),
            ('a byte below program memory', self.write('below.hex', with_byte(0x8BFF)),
             r'a byte at 0x8BFF, outside'),
            ('a byte past program memory', self.write('past.s19', self.srec_cat(
                [self.write('past.hex', with_byte(0xFE24)), '-intel'], '-motorola',
                '-execution-start-address=0')), r'a byte at 0xFE24, outside'),
            ('a byte above 64 KiB', self.write('far.hex', with_byte(0x18C00)), r'a byte at 0x18C00'),
            ('no program memory', self.write('eeprom.hex', only('0x1000', '0x1400')),
             r'no byte of program memory'),
            ('data memory in part', self.write('part.hex', only('0x1000', '0x1200', '0x8C00', '0xFE24')),
             r'missing: 0x1200-0x13FF'),
            ('a line that is no record', self.write('colon.hex', lines_with(self.hex, 500, lambda l: l[1:])),
             r'line 500 is no record'),
            ('cut short', self.write('cut.s19', ''.join(self.s19.splitlines(keepends=True)[:-20])),
             r'without its end record'),
            ('a .bin of the wrong size', self.write('dir', {'flash.bin': self.flash[:-1],
                                                            'eeprom.bin': self.eeprom}),
             rf'{FLASH_SIZE - 1} bytes; program memory must be exactly {FLASH_SIZE}'),
            ('no eeprom.bin', self.write('dir2', {'flash.bin': self.flash}), r'no eeprom\.bin'),
        ]
        out = os.path.join(self.work, 'refused')
        for name, firmware, fault in cases:
            with self.subTest(name):
                shutil.rmtree(out, ignore_errors=True)
                os.makedirs(out)
                self.write('refused', {'flash.bin': b'old', 'eeprom.bin': b'old'})
                status, text = cmake_script(os.path.join(SOURCE, 'firmware/import_firmware.cmake'),
                                            FIRMWARE=firmware, OUTPUT_DIR=out)
                self.assertNotEqual(status, 0, text)
                self.assertRegex(text, f'Firmware {re.escape(firmware)}\\S*: .*{fault}')
                for image in os.listdir(out):  # nothing written
                    with open(os.path.join(out, image), 'rb') as f:
                        self.assertEqual((image, f.read()), (image, b'old'))
                self.assertEqual(sorted(os.listdir(out)), ['eeprom.bin', 'flash.bin'])


class ReleaseInputs(unittest.TestCase):
    def check(self, version='1.3.1', date='17.07.2011', app_id='example.tarvik.TarvikUpdate'):
        return cmake_script(os.path.join(SOURCE, 'cmake/release_inputs.cmake'), TARVIK_VERSION=version,
                            TARVIK_RELEASE_DATE=date, TARVIK_APP_ID=app_id)

    def test_good_inputs_and_their_forms(self):
        for inputs, forms in [
            ({}, '1.3.1 (1.3.1.0), 2011-07-17, example.tarvik.TarvikUpdate'),
            ({'version': '2', 'date': '29.02.2000'}, '2 (2.0.0.0), 2000-02-29'),
            ({'version': '65535.0.0.7', 'date': '29.02.2012'}, '65535.0.0.7 (65535.0.0.7), 2012-02-29'),
        ]:
            with self.subTest(**inputs):
                status, text = self.check(**inputs)
                self.assertEqual(status, 0, text)
                self.assertIn(forms, text)

    def test_bad_inputs_are_refused(self):
        for inputs, fault in [
            ({'version': ''}, 'digits and dots only'),
            ({'version': 'v1.3'}, 'digits and dots only'),
            ({'version': '1.3-rc1'}, 'digits and dots only'),
            ({'version': '1..3'}, 'between two numbers'),
            ({'version': '.1'}, 'between two numbers'),
            ({'version': '1.3.'}, 'between two numbers'),
            ({'version': '1.2.3.4.5'}, 'at most four numbers'),
            ({'version': '1.65536'}, '65536 is above 65535'),
            ({'version': '99999999999999999999'}, 'above 65535'),
            ({'version': '1.03'}, 'leading zero'),
            ({'date': '31.02.2011'}, 'no such day'),
            ({'date': '29.02.2011'}, 'no such day'),
            ({'date': '29.02.1900'}, 'no such day'),
            ({'date': '00.07.2011'}, 'no such day'),
            ({'date': '17.13.2011'}, 'no such day'),
            ({'date': '17.07.0000'}, 'no such day'),
            ({'date': '2011-07-17'}, 'DD.MM.YYYY'),
            ({'date': '1.7.2011'}, 'DD.MM.YYYY'),
            ({'date': ''}, 'DD.MM.YYYY'),
            ({'app_id': 'tarvik.TarvikUpdate'}, 'reverse-DNS'),
            ({'app_id': 'example.tarvik.Tarvik-Update'}, 'reverse-DNS'),
        ]:
            with self.subTest(**inputs):
                status, text = self.check(**inputs)
                self.assertNotEqual(status, 0, text)
                name = {'version': 'TARVIK_VERSION', 'date': 'TARVIK_RELEASE_DATE',
                        'app_id': 'TARVIK_APP_ID'}[next(iter(inputs))]
                self.assertIn(f'{name} "{next(iter(inputs.values()))}": ', text)
                self.assertIn(fault, text)


if __name__ == '__main__':
    unittest.main(verbosity=1)
