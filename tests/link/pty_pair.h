#pragma once
// A pseudo-terminal pair for tests: the test plays the device on the master,
// the code under test opens the slave through a port name.
#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

namespace tarvik::testing {

class PtyPair {
 public:
  PtyPair() {
    master_ = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (master_ >= 0 && ::grantpt(master_) == 0 && ::unlockpt(master_) == 0) {
      slave_ = ::ptsname(master_);
      termios t{};
      ::tcgetattr(master_, &t);
      ::cfmakeraw(&t);
      ::tcsetattr(master_, TCSANOW, &t);
    }
  }
  ~PtyPair() { hangUp(); }
  PtyPair(const PtyPair&) = delete;
  PtyPair& operator=(const PtyPair&) = delete;

  bool ok() const { return master_ >= 0 && !slave_.empty(); }
  const std::string& slavePath() const { return slave_; }
  int master() const { return master_; }

  void send(const std::vector<std::uint8_t>& bytes) {
    if (!bytes.empty()) (void)!::write(master_, bytes.data(), bytes.size());
  }
  // Reads what the slave side wrote, waiting at most timeoutMs for the first byte.
  std::vector<std::uint8_t> receive(int timeoutMs = 200) {
    std::vector<std::uint8_t> out;
    pollfd p{master_, POLLIN, 0};
    while (::poll(&p, 1, out.empty() ? timeoutMs : 20) > 0 && (p.revents & POLLIN)) {
      std::uint8_t buffer[512];
      const ssize_t n = ::read(master_, buffer, sizeof buffer);
      if (n <= 0) break;
      out.insert(out.end(), buffer, buffer + n);
    }
    return out;
  }
  void hangUp() {
    if (master_ >= 0) ::close(master_);
    master_ = -1;
  }

 private:
  int master_ = -1;
  std::string slave_;
};

}  // namespace tarvik::testing
