#!/bin/sh
# TarvikUpdate.exe is one file a user can copy anywhere: a GUI program under
# 3 MB that imports nothing but DLLs every Windows has.
#   program_file_check.sh OBJDUMP TarvikUpdate.exe
set -u
objdump="$1"
exe="$2"
status=0
size=$(stat -c %s "$exe")
echo "size: $size bytes"
if [ "$size" -ge $((3 * 1024 * 1024)) ]; then
  echo "program_file_check: $exe is $size bytes, 3 MB or more" >&2
  status=1
fi
headers=$("$objdump" -p "$exe")
if ! echo "$headers" | grep -q 'Subsystem.*(Windows GUI)'; then
  echo "program_file_check: not a GUI program" >&2
  status=1
fi
for dll in $(echo "$headers" | sed -n 's/^[[:space:]]*DLL Name: //p' | tr 'A-Z' 'a-z'); do
  echo "imports: $dll"
  case "$dll" in
    kernel32.dll|user32.dll|gdi32.dll|comctl32.dll|advapi32.dll|setupapi.dll|winmm.dll|\
    msvcrt.dll|shell32.dll|ole32.dll|api-ms-win-*) ;;
    *) echo "program_file_check: imports $dll, which Windows does not have" >&2; status=1 ;;
  esac
done
exit "$status"
