// Benchmark, not a test: the native Windows window's share of a block
// exchange. One whole update through the update engine alone, then one
// through the window (Next on the connection page, the update running inside
// the click with its bar and message processing), both over the real Win32
// serial layer against the virtual tracker on COM5, which answers without
// pacing. Run under Wine, with its null display driver, by
// bench/wine_window_bench.sh.
#include <windows.h>

#include <chrono>
#include <cstdio>

#include "device_link/serial_api_win32.h"
#include "firmware/memory_map.h"
#include "tests/fakes/fake_device_info_api.h"
#include "tests/fakes/recording_view.h"
#include "tests/win32_window/window_harness.h"
#include "tests/wine/tracker_line.h"
#include "update_engine/updater.h"
#include "window_win32/form_window.h"

namespace {

using tarvik::form::Id;
using Clock = std::chrono::steady_clock;

constexpr int kExchanges =
    static_cast<int>(2 * tarvik::kFlashBlocks + tarvik::kEepromBlocksKeepingSettings);

struct Run {
  double seconds = 0;
  double cpu = 0;
  int stage = -1;
};

double CpuSeconds() {
  FILETIME created, ended, kernel, user;
  ::GetProcessTimes(::GetCurrentProcess(), &created, &ended, &kernel, &user);
  auto seconds = [](const FILETIME& t) {
    return ((static_cast<unsigned long long>(t.dwHighDateTime) << 32) | t.dwLowDateTime) / 1e7;
  };
  return seconds(kernel) + seconds(user);
}

// Times the update that update() runs and returns the stage it ended in.
template <class Update>
Run Measure(Update update) {
  Run run;
  const double cpu0 = CpuSeconds();
  const auto t0 = Clock::now();
  run.stage = update();
  run.seconds = std::chrono::duration<double>(Clock::now() - t0).count();
  run.cpu = CpuSeconds() - cpu0;
  return run;
}

Run EngineUpdate() {
  tarvik::Win32SerialApi serial;
  tarvik::testing::FakeDeviceInfoApi devices;
  tarvik::Updater updater(serial, devices);
  updater.InitUpdaterState();
  updater.ConnectPort(tarvik::testing::kTrackerPort);
  if (!updater.FSynced || !updater.BootGet()) return {};
  tarvik::testing::RecordingView view;
  Run run = Measure([&] {
    updater.RunUpdate(view);
    return static_cast<int>(updater.FStage);
  });
  updater.ClosePort();
  return run;
}

Run WindowUpdate() {
  tarvik::Win32SerialApi serial;
  tarvik::testing::FakeDeviceInfoApi devices;
  devices.devices = {{std::string("Silicon Labs CP210x USB to UART Bridge (COM5)"),
                      std::string("CP2102 USB to UART Bridge Controller")}};
  tarvik::win32::FormWindow window(serial, devices);
  window.Show(SW_SHOWNORMAL);
  auto click = [&](Id id) { ::SendMessageW(window.Control(id), BM_CLICK, 0, 0); };
  click(Id::btnNEXT);
  click(Id::btnNEXT);
  click(Id::btnConnect);
  if (!window.Form1().FSynced) return {};
  Run run = Measure([&] {
    click(Id::btnNEXT);
    return static_cast<int>(window.Form1().FStage);
  });
  click(Id::btnESC);  // closes the port
  return run;
}

}  // namespace

int main() {
  // The window reads "text.rtf" from the current directory; without one its
  // error box would wait for a click.
  tarvik::testing::WelcomeDirectory directory("Benchmark");
  if (!tarvik::testing::PrepareTrackerLine()) {
    std::fprintf(stderr, "%s\n", tarvik::testing::kTrackerHint);
    return 2;
  }
  const Run engine = EngineUpdate();
  tarvik::testing::PrepareTrackerLine();
  const Run window = WindowUpdate();
  if (engine.stage != tarvik::kStageDone || window.stage != tarvik::kStageDone) {
    std::fprintf(stderr, "an update failed (engine stage %d, window stage %d)\n", engine.stage,
                 window.stage);
    return 1;
  }
  std::printf("exchange without pacing: engine %.3f ms, window %.3f ms (cpu %.3f / %.3f ms)\n",
              1000.0 * engine.seconds / kExchanges, 1000.0 * window.seconds / kExchanges,
              1000.0 * engine.cpu / kExchanges, 1000.0 * window.cpu / kExchanges);
  std::printf("native window's share without pacing: %.3f ms per block exchange (cpu %.3f ms)\n",
              1000.0 * (window.seconds - engine.seconds) / kExchanges,
              1000.0 * (window.cpu - engine.cpu) / kExchanges);
  return 0;
}
