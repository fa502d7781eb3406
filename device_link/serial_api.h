#pragma once
// The platform layer under the serial port: one call per kernel32 function
// that the port needs, with the same arguments and the same meaning of the
// result, so that the Win32 backend is a line-for-line pass-through and the
// POSIX backend emulates the same contract (see serial_api_posix.cpp).
#include <cstdint>
#include <string>

#include "device_link/serial_records.h"

namespace tarvik {

// CreateFileA's access, sharing, creation and attribute values.
inline constexpr std::uint32_t kGenericRead = 0x80000000u;
inline constexpr std::uint32_t kGenericWrite = 0x40000000u;
inline constexpr std::uint32_t kFileShareRead = 0x1u;
inline constexpr std::uint32_t kFileShareWrite = 0x2u;
inline constexpr std::uint32_t kOpenExisting = 3u;
inline constexpr std::uint32_t kFileAttributeNormal = 0x80u;

// DCB values.
inline constexpr std::uint8_t kNoParity = 0;
inline constexpr std::uint8_t kEvenParity = 2;
inline constexpr std::uint8_t kOneStopBit = 0;

// SetCommMask: EV_RXCHAR | EV_TXEMPTY.
inline constexpr std::uint32_t kEvRxChar = 0x1u;
inline constexpr std::uint32_t kEvTxEmpty = 0x4u;

// The device namespace prefix that goes ahead of a port name: \\.\ .
inline constexpr const char* kDevicePrefix = "\\\\.\\";

class SerialApi {
 public:
  virtual ~SerialApi() = default;

  // CreateFileA(path, access, share, NULL, creation, attributes, NULL).
  virtual PortHandle createFile(const std::string& path, std::uint32_t access, std::uint32_t share,
                                std::uint32_t creation, std::uint32_t attributes) = 0;
  virtual bool setupComm(PortHandle h, std::uint32_t inQueue, std::uint32_t outQueue) = 0;
  virtual bool getCommState(PortHandle h, Dcb& dcb) = 0;
  virtual bool setCommState(PortHandle h, const Dcb& dcb) = 0;
  virtual bool getCommTimeouts(PortHandle h, CommTimeouts& timeouts) = 0;
  virtual bool setCommTimeouts(PortHandle h, const CommTimeouts& timeouts) = 0;
  virtual bool setCommMask(PortHandle h, std::uint32_t mask) = 0;
  // Clears the line errors and reports the bytes waiting in stat.cbInQue.
  virtual bool clearCommError(PortHandle h, std::uint32_t& errors, ComStat& stat) = 0;
  // Synchronous; honour the time-outs last given with setCommTimeouts.
  virtual bool readFile(PortHandle h, void* buffer, std::uint32_t count, std::uint32_t& read) = 0;
  virtual bool writeFile(PortHandle h, const void* buffer, std::uint32_t count,
                         std::uint32_t& written) = 0;
  virtual bool closeHandle(PortHandle h) = 0;
  virtual void sleep(std::uint32_t milliseconds) = 0;
};

}  // namespace tarvik
