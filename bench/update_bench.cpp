// Benchmarks of the link, not tests: CI does not run them.
//   update_bench            a whole update (RunUpdate, headless) against the
//                           virtual tracker paced at 9600 8E1 with 6 ms of
//                           programming per block, compared with the line's
//                           ideal time
//   update_bench --no-pace  the program's own cost per block exchange
//   update_bench --probe    the probe of COM1..COM250 with nothing present
//   update_bench --waits    the 1-ms waits alone, on a line where nothing
//                           comes: what a try lasts and what it costs the CPU,
//                           the floor under the update's own figures
#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>

#include "bench/paced_update.h"
#include "device_link/serial_api_posix.h"
#include "firmware/memory_map.h"
#include "tests/fakes/fake_device_info_api.h"
#include "tests/fakes/recording_view.h"
#include "tests/support/bootsim_process.h"
#include "update_engine/updater.h"

namespace {

using Clock = std::chrono::steady_clock;
using tarvik::bench::CpuSeconds;
using tarvik::bench::UpdateRun;
using tarvik::testing::BootsimOptions;
using tarvik::testing::BootsimProcess;

constexpr int kExchanges =
    static_cast<int>(2 * tarvik::kFlashBlocks + tarvik::kEepromBlocksKeepingSettings);

int Paced() {
  BootsimProcess sim(tarvik::bench::PacedTracker());
  const UpdateRun run = tarvik::bench::RunEngineUpdate(sim);
  if (run.stage != tarvik::kStageDone) return 1;
  tarvik::bench::PrintUpdateLine("update", run);
  return 0;
}

int Unpaced() {
  BootsimProcess sim;
  const UpdateRun run = tarvik::bench::RunEngineUpdate(sim);
  if (run.stage != tarvik::kStageDone) return 1;
  const int exchanges = kExchanges;
  std::printf("exchange: %.2f ms each over %d block exchanges without pacing (cpu %.2f ms each)\n",
              1000.0 * run.seconds / exchanges, exchanges, 1000.0 * run.cpu / exchanges);
  return 0;
}

int Waits() {
  BootsimProcess sim;
  tarvik::PosixSerialApi serial([&](std::string_view name) -> std::optional<std::string> {
    if (name == tarvik::bench::kTrackerPort) return sim.slavePath();
    return std::nullopt;
  });
  tarvik::testing::FakeDeviceInfoApi devices;
  tarvik::Updater updater(serial, devices);
  updater.ConnectPort(tarvik::bench::kTrackerPort);
  if (!updater.FPortOpen) return 1;
  constexpr std::uint32_t kTries = 10000;
  const double cpu0 = CpuSeconds();
  const auto t0 = Clock::now();
  const bool came = updater.WaitForBytes(kTries, 1);
  const double seconds = std::chrono::duration<double>(Clock::now() - t0).count();
  const double cpu = CpuSeconds() - cpu0;
  std::printf("waits alone: a try (1-ms sleep, then a count query) lasts %.3f ms and costs "
              "%.1f us of cpu, %.1f %% of a core; a reply waits %.2f ms for its try on average\n",
              1000.0 * seconds / kTries, 1e6 * cpu / kTries, 100.0 * cpu / seconds,
              500.0 * seconds / kTries);
  return came ? 1 : 0;
}

int Probe() {
  // Nothing present: every name maps onto a node that does not exist.
  tarvik::PosixSerialApi absent([](std::string_view name) -> std::optional<std::string> {
    return "/nonexistent/" + std::string(name);
  });
  tarvik::testing::FakeDeviceInfoApi devices;
  tarvik::Updater updater(absent, devices);
  const auto t0 = Clock::now();
  updater.ScanComPorts();
  const double ms = std::chrono::duration<double, std::milli>(Clock::now() - t0).count();
  // The same probe over this machine's own nodes (/dev/ttyS*, ttyUSB*, ttyACM*).
  tarvik::PosixSerialApi real;
  tarvik::Updater onMachine(real, devices);
  const auto t1 = Clock::now();
  onMachine.ScanComPorts();
  const double msMachine = std::chrono::duration<double, std::milli>(Clock::now() - t1).count();
  std::printf("probe: COM1..COM250 in %.2f ms with nothing present (goal 50 ms); "
              "%.2f ms over this machine's nodes, %zu opened\n",
              ms, msMachine, onMachine.FPortList.size());
  return updater.FPortList.empty() ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
  const std::string mode = argc > 1 ? argv[1] : "";
  if (mode == "--no-pace") return Unpaced();
  if (mode == "--probe") return Probe();
  if (mode == "--waits") return Waits();
  if (mode.empty()) return Paced();
  std::fprintf(stderr, "usage: update_bench [--no-pace | --probe | --waits]\n");
  return 2;
}
