#include "bench/paced_update.h"

#include <sys/resource.h>

#include <chrono>
#include <optional>
#include <string>

#include "device_link/serial_api_posix.h"
#include "firmware/memory_map.h"
#include "tests/fakes/fake_device_info_api.h"
#include "tests/fakes/recording_view.h"
#include "update_engine/updater.h"

namespace tarvik::bench {
namespace {

constexpr double kCharSeconds = 11.0 / 9600.0;  // start, 8 data, parity, stop
constexpr int kFlashBlocks = static_cast<int>(tarvik::kFlashBlocks);
constexpr int kEepromBlocksKept = static_cast<int>(tarvik::kEepromBlocksKeepingSettings);
constexpr int kWriteChars = 137 + 3;
constexpr int kReadChars = 9 + 131;
constexpr double kProgramSeconds = 0.006;

}  // namespace

double IdealUpdateSeconds() {
  const int writes = kFlashBlocks + kEepromBlocksKept;
  return (writes * kWriteChars + kFlashBlocks * kReadChars) * kCharSeconds +
         writes * kProgramSeconds;
}

double CpuSeconds() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  auto seconds = [](const timeval& t) { return t.tv_sec + t.tv_usec / 1e6; };
  return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

UpdateRun RunEngineUpdate(testing::BootsimProcess& sim) {
  tarvik::PosixSerialApi serial([&](std::string_view name) -> std::optional<std::string> {
    if (name == kTrackerPort) return sim.slavePath();
    return std::nullopt;
  });
  tarvik::testing::FakeDeviceInfoApi devices;
  tarvik::Updater updater(serial, devices);
  updater.InitUpdaterState();
  updater.ConnectPort(kTrackerPort);
  if (!updater.FSynced || !updater.BootGet()) {
    std::fprintf(stderr, "the virtual tracker did not answer\n");
    return {};
  }
  updater.FSynced = true;
  tarvik::testing::RecordingView view;
  UpdateRun run;
  const double cpu0 = CpuSeconds();
  const auto t0 = std::chrono::steady_clock::now();
  updater.RunUpdate(view);
  run.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
  run.cpu = CpuSeconds() - cpu0;
  run.stage = updater.FStage;
  return run;
}

testing::BootsimOptions PacedTracker() {
  testing::BootsimOptions options;
  options.baud = 9600;
  options.programDelayMs = 6;
  return options;
}

void PrintUpdateLine(const char* label, const UpdateRun& run) {
  const double ideal = IdealUpdateSeconds();
  std::printf("%s: measured %.2f s, ideal %.2f s, ratio %.3f, cpu %.1f %%\n", label, run.seconds,
              ideal, run.seconds / ideal, 100.0 * run.cpu / run.seconds);
  std::fflush(stdout);
}

}  // namespace tarvik::bench
