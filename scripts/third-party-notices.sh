#!/usr/bin/env bash
# Prints THIRD-PARTY-NOTICES.txt for the Windows zip: whose the firmware is,
# and the licences of what the statically linked TarvikUpdate.exe contains
# besides our own code (the mingw-w64 runtime and winpthreads; libgcc and
# libstdc++ under the GCC Runtime Library Exception), read from the
# copyright files of the Debian packages the exe was linked from.
#   scripts/third-party-notices.sh [i686|x86_64]    (i686, the released exe, by default)
set -euo pipefail
arch="${1:-i686}"
runtime="mingw-w64-$arch-dev"
gcc="gcc-mingw-w64-$arch-posix"
gxx="g++-mingw-w64-$arch-posix"
fail() { echo "third-party-notices.sh: $*" >&2; exit 1; }
version() { dpkg-query -W -f='${Version}' "$1" 2>/dev/null || fail "$1 is not installed"; }
copyright() { [ -r "/usr/share/doc/$1/copyright" ] || fail "no /usr/share/doc/$1/copyright"; }
copyright "$runtime"
copyright "$gcc"
gcc_copyright="/usr/share/doc/$gcc/copyright"
# The GCC copyright file's list of the runtime libraries under the exception,
# and the exception itself.
runtime_list="$(awk '/^The following runtime libraries are licensed/ { on = 1 }
  on && /^ - / { listed = 1 }  on && listed && /^$/ { exit }  on' "$gcc_copyright")"
exception="$(sed -n '/^GCC RUNTIME LIBRARY EXCEPTION/,/requirements of the license of GCC\./p' \
  "$gcc_copyright")"
[ -n "$runtime_list" ] && [ -n "$exception" ] ||
  fail "$gcc_copyright no longer holds the GCC Runtime Library Exception where it used to"

cat <<EOF
Third-party notices for TarvikUpdate.exe
========================================

TarvikUpdate is under the MIT licence, in LICENSE.txt beside this file.

The firmware
------------

The firmware that TarvikUpdate.exe carries and writes into the tracker is
the tracker maker's. It is not covered by TarvikUpdate's MIT licence. The
stand-in images in TarvikUpdate's source (firmware/flash.bin and
firmware/eeprom.bin), which only test builds carry, are covered by it.

The compiler's runtime in TarvikUpdate.exe
------------------------------------------

TarvikUpdate.exe is linked statically with parts of:

- the mingw-w64 runtime and winpthreads, from the Debian package
  $runtime ($(version "$runtime")): their licences follow in
  full, as Debian records them in /usr/share/doc/$runtime/copyright;
- libgcc and libstdc++, from the Debian packages
  $gcc and $gxx
  ($(version "$gxx")): under the GNU General Public License,
  version 3 or later, with the GCC Runtime Library Exception 3.1, which
  lets a program compiled with GCC carry them under the program's own
  terms. The exception follows, from /usr/share/doc/$gcc/copyright.

== The mingw-w64 runtime and winpthreads ==

$(cat "/usr/share/doc/$runtime/copyright")

== libgcc and libstdc++ ==

$runtime_list

$exception
EOF
