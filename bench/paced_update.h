#pragma once
// A whole update against the virtual tracker paced like the real line, and
// the line's ideal time for it, shared by the engine's and the window's
// benchmarks so that their lines compare.
#include <cstdio>

#include "tests/support/bootsim_process.h"

namespace tarvik::bench {

struct UpdateRun {
  double seconds = 0;  // the update alone, from its start to its return
  double cpu = 0;      // the process's CPU time meanwhile
  int stage = -1;      // what the update left in FStage
};

// The seconds a whole update takes on the line: every character of every
// block exchange at 9600 baud 8E1, and 6 ms of programming per written block
// (program memory, then data memory without the user-settings area).
double IdealUpdateSeconds();

// The process's CPU time so far, user and system.
double CpuSeconds();

// "update: measured ... s, ideal ... s, ratio ..., cpu ... %" with label
// in place of "update".
void PrintUpdateLine(const char* label, const UpdateRun& run);

// The update sequence alone (RunUpdate under a recording view) against sim,
// connected and synced first.
UpdateRun RunEngineUpdate(testing::BootsimProcess& sim);

// A paced virtual tracker: 9600 baud 8E1, 6 ms of programming per block.
testing::BootsimOptions PacedTracker();

// The port name under which a benchmark reaches the virtual tracker.
inline constexpr char kTrackerPort[] = "COM40";

}  // namespace tarvik::bench
