#!/usr/bin/python3
"""Reads what the package test needs from the installed package's metadata.

    package_entry.py start DESKTOP_FILE    the directory and the program the
                                           menu entry starts, one a line
    package_entry.py release METAINFO      the newest release's version

Each fails (exit status 1, with the reason) where the file would not do what
the package promises: a menu entry that passes the program arguments (it
reads no command line), a start directory that is not absolute, a metainfo
file without releases.
"""
import configparser
import shlex
import sys
import xml.etree.ElementTree as ElementTree


def start(desktop_file):
    entry = configparser.ConfigParser(interpolation=None, strict=True)
    entry.optionxform = str  # keys are case-sensitive
    with open(desktop_file, encoding='utf-8') as f:
        entry.read_file(f)
    group = entry['Desktop Entry']
    path = group.get('Path', '')
    argv = shlex.split(group.get('Exec', ''))
    if not path.startswith('/'):
        raise ValueError(f'Path= is not an absolute directory: "{path}"')
    if len(argv) != 1:
        raise ValueError(f'Exec= is not the program alone: {argv}')
    return [path, argv[0]]


def release(metainfo):
    releases = ElementTree.parse(metainfo).getroot().findall('./releases/release')
    if not releases:
        raise ValueError('no <release> in <releases>')
    return [releases[0].get('version')]


def main(argv):
    commands = {'start': start, 'release': release}
    if len(argv) != 3 or argv[1] not in commands:
        print(__doc__, file=sys.stderr)
        return 2
    try:
        lines = commands[argv[1]](argv[2])
    except (OSError, ValueError, KeyError, configparser.Error, ElementTree.ParseError) as error:
        print(f'{argv[2]}: {error}', file=sys.stderr)
        return 1
    print('\n'.join(lines))
    return 0


if __name__ == '__main__':
    sys.exit(main(sys.argv))
