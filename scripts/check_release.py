#!/usr/bin/python3
"""A release's files as an owner gets them, each check on the built files, not
on the sources: names and versions (a test build's marked), the checksums and
their OpenPGP signature, what the zip holds, the exe's headers and manifest,
the firmware inside both programs, the licences, the support address.
scripts/release.sh runs it before it publishes anything.

  check_release.py --images DIR --version V --keyring FILE [--test]
                   [--support-url URL] RELEASE_DIR

--images: the two firmware images the release was checked with; --keyring:
the OpenPGP public key (gpg --export) that must have signed SHA256SUMS.
Prints each check; the exit status is 1 when any fails.
"""
import argparse
import hashlib
import io
import os
import subprocess
import sys
import tarfile
import zipfile

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
ZIP_MEMBERS = ['TarvikUpdate.exe', 'text.rtf', 'guide-ru.html', 'LICENSE.txt',
               'THIRD-PARTY-NOTICES.txt']
GUIDE_FALLBACK = 'За помощью обращайтесь туда, где вы получили программу.'


class Release:
    def __init__(self, args):
        self.args = args
        self.dir = args.release
        self.mark = '-test' if args.test else ''
        self.deb_version = args.version + ('~test' if args.test else '')
        self.names = {
            'zip': f'TarvikUpdate-{args.version}{self.mark}-windows.zip',
            'exe': f'TarvikUpdate{self.mark}.exe',
            'deb': f'tarvikupdate_{self.deb_version}_amd64.deb',
            'buildinfo': f'TarvikUpdate-{args.version}{self.mark}.buildinfo',
        }

    def path(self, kind):
        return os.path.join(self.dir, self.names.get(kind, kind))

    def read(self, kind):
        with open(self.path(kind), 'rb') as f:
            return f.read()

    def zip(self):
        with zipfile.ZipFile(self.path('zip')) as z:
            return {i.filename: z.read(i) for i in z.infolist()}

    def deb_files(self):
        """The package's files: path -> content."""
        if not hasattr(self, '_deb'):
            data = subprocess.run(['dpkg-deb', '--fsys-tarfile', self.path('deb')], check=True,
                                  capture_output=True).stdout
            with tarfile.open(fileobj=io.BytesIO(data)) as tar:
                self._deb = {m.name[1:]: tar.extractfile(m).read()
                             for m in tar.getmembers() if m.isfile()}
        return self._deb

    def image(self, name):
        with open(os.path.join(self.args.images, name), 'rb') as f:
            return f.read()


def run(*command):
    r = subprocess.run(command, capture_output=True, text=True)
    return r.returncode == 0, (r.stdout + r.stderr).strip()


# Each check returns None when it holds, else what is wrong.
def names(r):
    if os.path.basename(os.path.normpath(r.dir)) != r.args.version + r.mark:
        return f'the folder is not named {r.args.version + r.mark}'
    missing = [n for n in [*r.names.values(), 'RELEASE.md', 'SHA256SUMS', 'SHA256SUMS.asc']
               if not os.path.exists(r.path(n))]
    return f'no {", ".join(missing)}' if missing else None


def checksums(r):
    listed = {}
    for line in r.read('SHA256SUMS').decode().splitlines():
        digest, name = line.split('  ', 1)
        listed[name] = digest
    others = set(os.listdir(r.dir)) - {'SHA256SUMS', 'SHA256SUMS.asc'}
    if set(listed) != others:
        return f'SHA256SUMS lists {sorted(listed)}, the folder holds {sorted(others)}'
    wrong = [n for n, d in listed.items() if hashlib.sha256(r.read(n)).hexdigest() != d]
    return f'wrong checksum: {", ".join(wrong)}' if wrong else None


def signature(r):
    ok, said = run('gpgv', '--keyring', os.path.abspath(r.args.keyring), r.path('SHA256SUMS.asc'),
                   r.path('SHA256SUMS'))
    return None if ok else said


def zip_members(r):
    members = list(r.zip())
    return None if members == ZIP_MEMBERS else f'the zip holds {members}'


def zip_exe(r):
    return None if r.zip()['TarvikUpdate.exe'] == r.read('exe') else 'another exe than the bare one'


def licences(r):
    z = r.zip()
    licence, notices = z['LICENSE.txt'].decode(), z['THIRD-PARTY-NOTICES.txt'].decode()
    words = ' '.join(notices.split())
    wanted = [(licence, 'Permission is hereby granted'), (licence, '\r\n'),
              (words, "is the tracker maker's. It is not covered by TarvikUpdate's MIT licence"),
              (words, 'mingw-w64'), (words, 'winpthreads'),
              (words, 'GCC RUNTIME LIBRARY EXCEPTION'), (words, 'libstdc++')]
    lacking = [repr(text) for file, text in wanted if text not in file]
    return f'the licence or the notices lack {", ".join(lacking)}' if lacking else None


def program_file(r):
    ok, said = run(os.path.join(ROOT, 'tests/win32_window/program_file_check.sh'),
                   'i686-w64-mingw32-objdump', r.path('exe'), 'i686')
    return None if ok else '; '.join(line for line in said.splitlines()
                                     if line.startswith('program_file_check:'))


def firmware(r):
    images = [(n, r.image(n)) for n in ('flash.bin', 'eeprom.bin')]
    programs = [('the exe', r.read('exe')),
                ("the package's program", r.deb_files()['/usr/bin/TarvikUpdate'])]
    lacking = [f'{p} lacks {n}' for p, program in programs for n, image in images
               if image not in program]
    return '; '.join(lacking) or None


def package(r):
    ok, version = run('dpkg-deb', '-f', r.path('deb'), 'Version')
    if version != r.deb_version:
        return f'the package is version {version}, not {r.deb_version}'
    copyright_text = ' '.join(r.deb_files()['/usr/share/doc/tarvikupdate/copyright'].decode().split())
    if "is the tracker maker's: it is not covered by the program's MIT licence" not in copyright_text:
        return "the package's copyright does not say whose the firmware is"
    return None


def support(r):
    guide = ' '.join(r.zip()['guide-ru.html'].decode().split())
    metainfo = next(content for path, content in r.deb_files().items()
                    if path.endswith('.metainfo.xml')).decode()
    url = r.args.support_url
    if url:
        if f'href="{url}"' not in guide:
            return 'the guide does not name the support address'
        if f'<url type="help">{url}</url>' not in metainfo:
            return 'the metainfo does not name the support address'
    elif GUIDE_FALLBACK not in guide or '<url' in metainfo:
        return 'without a support address, the guide or the metainfo names one'
    return None


def notes(r):
    text = r.read('RELEASE.md').decode()
    buildinfo = r.read('buildinfo').decode().splitlines()
    wanted = ['bytes from the file', '| Package | Version |', r.names['buildinfo'],
              f'| Package version | {r.deb_version} |']
    lacking = [w for w in wanted if w not in text]
    if lacking:
        return f'RELEASE.md lacks {lacking}'
    packages = [line for line in buildinfo if not line.startswith('#')]
    return None if len(packages) > 100 else f'the build environment lists {len(packages)} packages'


CHECKS = [
    ('the folder and the files are named for the version, a test build marked', names),
    ('SHA256SUMS lists every file and each checks', checksums),
    ("SHA256SUMS.asc checks with gpgv against the release's key alone", signature),
    ('the zip holds the program, its texts, the licence and the notices', zip_members),
    ("the zip's exe is the bare exe", zip_exe),
    ("the licence, and the notices: the firmware's owner, the runtime's licences", licences),
    ('the exe passes the program file check: processor, system, imports, manifest', program_file),
    ("the exe and the package's program carry the firmware the release checked", firmware),
    ("the package's version is the release's; its copyright says whose the firmware is", package),
    ('the guide and the metainfo name the support address, or none', support),
    ('RELEASE.md: the firmware read, the build environment', notes),
]


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument('--images', required=True)
    parser.add_argument('--version', required=True)
    parser.add_argument('--keyring', required=True)
    parser.add_argument('--test', action='store_true')
    parser.add_argument('--support-url', default='')
    parser.add_argument('release')
    r = Release(parser.parse_args())
    failed = 0
    for what, check in CHECKS:
        try:
            fault = check(r)
        except (OSError, KeyError, ValueError, StopIteration, subprocess.CalledProcessError,
                zipfile.BadZipFile, tarfile.TarError) as e:
            fault = f'{type(e).__name__}: {e}'
        print(f'ok   {what}' if fault is None else f'FAIL {what}: {fault}')
        failed += fault is not None
    return 1 if failed else 0


if __name__ == '__main__':
    sys.exit(main())
