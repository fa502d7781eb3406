// SIGTERM, SIGINT and SIGHUP, taken through a signalfd so that the serving
// loop can wait for them and for the line in one poll(), and check for them
// between paced bytes without racing a handler.
#pragma once

namespace bootsim {

enum class StopSignal { None, Terminate, HangUp };

class SignalWatch {
 public:
  SignalWatch();  // blocks the three signals; throws std::runtime_error on failure
  ~SignalWatch();
  SignalWatch(const SignalWatch&) = delete;
  SignalWatch& operator=(const SignalWatch&) = delete;

  int fd() const { return fd_; }
  // Takes one pending signal, if any, without waiting.
  StopSignal take();

 private:
  int fd_ = -1;
};

}  // namespace bootsim
