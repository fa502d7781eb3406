#!/bin/sh
# TarvikUpdate.exe is one file a user can copy anywhere: a GUI program for
# the expected processor, under 3 MB, that Windows 7 loads, importing nothing
# but DLLs every Windows 7 has and no function newer than Windows 7, with a
# manifest Windows takes (Wine reads none of it, so only this can tell).
#   program_file_check.sh OBJDUMP TarvikUpdate.exe i686|x86_64
set -u
objdump="$1"
exe="$2"
case "$3" in
  i686) format=pei-i386 manifest_processor=x86 ;;
  x86_64) format=pei-x86-64 manifest_processor=amd64 ;;
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

# The manifest (RT_MANIFEST, resource 1). Windows refuses to start a program
# whose manifest is not well-formed or names another processor for it (a
# side-by-side configuration error); without the other entries it would
# scale the window as a bitmap, take it for a program older than Windows 7,
# or ask for administrator rights.
manifest="$(mktemp)"
trap 'rm -f "$manifest"' EXIT
if ! wrestool -x --raw -t 24 -n 1 "$exe" >"$manifest" 2>/dev/null || [ ! -s "$manifest" ]; then
  fail "no manifest (RT_MANIFEST 1)"
elif ! xmllint --noout "$manifest"; then
  fail "the manifest is not well-formed XML"
else
  xpath() { xmllint --xpath "$1" "$manifest" 2>/dev/null; }
  own='/*[local-name()="assembly"]/*[local-name()="assemblyIdentity"]'
  processor="$(xpath "string($own/@processorArchitecture)")"
  echo "manifest: processor ${processor:-not named}"
  [ -z "$processor" ] || [ "$processor" = "$manifest_processor" ] ||
    fail "the manifest names the processor $processor for the program, which is $manifest_processor"
  any='//*[local-name()'
  for entry in \
      "$any=\"dpiAware\" and .=\"true/pm\"]|per-monitor DPI awareness (Windows 8.1)" \
      "$any=\"dpiAwareness\" and contains(., \"PerMonitorV2\")]|per-monitor DPI awareness v2" \
      "$any=\"supportedOS\" and @Id=\"{35138b9a-5d96-4fbd-8e2d-a2440225f93a}\"]|Windows 7 compatibility" \
      "$any=\"supportedOS\" and @Id=\"{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}\"]|Windows 10 compatibility" \
      "$any=\"requestedExecutionLevel\" and @level=\"asInvoker\"]|asInvoker" \
      "$any=\"assemblyIdentity\" and @name=\"Microsoft.Windows.Common-Controls\"]|common controls 6"; do
    [ "$(xpath "count(${entry%|*})")" -ge 1 ] 2>/dev/null || fail "the manifest lacks ${entry#*|}"
  done
fi
exit "$status"
