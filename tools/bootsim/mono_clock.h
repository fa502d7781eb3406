// Monotonic time in nanoseconds, and sleeps to absolute deadlines on the same
// clock, so that a run of paced bytes keeps to the line's rate without the
// small errors of relative sleeps adding up.
#pragma once

#include <cstdint>

namespace bootsim {

using Nanos = std::int64_t;

inline constexpr Nanos kNanosPerMilli = 1'000'000;

Nanos MonoNow();
// Sleeps until CLOCK_MONOTONIC reaches `deadline`; returns at once if it has.
void SleepUntil(Nanos deadline);

}  // namespace bootsim
