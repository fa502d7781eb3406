#include "tests/support/serial_peer.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <stdexcept>

namespace tarvik::testing {
namespace {

using Clock = std::chrono::steady_clock;

int MillisecondsLeft(Clock::time_point deadline) {
  const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
  return left.count() > 0 ? static_cast<int>(left.count()) : 0;
}

}  // namespace

SerialPeer::SerialPeer(const std::string& path)
    : fd_(::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC)) {
  if (fd_ < 0) throw std::runtime_error("cannot open " + path + ": " + std::strerror(errno));
  termios settings{};
  if (::tcgetattr(fd_, &settings) == 0) {
    ::cfmakeraw(&settings);
    // The simulator made the line raw already; a pty may refuse a request that
    // changes nothing, so the result does not matter.
    ::tcsetattr(fd_, TCSANOW, &settings);
  }
}

SerialPeer::~SerialPeer() {
  if (fd_ >= 0) ::close(fd_);
}

void SerialPeer::send(std::span<const std::uint8_t> bytes) {
  while (!bytes.empty()) {
    const ssize_t n = ::write(fd_, bytes.data(), bytes.size());
    if (n > 0) {
      bytes = bytes.subspan(static_cast<std::size_t>(n));
    } else if (n < 0 && (errno == EAGAIN || errno == EINTR)) {
      pollfd out{fd_, POLLOUT, 0};
      ::poll(&out, 1, 100);
    } else {
      throw std::runtime_error(std::string("write to the pty: ") + std::strerror(errno));
    }
  }
}

std::vector<std::uint8_t> SerialPeer::receive(std::size_t count, std::chrono::milliseconds timeout) {
  std::vector<std::uint8_t> bytes;
  const auto deadline = Clock::now() + timeout;
  while (bytes.size() < count) {
    pollfd in{fd_, POLLIN, 0};
    const int ready = ::poll(&in, 1, MillisecondsLeft(deadline));
    if (ready < 0 && errno == EINTR) continue;
    if (ready <= 0 || (in.revents & POLLIN) == 0) break;
    std::uint8_t chunk[512];
    const std::size_t want = std::min(sizeof chunk, count - bytes.size());
    const ssize_t n = ::read(fd_, chunk, want);
    if (n <= 0) break;
    bytes.insert(bytes.end(), chunk, chunk + n);
  }
  return bytes;
}

std::vector<std::uint8_t> SerialPeer::receiveFor(std::chrono::milliseconds window) {
  std::vector<std::uint8_t> bytes;
  const auto deadline = Clock::now() + window;
  while (Clock::now() < deadline) {
    auto more = receive(4096, std::chrono::milliseconds(MillisecondsLeft(deadline)));
    if (more.empty()) {
      pollfd in{fd_, POLLIN, 0};
      // A hung-up line polls ready at once with nothing to read: do not spin on it.
      if (::poll(&in, 1, 0) > 0 && (in.revents & POLLHUP) != 0) break;
    }
    bytes.insert(bytes.end(), more.begin(), more.end());
  }
  return bytes;
}

std::size_t SerialPeer::waiting() const {
  int count = 0;
  return ::ioctl(fd_, FIONREAD, &count) == 0 && count > 0 ? static_cast<std::size_t>(count) : 0;
}

bool SerialPeer::hungUp(std::chrono::milliseconds timeout) {
  const auto deadline = Clock::now() + timeout;
  for (;;) {
    pollfd in{fd_, POLLIN, 0};
    const int ready = ::poll(&in, 1, MillisecondsLeft(deadline));
    if (ready == 0) return false;
    if (ready < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    if ((in.revents & (POLLHUP | POLLERR)) != 0) return true;
    // Bytes still waiting ahead of the hang-up: take them out of the way.
    std::uint8_t chunk[512];
    const ssize_t n = ::read(fd_, chunk, sizeof chunk);
    if (n == 0 || (n < 0 && errno == EIO)) return true;
  }
}

}  // namespace tarvik::testing
