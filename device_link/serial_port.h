#pragma once
// The serial link to the bridge's COM port: open with the bootloader's line
// settings, and the five small operations that carry all bootloader traffic.
// Every operation makes one attempt and answers with a Boolean; waits are
// counted in tries of a 1-ms sleep, not in time.
#include <cstdint>
#include <functional>
#include <string>

#include "device_link/serial_api.h"

namespace tarvik {

// Driver queues asked for at opening.
inline constexpr std::uint32_t kInQueueSize = 65536;
inline constexpr std::uint32_t kOutQueueSize = 8192;
// Read time-outs: 150 ms between bytes, 200 ms + 1 ms a byte in all;
// a write gets 100 ms in all, whatever its length.
inline constexpr std::uint32_t kReadIntervalTimeout = 150;
inline constexpr std::uint32_t kReadTotalMultiplier = 1;
inline constexpr std::uint32_t kReadTotalConstant = 200;
inline constexpr std::uint32_t kWriteTotalMultiplier = 0;
inline constexpr std::uint32_t kWriteTotalConstant = 100;
inline constexpr std::uint32_t kBaudRate = 9600;
// Tries that found too few bytes between two runs of the wait hook, counted
// across waits. With the try that sees a reply, the window waits at most 3
// tries for its turn: 3 ms at 1-ms tries, 47 ms even where a sleep lasts a
// whole 15.6-ms tick of Windows' default timer.
inline constexpr std::uint32_t kTriesPerWaitHook = 2;

class SerialPort {
 public:
  explicit SerialPort(SerialApi& api) : api_(api) {}
  SerialPort(const SerialPort&) = delete;
  SerialPort& operator=(const SerialPort&) = delete;
  virtual ~SerialPort() = default;

  // Opens "\\.\" + name and configures it; on false no port is left open and
  // FPortHandle holds the invalid-handle value. Does not set FPortOpen.
  bool OpenPort(const std::string& name);
  // Bytes received and not yet read; 0 without an open port or on failure.
  std::int32_t InQueueCount();
  bool ReadBytes(void* buffer, std::uint16_t count, std::uint32_t& received);
  bool WriteBytes(const void* buffer, std::uint16_t count);
  // Throws away the bytes that are waiting, at most 4096 bytes a read into RxBuf.
  void PurgeInput();
  bool WaitForBytes(std::uint32_t tries, std::uint16_t count);

  // What a wait runs before a try once kTriesPerWaitHook tries have found
  // too few bytes since it last ran: the update lets the window answer
  // (screen readers, keys, Cancel) while the tracker works. Never run from
  // inside itself, nor once the port has closed: a port closed while it ran,
  // or before, ends the wait there. An empty hook: waits only wait.
  void SetWaitHook(std::function<void()> hook);

  // Closes the open port, if any, and forgets its handle: a closed descriptor
  // number may already belong to another file, so nothing may use it again.
  void ClosePort();

  SerialApi& serialApi() { return api_; }

  PortHandle FPortHandle{};
  CommTimeouts FTimeouts{};
  Dcb FDCB{};
  bool FPortOpen = false;

 private:
  SerialApi& api_;
  std::function<void()> waitHook_;
  std::uint32_t triesSinceHook_ = 0;
  bool inWaitHook_ = false;
};

}  // namespace tarvik
