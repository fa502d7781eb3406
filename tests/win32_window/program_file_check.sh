#!/bin/sh
# TarvikUpdate.exe is one file a user can copy anywhere: a GUI program for
# the expected processor, under 3 MB, that Windows 7 loads, importing nothing
# but DLLs every Windows 7 has and no function newer than Windows 7.
#   program_file_check.sh OBJDUMP TarvikUpdate.exe i686|x86_64
set -u
objdump="$1"
exe="$2"
case "$3" in
  i686) format=pei-i386 ;;
  x86_64) format=pei-x86-64 ;;
  *) echo "program_file_check: unknown processor $3" >&2; exit 2 ;;
esac
status=0
fail() { echo "program_file_check: $*" >&2; status=1; }

size=$(stat -c %s "$exe")
echo "size: $size bytes"
[ "$size" -lt $((3 * 1024 * 1024)) ] || fail "$exe is $size bytes, 3 MB or more"

"$objdump" -f "$exe" | grep -q "file format $format\$" ||
  fail "not a $format program: $("$objdump" -f "$exe" | grep 'file format')"

headers=$("$objdump" -p "$exe")
echo "$headers" | grep -q 'Subsystem.*(Windows GUI)' || fail "not a GUI program"
# Windows refuses to start a program that asks for a newer system than itself.
for field in OSystemVersion SubsystemVersion; do
  major=$(echo "$headers" | sed -n "s/^Major$field[[:space:]]*//p")
  minor=$(echo "$headers" | sed -n "s/^Minor$field[[:space:]]*//p")
  echo "$field: $major.$minor"
  [ $((major * 100 + minor)) -le 601 ] || fail "$field $major.$minor is newer than Windows 7 (6.1)"
done

for dll in $(echo "$headers" | sed -n 's/^[[:space:]]*DLL Name: //p' | tr 'A-Z' 'a-z'); do
  echo "imports: $dll"
  case "$dll" in
    kernel32.dll|user32.dll|gdi32.dll|comctl32.dll|advapi32.dll|setupapi.dll|winmm.dll|\
    msvcrt.dll|shell32.dll|ole32.dll|oleaut32.dll|oleacc.dll) ;;
    *) fail "imports $dll, which Windows 7 does not have" ;;
  esac
done
# Functions a newer SDK, C++ runtime or winpthreads may bring in that Windows
# 7 SP1 lacks; the program looks those it wants up at run time instead.
for name in $(echo "$headers" |
    sed -En 's/^[[:space:]]+[0-9a-f]+[[:space:]]+[0-9]+[[:space:]]+([A-Za-z_][A-Za-z0-9_]*)$/\1/p'); do
  case "$name" in
    GetSystemTimePreciseAsFileTime|WaitOnAddress|WakeByAddressAll|WakeByAddressSingle|CreateFile2|\
    SetThreadDescription|GetThreadDescription|GetCurrentThreadStackLimits|*SynchronizationBarrier|\
    SetDefaultDllDirectories|AddDllDirectory|RemoveDllDirectory|PrefetchVirtualMemory|\
    GetDpiFor*|*ForDpi|SetProcessDpiAwareness*|SetThreadDpiAwarenessContext|EnableNonClientDpiScaling)
      fail "imports $name, which Windows 7 does not have" ;;
  esac
done
exit "$status"
