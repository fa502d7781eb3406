// Hot-plug latency: from the bridge being plugged in until the wizard sends
// the bootloader's sync byte 0x7F, with the window offscreen over the real
// Linux layers inside the umockdev testbed (scenario "hotplug"). The clock
// starts when "plug" goes to the harness, so the figure also holds the
// harness's own work (the node, the sysfs devices, starting the simulator):
// an upper bound of what the wizard adds. Run by bench/run_hotplug_bench.sh.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <vector>

#include <QApplication>

#include "form_window.h"
#include "device_link/device_info_linux.h"
#include "device_link/serial_api_posix.h"
#include "device_link/udev_notifications_linux.h"
#include "recording_serial_api.h"
#include "testbed_control.h"

namespace {

using Clock = std::chrono::steady_clock;
using Millis = std::chrono::duration<double, std::milli>;

constexpr int kCycles = 5;
constexpr int kTimeoutMs = 5000;

double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values[values.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
  using namespace tarvik;
  using namespace tarvik::e2e;
  UseOffscreenPlatform();
  QApplication app(argc, argv);
  if (!InTestbed()) {
    std::fprintf(stderr, "hotplug_bench: run it through bench/run_hotplug_bench.sh\n");
    return 2;
  }
  WelcomeTextDir workDir;
  if (!workDir.valid()) return 2;

  PosixSerialApi posix;  // the fixed COM-name mapping: the bridge is COM33
  RecordingSerialApi serial(posix);
  LinuxDeviceInfoApi devices;
  UdevNotifications notifications;
  tarvik::ui::FormWindow window(serial, devices, &notifications);
  TForm1& form = window.Form1();
  window.show();
  RunLoop(200);  // shown and painted before the first cycle

  std::vector<double> totals;
  std::vector<double> harness;
  for (int cycle = 1; cycle <= kCycles; ++cycle) {
    serial.Forget();
    const Clock::time_point sent = Clock::now();
    if (!Testbed("plug")) {
      std::fprintf(stderr, "hotplug_bench: the harness did not plug the bridge in\n");
      return 1;
    }
    const Clock::time_point plugged = Clock::now();
    if (!RunLoopUntil([&] { return form.FPortOpen && form.FSynced; }, kTimeoutMs) ||
        !serial.firstSyncWrite) {
      std::fprintf(stderr, "hotplug_bench: cycle %d: the wizard did not connect\n", cycle);
      return 1;
    }
    totals.push_back(Millis(*serial.firstSyncWrite - sent).count());
    harness.push_back(Millis(plugged - sent).count());
    std::printf("cycle %d: %.1f ms (the harness's plug-in: %.1f ms)\n", cycle, totals.back(),
                harness.back());
    if (!Testbed("unplug") || !RunLoopUntil([&] { return !form.FPortOpen; }, kTimeoutMs)) {
      std::fprintf(stderr, "hotplug_bench: cycle %d: the port was not let go\n", cycle);
      return 1;
    }
  }
  std::printf("hotplug: add event to sync byte %.1f ms (goal 100 ms)\n", Median(totals));
  std::printf("  of which the harness's plug-in (node, devices, simulator): %.1f ms\n",
              Median(harness));
  return 0;
}
