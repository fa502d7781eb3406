#include "tests/wine/tracker_line.h"

#include <windows.h>

#include <string>

namespace tarvik::testing {

bool PrepareTrackerLine() {
  const std::string path = std::string("\\\\.\\") + kTrackerPort;
  const HANDLE h = ::CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                 OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) return false;
  DCB dcb{};
  dcb.DCBlength = sizeof dcb;
  bool ok = ::GetCommState(h, &dcb) != FALSE;
  if (ok) {
    dcb.BaudRate = 9600;
    dcb.ByteSize = 8;
    dcb.Parity = NOPARITY;
    dcb.StopBits = ONESTOPBIT;
    ok = ::SetCommState(h, &dcb) != FALSE;
  }
  ::CloseHandle(h);
  return ok;
}

}  // namespace tarvik::testing
