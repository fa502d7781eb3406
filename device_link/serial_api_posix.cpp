#include "device_link/serial_api_posix.h"

#include <fcntl.h>
#ifdef __linux__
#include <sys/prctl.h>
#endif
#include <poll.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <ctime>

#include "device_link/port_names.h"

namespace tarvik {
namespace {

using Clock = std::chrono::steady_clock;
using Millis = std::chrono::milliseconds;

struct SpeedEntry {
  std::uint32_t baud;
  speed_t speed;
};
constexpr SpeedEntry kSpeeds[] = {
    {1200, B1200},   {2400, B2400},   {4800, B4800},     {9600, B9600},
    {19200, B19200}, {38400, B38400}, {57600, B57600},   {115200, B115200},
};

std::optional<speed_t> SpeedFor(std::uint32_t baud) {
  for (const auto& e : kSpeeds)
    if (e.baud == baud) return e.speed;
  return std::nullopt;
}

std::uint32_t BaudFor(speed_t speed) {
  for (const auto& e : kSpeeds)
    if (e.speed == speed) return e.baud;
  return 0;
}

// A pseudo-terminal forces CS8 and drops PARENB/PARODD; those bits are left
// out when deciding whether the line took what was asked.
constexpr tcflag_t kBitsAPtyDrops = PARENB | PARODD | CSIZE | CMSPAR;

bool SameSettingsBarPtyBits(const termios& a, const termios& b) {
  return a.c_iflag == b.c_iflag && a.c_oflag == b.c_oflag && a.c_lflag == b.c_lflag &&
         (a.c_cflag & ~kBitsAPtyDrops) == (b.c_cflag & ~kBitsAPtyDrops) &&
         cfgetispeed(&a) == cfgetispeed(&b) && cfgetospeed(&a) == cfgetospeed(&b);
}

// Milliseconds from now until deadline, at least 0.
int MillisUntil(Clock::time_point deadline) {
  const auto left = std::chrono::duration_cast<Millis>(deadline - Clock::now()).count();
  return left > 0 ? static_cast<int>(left) : 0;
}

// Waits for events on fd until deadline (none = no limit). False on time-out.
bool WaitFor(int fd, short events, std::optional<Clock::time_point> deadline) {
  for (;;) {
    pollfd p{fd, events, 0};
    const int timeout = deadline ? MillisUntil(*deadline) : -1;
    const int r = ::poll(&p, 1, timeout);
    if (r > 0) return true;  // readable, writable, or hung up: the next call tells
    if (r == 0) return false;
    if (errno != EINTR) return true;
  }
}

// Every wait for the bootloader is counted in 1-ms sleeps; Linux's default
// 50-us timer slack would stretch each of them and every wait with it. The
// setting is the process's: the program's own sleeps stay short with it.
#ifdef __linux__
void KeepSleepsShort() { (void)::prctl(PR_SET_TIMERSLACK, 1UL, 0UL, 0UL, 0UL); }
#else
void KeepSleepsShort() {}
#endif

}  // namespace

PosixSerialApi::PosixSerialApi() : PosixSerialApi(&DeviceNodeForPort) {}

PosixSerialApi::PosixSerialApi(Resolver resolver) : resolver_(std::move(resolver)) {
  KeepSleepsShort();
}

PosixSerialApi::~PosixSerialApi() {
  for (const auto& [fd, state] : open_) ::close(static_cast<int>(fd));
}

PosixSerialApi::OpenPortState* PosixSerialApi::find(PortHandle h) {
  const auto it = open_.find(h);
  if (it == open_.end()) {
    errno = EBADF;
    return nullptr;
  }
  return &it->second;
}

PortHandle PosixSerialApi::createFile(const std::string& path, std::uint32_t access,
                                      std::uint32_t /*share*/, std::uint32_t creation,
                                      std::uint32_t /*attributes*/) {
  if (creation != kOpenExisting) {
    errno = EINVAL;
    return kInvalidPortHandle;
  }
  const auto node = resolver_(StripDevicePrefix(path));
  if (!node) {
    errno = ENOENT;
    return kInvalidPortHandle;
  }
  // Access 0 asks only whether the port exists and can be opened: open it
  // read-only and touch nothing. Otherwise open for traffic; non-blocking,
  // because every wait is bounded by the time-outs below.
  const int flags = (access & (kGenericRead | kGenericWrite)) ? O_RDWR : O_RDONLY;
  const int fd = ::open(node->c_str(), flags | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return kInvalidPortHandle;
  if (access != 0) {
    // A Windows COM port is exclusive; keep other programs off the line too.
    // Not every node knows the request (a pty under test); that is no error.
    (void)::ioctl(fd, TIOCEXCL);
  }
  open_[fd] = OpenPortState{};
  return fd;
}

bool PosixSerialApi::setupComm(PortHandle h, std::uint32_t, std::uint32_t) {
  // The tty layer's buffers are fixed; a frame of up to 4 KiB is taken at once.
  return find(h) != nullptr;
}

bool PosixSerialApi::getCommState(PortHandle h, Dcb& dcb) {
  if (!find(h)) return false;
  termios t{};
  if (::tcgetattr(static_cast<int>(h), &t) != 0) return false;
  dcb.reported = t;
  dcb.BaudRate = BaudFor(cfgetospeed(&t));
  switch (t.c_cflag & CSIZE) {
    case CS5: dcb.ByteSize = 5; break;
    case CS6: dcb.ByteSize = 6; break;
    case CS7: dcb.ByteSize = 7; break;
    default: dcb.ByteSize = 8; break;
  }
  dcb.Parity = (t.c_cflag & PARENB) ? ((t.c_cflag & PARODD) ? 1 : kEvenParity) : kNoParity;
  dcb.StopBits = (t.c_cflag & CSTOPB) ? 2 : kOneStopBit;
  return true;
}

bool PosixSerialApi::setCommState(PortHandle h, const Dcb& dcb) {
  if (!find(h)) return false;
  const auto speed = SpeedFor(dcb.BaudRate);
  if (!speed || dcb.ByteSize < 5 || dcb.ByteSize > 8 || dcb.Parity > kEvenParity ||
      (dcb.StopBits != kOneStopBit && dcb.StopBits != 2)) {
    errno = EINVAL;
    return false;
  }
  // A DCB describes a binary line: raw mode, receiver on, modem lines left
  // as the port reported them (HUPCL, CRTSCTS); the program drives no line.
  termios t = dcb.reported;
  cfmakeraw(&t);
  t.c_cflag |= CLOCAL | CREAD;
  t.c_cflag &= ~(CSIZE | PARENB | PARODD | CSTOPB);
  static constexpr tcflag_t kSizes[] = {CS5, CS6, CS7, CS8};
  t.c_cflag |= kSizes[dcb.ByteSize - 5];
  if (dcb.Parity != kNoParity) t.c_cflag |= PARENB | (dcb.Parity == 1 ? PARODD : 0);
  if (dcb.StopBits == 2) t.c_cflag |= CSTOPB;
  // VMIN 1 with O_NONBLOCK: an empty line reads as EAGAIN, and 0 from read()
  // then means only a hang-up.
  t.c_cc[VMIN] = 1;
  t.c_cc[VTIME] = 0;
  cfsetispeed(&t, *speed);
  cfsetospeed(&t, *speed);
  const int fd = static_cast<int>(h);
  if (::tcsetattr(fd, TCSANOW, &t) == 0) return true;
  // glibc reports EINVAL when the line already had every setting it could
  // take, which happens on each re-open of a pseudo-terminal (it cannot keep
  // even parity). Only a line that really differs counts as a refusal.
  if (errno != EINVAL) return false;
  termios now{};
  return ::tcgetattr(fd, &now) == 0 && SameSettingsBarPtyBits(now, t);
}

bool PosixSerialApi::getCommTimeouts(PortHandle h, CommTimeouts& timeouts) {
  const auto* state = find(h);
  if (!state) return false;
  timeouts = state->timeouts;
  return true;
}

bool PosixSerialApi::setCommTimeouts(PortHandle h, const CommTimeouts& timeouts) {
  auto* state = find(h);
  if (!state) return false;
  state->timeouts = timeouts;
  return true;
}

bool PosixSerialApi::setCommMask(PortHandle h, std::uint32_t mask) {
  auto* state = find(h);
  if (!state) return false;
  state->mask = mask;  // nothing waits on port events
  return true;
}

bool PosixSerialApi::clearCommError(PortHandle h, std::uint32_t& errors, ComStat& stat) {
  errors = 0;
  stat = ComStat{};
  if (!find(h)) return false;
  int waiting = 0;
  if (::ioctl(static_cast<int>(h), FIONREAD, &waiting) != 0) return false;
  stat.cbInQue = waiting > 0 ? static_cast<std::uint32_t>(waiting) : 0;
  return true;
}

bool PosixSerialApi::readFile(PortHandle h, void* buffer, std::uint32_t count,
                              std::uint32_t& read) {
  read = 0;
  const auto* state = find(h);
  if (!state) return false;
  const auto& to = state->timeouts;
  // As on Windows: the total time-out covers the whole read, the interval
  // time-out runs from each received byte; zero means "not used".
  const std::uint64_t totalMs =
      std::uint64_t{to.ReadTotalTimeoutMultiplier} * count + to.ReadTotalTimeoutConstant;
  const auto start = Clock::now();
  std::optional<Clock::time_point> total;
  if (totalMs > 0) total = start + Millis(totalMs);
  const int fd = static_cast<int>(h);
  auto* out = static_cast<std::uint8_t*>(buffer);
  while (read < count) {
    const ssize_t r = ::read(fd, out + read, count - read);
    if (r > 0) {
      read += static_cast<std::uint32_t>(r);
      continue;
    }
    if (r == 0) return false;  // hung up: the device is gone
    if (errno == EINTR) continue;
    if (errno != EAGAIN) return false;
    std::optional<Clock::time_point> deadline = total;
    if (read > 0 && to.ReadIntervalTimeout > 0) {
      const auto interval = Clock::now() + Millis(to.ReadIntervalTimeout);
      if (!deadline || interval < *deadline) deadline = interval;
    }
    if (!WaitFor(fd, POLLIN, deadline)) return true;  // a time-out ends the read, not as an error
  }
  return true;
}

bool PosixSerialApi::writeFile(PortHandle h, const void* buffer, std::uint32_t count,
                               std::uint32_t& written) {
  written = 0;
  const auto* state = find(h);
  if (!state) return false;
  const auto& to = state->timeouts;
  const std::uint64_t totalMs =
      std::uint64_t{to.WriteTotalTimeoutMultiplier} * count + to.WriteTotalTimeoutConstant;
  std::optional<Clock::time_point> deadline;
  if (totalMs > 0) deadline = Clock::now() + Millis(totalMs);
  const int fd = static_cast<int>(h);
  const auto* in = static_cast<const std::uint8_t*>(buffer);
  while (written < count) {
    const ssize_t w = ::write(fd, in + written, count - written);
    if (w > 0) {
      written += static_cast<std::uint32_t>(w);
      continue;
    }
    if (w < 0 && errno == EINTR) continue;
    if (w < 0 && errno != EAGAIN) return false;
    if (!WaitFor(fd, POLLOUT, deadline)) return true;  // time-out: a short count
  }
  return true;
}

bool PosixSerialApi::closeHandle(PortHandle h) {
  if (open_.erase(h) == 0) {
    errno = EBADF;
    return false;
  }
  return ::close(static_cast<int>(h)) == 0;
}

void PosixSerialApi::sleep(std::uint32_t milliseconds) {
  timespec ts{static_cast<time_t>(milliseconds / 1000),
              static_cast<long>(milliseconds % 1000) * 1000000L};
  while (::clock_nanosleep(CLOCK_MONOTONIC, 0, &ts, &ts) == EINTR) {
  }
}

}  // namespace tarvik
