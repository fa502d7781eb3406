#include "line_endpoint.h"

#include <fcntl.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstring>
#include <stdexcept>
#include <utility>

namespace bootsim {
namespace {

[[noreturn]] void Fail(const std::string& what) {
  throw std::runtime_error(what + ": " + std::strerror(errno));
}

void MakeRaw(int fd) {
  termios settings{};
  if (::tcgetattr(fd, &settings) != 0) Fail("tcgetattr");
  // Without raw mode the slave would echo every reply back to the master.
  ::cfmakeraw(&settings);
  if (::tcsetattr(fd, TCSANOW, &settings) != 0) Fail("tcsetattr");
}

void SetNonBlocking(int fd) {
  const int flags = ::fcntl(fd, F_GETFL);
  if (flags < 0 || ::fcntl(fd, F_SETFL, flags | O_NONBLOCK) != 0) Fail("fcntl");
}

// Points `link` at `target`, replacing a stale symlink but never a real file.
void MakeLink(const std::string& link, const std::string& target) {
  struct stat info{};
  if (::lstat(link.c_str(), &info) == 0) {
    if (!S_ISLNK(info.st_mode)) {
      errno = EEXIST;
      Fail("--link " + link);
    }
    ::unlink(link.c_str());
  }
  if (::symlink(target.c_str(), link.c_str()) != 0) Fail("--link " + link);
}

}  // namespace

LineEndpoint LineEndpoint::OpenPty(const std::string& linkPath) {
  LineEndpoint endpoint;
  endpoint.master_ = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
  if (endpoint.master_ < 0) Fail("posix_openpt");
  if (::grantpt(endpoint.master_) != 0 || ::unlockpt(endpoint.master_) != 0) Fail("unlockpt");
  endpoint.holdSlave();
  if (endpoint.slave_ < 0) Fail("opening the pty slave");
  SetNonBlocking(endpoint.master_);
  if (!linkPath.empty()) {
    MakeLink(linkPath, endpoint.slavePath_);
    endpoint.linkPath_ = linkPath;
  }
  return endpoint;
}

LineEndpoint LineEndpoint::Adopt(int fd) {
  if (::fcntl(fd, F_GETFD) < 0) Fail("--fd " + std::to_string(fd));
  LineEndpoint endpoint;
  endpoint.master_ = fd;
  ::fcntl(fd, F_SETFD, FD_CLOEXEC);
  endpoint.holdSlave();  // not a pty master: nothing to hold
  SetNonBlocking(fd);
  return endpoint;
}

void LineEndpoint::holdSlave() {
  char name[PATH_MAX];
  if (::ptsname_r(master_, name, sizeof name) != 0) return;
  slavePath_ = name;
  slave_ = ::open(name, O_RDWR | O_NOCTTY | O_CLOEXEC);
  if (slave_ >= 0) MakeRaw(slave_);
}

LineEndpoint::LineEndpoint(LineEndpoint&& other) noexcept
    : master_(std::exchange(other.master_, -1)),
      slave_(std::exchange(other.slave_, -1)),
      slavePath_(std::move(other.slavePath_)),
      linkPath_(std::exchange(other.linkPath_, {})) {}

LineEndpoint::~LineEndpoint() {
  hangUp();
  if (!linkPath_.empty()) {
    // Remove the link only while it is still ours.
    char target[PATH_MAX];
    const ssize_t n = ::readlink(linkPath_.c_str(), target, sizeof target - 1);
    if (n > 0 && std::string(target, static_cast<std::size_t>(n)) == slavePath_) {
      ::unlink(linkPath_.c_str());
    }
  }
}

void LineEndpoint::hangUp() {
  if (slave_ >= 0) ::close(std::exchange(slave_, -1));
  if (master_ >= 0) ::close(std::exchange(master_, -1));
}

}  // namespace bootsim
