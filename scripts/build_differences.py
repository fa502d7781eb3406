#!/usr/bin/python3
"""Names what differs between two builds of one file, a line each, so that a
double build that differs says where: for a Debian package or a zip, each
member whose content, mode, owner or time differs, or that only one of them
has, the package's files before its control members; for any other file,
how many bytes differ and the first.

  build_differences.py FIRST SECOND
"""
import io
import subprocess
import sys
import tarfile
import zipfile


def deb_members(path):
    """The package's control and data members: name -> (metadata, content)."""
    members = {}
    for part in ('--ctrl-tarfile', '--fsys-tarfile'):
        data = subprocess.run(['dpkg-deb', part, path], check=True, capture_output=True).stdout
        with tarfile.open(fileobj=io.BytesIO(data)) as tar:
            for m in tar.getmembers():
                name = ('DEBIAN/' if part == '--ctrl-tarfile' else '') + m.name.lstrip('./')
                content = tar.extractfile(m).read() if m.isfile() else m.linkname
                members[name] = ({'mode': oct(m.mode), 'owner': f'{m.uname}:{m.gname}',
                                  'time': m.mtime, 'type': m.type}, content)
    return members


def zip_members(path):
    with zipfile.ZipFile(path) as z:
        return {i.filename: ({'mode': oct(i.external_attr >> 16), 'time': i.date_time,
                              'method': i.compress_type, 'extra': i.extra}, z.read(i))
                for i in z.infolist()}


def differences(first, second):
    kind = deb_members if first.endswith('.deb') else zip_members if first.endswith('.zip') else None
    if kind:
        a, b = kind(first), kind(second)
        found = []
        # A package's files first: its control members (md5sums) follow from them.
        for name in sorted(a.keys() | b.keys(), key=lambda n: (n.startswith('DEBIAN/'), n)):
            if name not in b or name not in a:
                found.append(f'{name}: only in the {"first" if name in a else "second"} build')
                continue
            (meta_a, content_a), (meta_b, content_b) = a[name], b[name]
            what = [k for k in meta_a if meta_a[k] != meta_b[k]]
            what += ['content'] if content_a != content_b else []
            if what:
                found.append(f'{name}: its {", ".join(what)}')
        if found:
            return found
        if list(a) != list(b):
            return ['the same members in another order']
    with open(first, 'rb') as f:
        a = f.read()
    with open(second, 'rb') as f:
        b = f.read()
    at = [i for i in range(min(len(a), len(b))) if a[i] != b[i]]
    if len(a) != len(b):
        return [f'{len(a)} and {len(b)} bytes']
    return [f'{len(at)} bytes differ, the first at offset {at[0]}'] if at else []


if __name__ == '__main__':
    for line in differences(*sys.argv[1:3]):
        print(line)
