#include "signal_watch.h"

#include <signal.h>
#include <sys/signalfd.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <stdexcept>
#include <string>

namespace bootsim {

SignalWatch::SignalWatch() {
  sigset_t set;
  ::sigemptyset(&set);
  for (int signal : {SIGTERM, SIGINT, SIGHUP}) {
    // An ignored signal is discarded before it could be queued for the
    // signalfd; a parent may have left one ignored.
    ::signal(signal, SIG_DFL);
    ::sigaddset(&set, signal);
  }
  if (::sigprocmask(SIG_BLOCK, &set, nullptr) != 0) {
    throw std::runtime_error(std::string("sigprocmask: ") + std::strerror(errno));
  }
  fd_ = ::signalfd(-1, &set, SFD_NONBLOCK | SFD_CLOEXEC);
  if (fd_ < 0) throw std::runtime_error(std::string("signalfd: ") + std::strerror(errno));
}

SignalWatch::~SignalWatch() {
  if (fd_ >= 0) ::close(fd_);
}

StopSignal SignalWatch::take() {
  signalfd_siginfo info{};
  if (::read(fd_, &info, sizeof info) != static_cast<ssize_t>(sizeof info)) return StopSignal::None;
  return info.ssi_signo == SIGHUP ? StopSignal::HangUp : StopSignal::Terminate;
}

}  // namespace bootsim
