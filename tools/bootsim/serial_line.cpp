#include "serial_line.h"

#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <stdexcept>
#include <string>
#include <vector>

#include "frame_log.h"

namespace bootsim {
namespace {

// 8E1: start bit, 8 data bits, parity bit, stop bit.
constexpr Nanos kBitsPerCharacter = 11;
// How long a peer that does not read may keep a reply waiting before it is dropped.
constexpr int kWriteStallMs = 1000;

}  // namespace

SerialLine::SerialLine(int fd, unsigned baud, SignalWatch& signals, FrameLog& log)
    : fd_(fd),
      charTime_(baud == 0 ? 0 : kBitsPerCharacter * 1'000'000'000 / baud),
      signals_(signals),
      log_(log) {}

std::optional<std::uint8_t> SerialLine::receive(std::optional<Nanos> deadline) {
  for (;;) {
    if (!received_.empty()) {
      const auto [byte, arrival] = received_.front();
      received_.pop_front();
      SleepUntil(arrival);
      checkSignals();
      return byte;
    }
    int timeoutMs = -1;
    if (deadline) {
      const Nanos left = *deadline - MonoNow();
      if (left <= 0) return std::nullopt;
      timeoutMs = static_cast<int>((left + kNanosPerMilli - 1) / kNanosPerMilli);
    }
    pollfd fds[3] = {{fd_, POLLIN, 0}, {signals_.fd(), POLLIN, 0}, {endFd_, POLLIN, 0}};
    if (::poll(fds, endFd_ >= 0 ? 3 : 2, timeoutMs) < 0) {
      if (errno == EINTR) continue;
      throw std::runtime_error(std::string("poll: ") + std::strerror(errno));
    }
    if (fds[1].revents != 0) checkSignals();
    if (endFd_ >= 0 && fds[2].revents != 0) drainEndFd();
    if ((fds[0].revents & POLLIN) != 0) {
      readAvailable();
    } else if ((fds[0].revents & (POLLHUP | POLLERR | POLLNVAL)) != 0) {
      throw LineClosed{EndReason::PeerGone};
    }
  }
}

void SerialLine::readAvailable() {
  std::uint8_t buffer[4096];
  const ssize_t n = ::read(fd_, buffer, sizeof buffer);
  if (n > 0) {
    const Nanos now = MonoNow();
    for (ssize_t i = 0; i < n; ++i) {
      lastArrival_ = std::max(now, lastArrival_) + charTime_;
      received_.emplace_back(buffer[i], lastArrival_);
    }
    return;
  }
  if (n < 0 && (errno == EAGAIN || errno == EINTR)) return;
  // End of file, or EIO from a pty master whose slave side is gone.
  if (n == 0 || errno == EIO) throw LineClosed{EndReason::PeerGone};
  throw std::runtime_error(std::string("read: ") + std::strerror(errno));
}

void SerialLine::send(std::span<const std::uint8_t> bytes, std::span<const std::uint8_t> together) {
  if (charTime_ == 0 || bytes.empty()) {
    std::vector<std::uint8_t> all(bytes.begin(), bytes.end());
    all.insert(all.end(), together.begin(), together.end());
    writeAll(all);
    return;
  }
  Nanos due = std::max(MonoNow(), transmitterFree_);
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    due += charTime_;
    SleepUntil(due);
    checkSignals();
    // Whatever the peer sent meanwhile gets its arrival stamped now, not after the reply.
    readAvailable();
    if (i + 1 < bytes.size()) {
      writeAll(bytes.subspan(i, 1));
    } else {
      std::vector<std::uint8_t> last{bytes[i]};
      last.insert(last.end(), together.begin(), together.end());
      writeAll(last);
      due += static_cast<Nanos>(together.size()) * charTime_;
    }
  }
  transmitterFree_ = due;
}

void SerialLine::drainEndFd() {
  std::uint8_t buffer[256];
  const ssize_t n = ::read(endFd_, buffer, sizeof buffer);
  if (n > 0 || (n < 0 && (errno == EAGAIN || errno == EINTR))) return;
  throw LineClosed{EndReason::Terminate};
}

void SerialLine::pause(Nanos duration) {
  if (duration > 0) SleepUntil(MonoNow() + duration);
  checkSignals();
}

void SerialLine::writeAll(std::span<const std::uint8_t> bytes) {
  while (!bytes.empty()) {
    const ssize_t n = ::write(fd_, bytes.data(), bytes.size());
    if (n > 0) {
      bytes = bytes.subspan(static_cast<std::size_t>(n));
      continue;
    }
    if (n < 0 && errno == EINTR) continue;
    if (n < 0 && errno == EAGAIN) {
      pollfd out{fd_, POLLOUT, 0};
      if (::poll(&out, 1, kWriteStallMs) > 0 && (out.revents & POLLOUT) != 0) continue;
      log_.note("the peer reads nothing: " + std::to_string(bytes.size()) + " bytes dropped");
      return;
    }
    if (n < 0 && errno != EIO && errno != EPIPE) {
      throw std::runtime_error(std::string("write: ") + std::strerror(errno));
    }
    throw LineClosed{EndReason::PeerGone};
  }
}

void SerialLine::checkSignals() {
  switch (signals_.take()) {
    case StopSignal::None: return;
    case StopSignal::Terminate: throw LineClosed{EndReason::Terminate};
    case StopSignal::HangUp: throw LineClosed{EndReason::HangUpSignal};
  }
}

}  // namespace bootsim
