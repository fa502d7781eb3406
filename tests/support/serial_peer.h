// The program's end of a pty, for tests that talk to the virtual tracker
// directly: raw mode, non-blocking, with poll-based reads bounded in time.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <span>
#include <string>
#include <vector>

namespace tarvik::testing {

class SerialPeer {
 public:
  // Opens `path` O_RDWR | O_NOCTTY and makes it raw. Throws std::runtime_error.
  explicit SerialPeer(const std::string& path);
  ~SerialPeer();
  SerialPeer(const SerialPeer&) = delete;
  SerialPeer& operator=(const SerialPeer&) = delete;

  int fd() const { return fd_; }

  void send(std::span<const std::uint8_t> bytes);
  void send(std::initializer_list<std::uint8_t> bytes) { send(std::span(bytes.begin(), bytes.size())); }

  // Reads until `count` bytes have come or `timeout` has passed; returns what came.
  std::vector<std::uint8_t> receive(std::size_t count,
                                    std::chrono::milliseconds timeout = std::chrono::milliseconds(2000));
  // Everything that arrives within `window` (waits the whole window).
  std::vector<std::uint8_t> receiveFor(std::chrono::milliseconds window);
  // Bytes waiting to be read (FIONREAD).
  std::size_t waiting() const;
  // True when the line hangs up (POLLHUP) within `timeout`.
  bool hungUp(std::chrono::milliseconds timeout);

 private:
  int fd_ = -1;
};

}  // namespace tarvik::testing
