// The device's end of the serial line, paced like a real UART.
//
// A pty hands bytes over at once; a real line at 9600 baud 8E1 carries one
// character every 11/9600 s (1.146 ms). Both directions are paced:
// - a received byte counts as arrived one character time after it was
//   written, and never sooner than one character time after the byte before
//   it, so a 130-byte frame written at once takes 149 ms to "arrive";
// - replies go out one byte at a time, each at its absolute deadline one
//   character time after the one before.
// With a baud rate of 0 there is no pacing at all.
//
// Signals and a vanished peer end the serving loop through LineClosed.
#pragma once

#include <cstdint>
#include <deque>
#include <optional>
#include <span>
#include <utility>

#include "mono_clock.h"
#include "signal_watch.h"

namespace bootsim {

class FrameLog;

// Why serving ended.
enum class EndReason { Terminate, HangUpSignal, HangUpFault, PeerGone };

struct LineClosed {
  EndReason reason;
};

class SerialLine {
 public:
  SerialLine(int fd, unsigned baud, SignalWatch& signals, FrameLog& log);

  // The next received byte, returned no sooner than its modelled arrival.
  // nullopt once `deadline` (monotonic) passes with nothing received; no
  // deadline waits for ever. Throws LineClosed.
  std::optional<std::uint8_t> receive(std::optional<Nanos> deadline);

  // Sends `bytes` paced; `together` goes out in the same write as the last
  // byte of `bytes` (so the peer finds it waiting along with that byte).
  // Throws LineClosed.
  void send(std::span<const std::uint8_t> bytes, std::span<const std::uint8_t> together = {});

  // Device-side work such as programming: sleeps, then checks for signals.
  void pause(Nanos duration);

  // While waiting for input, also ends serving (as a stop request) once `fd`
  // reaches end of file: a test runner holding the other end of our stdin
  // takes the simulator with it when it dies.
  void endWithEof(int fd) { endFd_ = fd; }

 private:
  void readAvailable();
  void writeAll(std::span<const std::uint8_t> bytes);
  void checkSignals();

  void drainEndFd();

  int fd_;
  int endFd_ = -1;
  Nanos charTime_;
  SignalWatch& signals_;
  FrameLog& log_;
  std::deque<std::pair<std::uint8_t, Nanos>> received_;  // byte, modelled arrival
  Nanos lastArrival_ = 0;
  Nanos transmitterFree_ = 0;
};

}  // namespace bootsim
