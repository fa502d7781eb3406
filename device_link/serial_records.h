#pragma once
// The platform records that the serial port fills and hands back: DCB,
// COMMTIMEOUTS and COMSTAT. On Windows they are the system's own; elsewhere
// they are look-alikes with the fields the logic touches, plus whatever the
// backend needs to keep "every other field as the port reported it".
#include <cstdint>

#ifdef _WIN32
#include <windows.h>
#else
#include <termios.h>
#endif

namespace tarvik {

#ifdef _WIN32
using PortHandle = HANDLE;
inline const PortHandle kInvalidPortHandle = INVALID_HANDLE_VALUE;
using Dcb = DCB;
using CommTimeouts = COMMTIMEOUTS;
using ComStat = COMSTAT;
#else
// A file descriptor; -1 is the invalid-handle value, as INVALID_HANDLE_VALUE.
using PortHandle = std::intptr_t;
inline constexpr PortHandle kInvalidPortHandle = -1;

struct Dcb {
  std::uint32_t BaudRate = 0;
  std::uint8_t ByteSize = 0;
  std::uint8_t Parity = 0;
  std::uint8_t StopBits = 0;
  // The line settings as the port reported them; the backend changes only
  // what the four fields above ask for (and the raw mode a DCB implies).
  termios reported{};
};

struct CommTimeouts {
  std::uint32_t ReadIntervalTimeout = 0;
  std::uint32_t ReadTotalTimeoutMultiplier = 0;
  std::uint32_t ReadTotalTimeoutConstant = 0;
  std::uint32_t WriteTotalTimeoutMultiplier = 0;
  std::uint32_t WriteTotalTimeoutConstant = 0;
};

struct ComStat {
  std::uint32_t cbInQue = 0;
  std::uint32_t cbOutQue = 0;
};
#endif

}  // namespace tarvik
