// tarvik-bootsim: a virtual GPS tracker for tests and demonstrations. It plays
// the tracker's serial bootloader on a pseudo-terminal, with line pacing and
// injected faults; see --help, bootloader.h and fault_plan.h.
//
// This is a separate implementation of the device side on purpose: it shares
// no code with the program's own protocol layer, so that it can catch that
// layer's mistakes instead of repeating them.
#include <sys/prctl.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <exception>
#include <string>

#include "bootloader.h"
#include "device_memory.h"
#include "fault_plan.h"
#include "frame_log.h"
#include "line_endpoint.h"
#include "options.h"
#include "serial_line.h"
#include "signal_watch.h"

namespace bootsim {
namespace {

const char* Describe(EndReason reason) {
  switch (reason) {
    case EndReason::Terminate: return "stopped by a signal";
    case EndReason::HangUpSignal: return "SIGHUP: line hung up";
    case EndReason::HangUpFault: return "line hung up by a fault";
    case EndReason::PeerGone: return "the line closed";
  }
  return "";
}

BootloaderSettings SettingsFrom(const Options& options) {
  BootloaderSettings settings;
  settings.strict = options.strict;
  settings.versionByte = options.versionByte;
  settings.getCount = options.getCount;
  settings.blockProgramTime = Nanos{options.programDelayMs} * kNanosPerMilli;
  settings.byteProgramTime = Nanos{options.byteDelayMs.value_or(options.programDelayMs)} * kNanosPerMilli;
  settings.interByteTimeout = Nanos{options.timeoutMs} * kNanosPerMilli;
  settings.flips.insert(options.flips.begin(), options.flips.end());
  return settings;
}

// Serves the line until a signal, a hang-up or the end of the line.
void Serve(const Options& options, Memory& memory) {
  SignalWatch signals;
  FrameLog log(options.logPath);
  LineEndpoint endpoint =
      options.fd ? LineEndpoint::Adopt(*options.fd) : LineEndpoint::OpenPty(options.linkPath);
  if (options.fd) {
    std::printf("FD %d\n", *options.fd);
  } else {
    std::printf("PTY %s\n", endpoint.slavePath().c_str());
  }
  std::fflush(stdout);

  FaultPlan faults;
  for (const auto& fault : options.faults) faults.add(fault);
  SerialLine line(endpoint.fd(), options.baud, signals, log);
  if (options.exitWithStdin) line.endWithEof(STDIN_FILENO);
  Bootloader bootloader(line, log, memory, faults, SettingsFrom(options));
  try {
    bootloader.run();
  } catch (const LineClosed& closed) {
    log.note(Describe(closed.reason));
    if (closed.reason == EndReason::HangUpSignal || closed.reason == EndReason::HangUpFault) {
      endpoint.hangUp();
    }
  }
}

int Main(int argc, char** argv) {
  std::string error;
  const auto options = ParseOptions(argc, argv, error);
  if (!options) {
    std::fprintf(stderr, "tarvik-bootsim: %s\nTry 'tarvik-bootsim --help'.\n", error.c_str());
    return 2;
  }
  if (options->help) {
    std::fputs(HelpText(), stdout);
    return 0;
  }

  // A UART shifts each character out on time. The pacing sleeps to
  // absolute deadlines; the kernel's default 50-us timer slack would let
  // every reply's last character, and every programming delay, end late.
  ::prctl(PR_SET_TIMERSLACK, 1UL, 0UL, 0UL, 0UL);

  static Memory memory = BuiltInMemory();
  if (!options->memoryIn.empty()) {
    error = LoadMemory(options->memoryIn, memory);
    if (!error.empty()) {
      std::fprintf(stderr, "tarvik-bootsim: %s\n", error.c_str());
      return 2;
    }
  }
  if (!options->dumpInitial.empty()) {
    error = SaveMemoryAtomically(options->dumpInitial, memory);
    if (!error.empty()) std::fprintf(stderr, "tarvik-bootsim: %s\n", error.c_str());
    return error.empty() ? 0 : 1;
  }

  // A peer that closed our stdout must not kill us before memory-out is written.
  std::signal(SIGPIPE, SIG_IGN);
  int status = 0;
  try {
    Serve(*options, memory);
  } catch (const std::exception& failure) {
    std::fprintf(stderr, "tarvik-bootsim: %s\n", failure.what());
    status = 1;
  }
  if (!options->memoryOut.empty()) {
    error = SaveMemoryAtomically(options->memoryOut, memory);
    if (!error.empty()) {
      std::fprintf(stderr, "tarvik-bootsim: %s\n", error.c_str());
      status = 1;
    }
  }
  return status;
}

}  // namespace
}  // namespace bootsim

int main(int argc, char** argv) {
  return bootsim::Main(argc, argv);
}
