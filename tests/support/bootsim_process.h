// Runs the virtual tracker (tarvik-bootsim) for a test: one process per
// instance, with its own temporary directory for the memory image and the
// frame log, stopped and cleaned up when the instance goes.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace tarvik::testing {

// Absolute path of the tarvik-bootsim binary.
std::string BootsimPath();

struct BootsimOptions {
  unsigned baud = 0;  // 0 = no pacing (fast tests)
  unsigned programDelayMs = 0;
  bool strict = false;
  std::vector<std::string> faults{};    // --fault values
  std::vector<std::uint32_t> flips{};   // --flip values
  std::vector<std::uint8_t> memoryIn{}; // empty = built-in pattern; else exactly 65536 bytes
  std::vector<std::string> extraArgs{};
};

class BootsimProcess {
 public:
  // Spawns the simulator and waits (at most a few seconds) for its PTY line.
  // Throws std::runtime_error, with the simulator's complaint, if it does not
  // come up (a bad option, say).
  explicit BootsimProcess(BootsimOptions options = {});
  ~BootsimProcess();  // stops it if still running, removes the directory
  BootsimProcess(const BootsimProcess&) = delete;
  BootsimProcess& operator=(const BootsimProcess&) = delete;

  const std::string& slavePath() const { return slavePath_; }
  pid_t pid() const { return pid_; }
  bool running() const { return pid_ > 0; }

  // SIGTERM (unless it has ended already), wait, and the final memory image
  // (65536 bytes; a test failure if it is missing or the simulator failed).
  std::vector<std::uint8_t> stopAndReadMemory();
  // The frame log so far.
  std::string log() const;
  // Waits until the frame log satisfies done, at most timeout; false when it
  // never did. The simulator writes each line as it happens.
  bool waitForLog(const std::function<bool(const std::string& log)>& done,
                  std::chrono::milliseconds timeout = std::chrono::seconds(5)) const;
  // What the simulator wrote on stderr so far.
  std::string errors() const;
  // Drops the line as an unplug would (SIGHUP) and waits for the simulator to
  // end: afterwards the peer's descriptor sees POLLHUP, read() 0, write() EIO.
  void hangUp();

 private:
  void signalAndReap(int signal);

  std::string directory_;
  std::string slavePath_;
  pid_t pid_ = -1;
  int stdinFd_ = -1;   // the simulator ends when this closes (--exit-with-stdin)
  int stdoutFd_ = -1;
  int exitStatus_ = 0;
};

// The simulator's built-in initial memory (65536 bytes), as it reports it.
std::vector<std::uint8_t> BuiltInInitialMemory();

}  // namespace tarvik::testing
