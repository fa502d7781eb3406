#include "tests/support/bootsim_process.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <stdexcept>
#include <thread>

extern char** environ;

namespace tarvik::testing {
namespace {

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

constexpr auto kStartTimeout = 5s;
constexpr auto kStopTimeout = 5s;
constexpr std::size_t kMemorySize = 0x10000;

std::string ReadText(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::vector<std::uint8_t> ReadBytes(const std::string& path) {
  const std::string text = ReadText(path);
  return {text.begin(), text.end()};
}

std::string MakeTemporaryDirectory() {
  std::string path = (std::filesystem::temp_directory_path() / "tarvik-bootsim-XXXXXX").string();
  if (::mkdtemp(path.data()) == nullptr) {
    throw std::runtime_error(std::string("mkdtemp: ") + std::strerror(errno));
  }
  return path;
}

// Spawns `args` with stdin and stdout on the given descriptors (-1: /dev/null)
// and stderr to `stderrPath`, with a clean signal state and no other
// descriptors of ours (a stray pty slave would keep a line up).
pid_t Spawn(const std::vector<std::string>& args, int stdinFd, int stdoutFd, const std::string& stderrPath) {
  posix_spawn_file_actions_t actions;
  ::posix_spawn_file_actions_init(&actions);
  if (stdinFd >= 0) {
    ::posix_spawn_file_actions_adddup2(&actions, stdinFd, STDIN_FILENO);
  } else {
    ::posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
  }
  if (stdoutFd >= 0) {
    ::posix_spawn_file_actions_adddup2(&actions, stdoutFd, STDOUT_FILENO);
  } else {
    ::posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
  }
  ::posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, stderrPath.c_str(),
                                     O_WRONLY | O_CREAT | O_TRUNC, 0644);
#if defined(__GLIBC__) && (__GLIBC__ > 2 || (__GLIBC__ == 2 && __GLIBC_MINOR__ >= 34))
  ::posix_spawn_file_actions_addclosefrom_np(&actions, STDERR_FILENO + 1);
#endif

  posix_spawnattr_t attributes;
  ::posix_spawnattr_init(&attributes);
  sigset_t none;
  ::sigemptyset(&none);
  ::posix_spawnattr_setsigmask(&attributes, &none);
  sigset_t defaults;
  ::sigemptyset(&defaults);
  for (int signal : {SIGTERM, SIGINT, SIGHUP, SIGPIPE}) ::sigaddset(&defaults, signal);
  ::posix_spawnattr_setsigdefault(&attributes, &defaults);
  ::posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);

  std::vector<char*> argv;
  for (const auto& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
  argv.push_back(nullptr);
  pid_t pid = -1;
  const int result = ::posix_spawn(&pid, argv[0], &actions, &attributes, argv.data(), environ);
  ::posix_spawnattr_destroy(&attributes);
  ::posix_spawn_file_actions_destroy(&actions);
  if (result != 0) {
    throw std::runtime_error("cannot start " + args[0] + ": " + std::strerror(result));
  }
  return pid;
}

// Waits for `pid` to end, killing it if it takes too long; returns its wait status.
int Reap(pid_t pid) {
  const auto deadline = Clock::now() + kStopTimeout;
  for (;;) {
    int status = 0;
    const pid_t done = ::waitpid(pid, &status, WNOHANG);
    if (done == pid) return status;
    if (done < 0 && errno != EINTR) return -1;
    if (Clock::now() > deadline) {
      ::kill(pid, SIGKILL);
      while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
      }
      return status;
    }
    std::this_thread::sleep_for(2ms);
  }
}

std::string DescribeStatus(int status) {
  std::ostringstream text;
  if (WIFEXITED(status)) {
    text << "exit status " << WEXITSTATUS(status);
  } else if (WIFSIGNALED(status)) {
    text << "signal " << WTERMSIG(status);
  } else {
    text << "wait status " << status;
  }
  return text.str();
}

// Reads from `fd` until a full line has come, the deadline passes or the pipe ends.
std::string ReadLine(int fd, Clock::time_point deadline) {
  std::string text;
  while (text.find('\n') == std::string::npos) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
    if (left <= 0ms) break;
    pollfd in{fd, POLLIN, 0};
    if (::poll(&in, 1, static_cast<int>(left.count())) <= 0) continue;
    char chunk[256];
    const ssize_t n = ::read(fd, chunk, sizeof chunk);
    if (n <= 0) break;
    text.append(chunk, static_cast<std::size_t>(n));
  }
  return text.substr(0, text.find('\n'));
}

}  // namespace

std::string BootsimPath() {
  return TARVIK_BOOTSIM_PATH;
}

BootsimProcess::BootsimProcess(BootsimOptions options) : directory_(MakeTemporaryDirectory()) {
  std::vector<std::string> args{BootsimPath(),
                                "--baud", std::to_string(options.baud),
                                "--program-delay", std::to_string(options.programDelayMs),
                                "--memory-out", directory_ + "/memory.bin",
                                "--log", directory_ + "/frames.log",
                                "--exit-with-stdin"};
  if (options.strict) args.push_back("--strict");
  for (const auto& fault : options.faults) {
    args.push_back("--fault");
    args.push_back(fault);
  }
  for (std::uint32_t address : options.flips) {
    std::ostringstream hex;
    hex << std::hex << address;
    args.push_back("--flip");
    args.push_back(hex.str());
  }
  if (!options.memoryIn.empty()) {
    const std::string path = directory_ + "/memory-in.bin";
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(options.memoryIn.data()),
               static_cast<std::streamsize>(options.memoryIn.size()));
    args.push_back("--memory-in");
    args.push_back(path);
  }
  args.insert(args.end(), options.extraArgs.begin(), options.extraArgs.end());

  int stdinPipe[2] = {-1, -1};
  int stdoutPipe[2] = {-1, -1};
  if (::pipe2(stdinPipe, O_CLOEXEC) != 0 || ::pipe2(stdoutPipe, O_CLOEXEC) != 0) {
    std::filesystem::remove_all(directory_);
    throw std::runtime_error(std::string("pipe: ") + std::strerror(errno));
  }
  try {
    pid_ = Spawn(args, stdinPipe[0], stdoutPipe[1], directory_ + "/stderr.txt");
  } catch (...) {
    for (int fd : {stdinPipe[0], stdinPipe[1], stdoutPipe[0], stdoutPipe[1]}) ::close(fd);
    std::filesystem::remove_all(directory_);
    throw;
  }
  ::close(stdinPipe[0]);
  ::close(stdoutPipe[1]);
  stdinFd_ = stdinPipe[1];
  stdoutFd_ = stdoutPipe[0];

  const std::string line = ReadLine(stdoutFd_, Clock::now() + kStartTimeout);
  if (line.starts_with("PTY ")) {
    slavePath_ = line.substr(4);
    return;
  }
  if (line.starts_with("FD ")) return;
  signalAndReap(SIGKILL);
  const std::string complaint = errors();
  ::close(stdinFd_);
  ::close(stdoutFd_);
  std::filesystem::remove_all(directory_);
  throw std::runtime_error("tarvik-bootsim did not start (" + DescribeStatus(exitStatus_) + "): " + complaint);
}

BootsimProcess::~BootsimProcess() {
  if (running()) {
    signalAndReap(SIGTERM);
    // A crash or a sanitizer report in the simulator fails the test that ran it.
    if (!WIFEXITED(exitStatus_) || WEXITSTATUS(exitStatus_) != 0) {
      ADD_FAILURE() << "tarvik-bootsim ended with " << DescribeStatus(exitStatus_) << ": " << errors();
    }
  }
  ::close(stdinFd_);
  ::close(stdoutFd_);
  std::error_code ignored;
  std::filesystem::remove_all(directory_, ignored);
}

void BootsimProcess::signalAndReap(int signal) {
  ::kill(pid_, signal);
  exitStatus_ = Reap(pid_);
  pid_ = -1;
}

std::vector<std::uint8_t> BootsimProcess::stopAndReadMemory() {
  if (running()) signalAndReap(SIGTERM);
  if (!WIFEXITED(exitStatus_) || WEXITSTATUS(exitStatus_) != 0) {
    ADD_FAILURE() << "tarvik-bootsim ended with " << DescribeStatus(exitStatus_) << ": " << errors();
  }
  auto memory = ReadBytes(directory_ + "/memory.bin");
  if (memory.size() != kMemorySize) {
    ADD_FAILURE() << "tarvik-bootsim left " << memory.size() << " bytes of memory, not 65536";
  }
  return memory;
}

std::string BootsimProcess::log() const {
  return ReadText(directory_ + "/frames.log");
}

bool BootsimProcess::waitForLog(const std::function<bool(const std::string& log)>& done,
                                std::chrono::milliseconds timeout) const {
  const auto deadline = Clock::now() + timeout;
  while (!done(log())) {
    if (Clock::now() > deadline) return false;
    std::this_thread::sleep_for(1ms);
  }
  return true;
}

std::string BootsimProcess::errors() const {
  return ReadText(directory_ + "/stderr.txt");
}

void BootsimProcess::hangUp() {
  if (running()) signalAndReap(SIGHUP);
}

std::vector<std::uint8_t> BuiltInInitialMemory() {
  static const std::vector<std::uint8_t> memory = [] {
    const std::string directory = MakeTemporaryDirectory();
    const std::string path = directory + "/initial.bin";
    const int status = Reap(Spawn({BootsimPath(), "--dump-initial", path}, -1, -1, directory + "/stderr.txt"));
    auto bytes = ReadBytes(path);
    if (status != 0 || bytes.size() != kMemorySize) {
      ADD_FAILURE() << "tarvik-bootsim --dump-initial: " << DescribeStatus(status) << ", "
                    << ReadText(directory + "/stderr.txt");
    }
    std::filesystem::remove_all(directory);
    return bytes;
  }();
  return memory;
}

}  // namespace tarvik::testing
