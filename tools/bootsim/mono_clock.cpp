#include "mono_clock.h"

#include <time.h>

#include <cerrno>

namespace bootsim {

Nanos MonoNow() {
  timespec now{};
  ::clock_gettime(CLOCK_MONOTONIC, &now);
  return Nanos{now.tv_sec} * 1'000'000'000 + now.tv_nsec;
}

void SleepUntil(Nanos deadline) {
  timespec at{};
  at.tv_sec = static_cast<time_t>(deadline / 1'000'000'000);
  at.tv_nsec = static_cast<long>(deadline % 1'000'000'000);
  // The signals we care about are blocked and read from a signalfd, so EINTR
  // only comes from a stray handler (or a debugger); sleep on.
  while (::clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &at, nullptr) == EINTR) {
  }
}

}  // namespace bootsim
