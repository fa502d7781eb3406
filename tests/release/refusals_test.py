#!/usr/bin/python3
"""The release script on bad inputs: each ends with a message that says what
is wrong, before anything is built, and nothing in the output directory.

  refusals_test.py SOURCE_DIR VERSION    (the build's version)
"""
import os
import shutil
import signal
import subprocess
import sys
import tempfile
import unittest

SOURCE = os.path.abspath(sys.argv.pop(1))
VERSION = sys.argv.pop(1)


class BadInputs(unittest.TestCase):
    def setUp(self):
        self.work = tempfile.mkdtemp(prefix='tarvik-release-')
        self.addCleanup(shutil.rmtree, self.work)
        self.output = os.path.join(self.work, 'dist')
        self.gnupg = os.path.join(self.work, 'gnupg')  # with no key in it
        os.mkdir(self.gnupg, 0o700)

    def file(self, name, content):
        path = os.path.join(self.work, name)
        with open(path, 'w') as f:
            f.write(content)
        return path

    def openssl(self, *args, key):
        subprocess.run(['openssl', *args], input=key, check=True, capture_output=True)

    def test_each_is_refused_with_nothing_written(self):
        shutil.copytree(os.path.join(SOURCE, 'firmware'), os.path.join(self.work, 'copy'))
        # Not the stand-in: one byte of each image changed.
        tracker = os.path.join(self.work, 'tracker')
        shutil.copytree(os.path.join(SOURCE, 'firmware'), tracker)
        for image in ('flash.bin', 'eeprom.bin'):
            with open(os.path.join(tracker, image), 'r+b') as f:
                first = f.read(1)[0]
                f.seek(0)
                f.write(bytes([first ^ 1]))
        bad_checksum = self.file('bad.hex', ':018C0000AAC8\n:00000001FF\n')
        cert = self.file('not-a-certificate.p12', 'a text, not a certificate\n')
        password = self.file('password', 'secret\n')
        tested = self.file('tested.exe', 'an exe no Windows stage passed\n')
        # A self-signed certificate; its key only in pipes.
        key = subprocess.run(['openssl', 'genpkey', '-algorithm', 'RSA'], check=True,
                             capture_output=True).stdout
        self_signed = os.path.join(self.work, 'self.pem')
        self.openssl('req', '-x509', '-key', '/dev/stdin', '-out', self_signed, '-days', '2',
                     '-subj', '/CN=Self', '-addext', 'extendedKeyUsage=codeSigning', key=key)
        p12 = os.path.join(self.work, 'self.p12')
        self.openssl('pkcs12', '-export', '-inkey', '/dev/stdin', '-in', self_signed, '-out', p12,
                     '-passout', 'pass:secret', key=key)
        signing = ['--firmware', tracker, '--certificate', p12, '--password-file', password]
        cases = [
            ([], 'holds the stand-in flash.bin'),
            (['--firmware', os.path.join(self.work, 'copy')], 'holds the stand-in flash.bin'),
            (['--firmware', bad_checksum], 'checksum'),
            (['--firmware', password], 'unknown extension'),
            (['--firmware', os.path.join(self.work, 'none.hex')], 'no firmware file'),
            (['--test-firmware', '--version', '1.x'], 'digits and dots only'),
            (['--test-firmware', '--version', '0'], f'older than {VERSION}'),
            (['--test-firmware', '--date', '31.04.2027'], 'there is no such day'),
            (['--test-firmware', '--app-id', 'TarvikUpdate'], 'a reverse-DNS name'),
            (['--test-firmware', '--support-url', 'http://tarvik.example/'], 'https://'),
            (['--test-firmware', '--certificate', cert, '--password-file', password],
             'is not a PKCS#12 file'),
            (['--test-firmware', '--certificate', cert], 'go together'),
            (['--test-firmware', '--url', 'https://tarvik.example/'], 'for signing'),
            (['--test-firmware', '--tested-exe', tested], 'no pass record of the Windows stage'),
            (['--firmware', tracker], 'give --gpg-key'),
            (['--firmware', tracker, '--gpg-key', 'nobody@tarvik.invalid'], 'no secret OpenPGP key'),
            (signing, 'serves test releases only'),
            ([*signing, '--ca-file', self_signed], 'give --timestamp'),
            (['--test-firmware', '--output'], 'wants a value'),
            (['--test-firmwar'], 'unknown option'),
        ]
        for args, said in cases:
            with self.subTest(args=args):
                # In a session of its own: a release that went on to build is
                # ended with everything it started.
                r = subprocess.Popen([os.path.join(SOURCE, 'scripts/release.sh'),
                                      '--output', self.output, *args], start_new_session=True,
                                     stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True,
                                     env={**os.environ, 'GNUPGHOME': self.gnupg})
                try:
                    stdout, stderr = r.communicate(timeout=60)
                except subprocess.TimeoutExpired:
                    os.killpg(r.pid, signal.SIGKILL)
                    stdout, stderr = r.communicate()
                self.assertNotEqual(r.returncode, 0, stdout)
                self.assertIn(said, stderr)
                self.assertNotIn('==', stdout.split('checking the inputs')[-1],
                                 'it went on past the checks')
                self.assertFalse(os.path.exists(self.output), 'the output directory was made')


if __name__ == '__main__':
    unittest.main()
