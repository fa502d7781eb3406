// Benchmark, not a test: a whole paced update through the real Qt window
// (Next clicked on the connection page, the update running inside the
// click with its bar and message processing), printed beside the same
// update through the engine alone, both against the virtual tracker at
// 9600 8E1. The difference of the two ratios is the window's own share.
//   window_update_bench            offscreen unless DISPLAY is set
//   window_update_bench --no-pace  the same without pacing: the cost per block
//   window_update_bench --on-cue   the paced update through the window alone,
//                                  started by a line on stdin; prints "updating"
//                                  as Next starts it (bench/a11y_roundtrip_bench.sh)
#include <chrono>
#include <clocale>
#include <cstdio>
#include <iostream>
#include <optional>
#include <string>

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QPushButton>
#include <QSocketNotifier>
#include <QTemporaryDir>
#include <QTimer>

#include "bench/paced_update.h"
#include "device_link/serial_api_posix.h"
#include "firmware/memory_map.h"
#include "form_window.h"
#include "tests/fakes/fake_device_info_api.h"

namespace {

using tarvik::bench::UpdateRun;
using tarvik::testing::BootsimProcess;

constexpr int kExchanges =
    static_cast<int>(2 * tarvik::kFlashBlocks + tarvik::kEepromBlocksKeepingSettings);

// cue: wait for a line on stdin before the first click, say "updating" when
// Next starts the update and print its line when it returns, then keep the
// window until stdin ends (a request still on its way gets its answer).
UpdateRun RunWindowUpdate(BootsimProcess& sim, bool cue = false) {
  tarvik::PosixSerialApi serial([&](std::string_view name) -> std::optional<std::string> {
    if (name == tarvik::bench::kTrackerPort) return sim.slavePath();
    return std::nullopt;
  });
  tarvik::testing::FakeDeviceInfoApi devices;
  devices.devices = {{std::string("Silicon Labs CP210x USB to UART Bridge (") +
                          tarvik::bench::kTrackerPort + ")",
                      std::string("CP2102 USB to UART Bridge Controller")}};
  tarvik::ui::FormWindow window(serial, devices, nullptr);
  TForm1& form = window.Form1();
  window.show();
  auto* next = window.WidgetAs<QPushButton>(tarvik::form::Id::btnNEXT);
  auto* connect = window.WidgetAs<QPushButton>(tarvik::form::Id::btnConnect);

  UpdateRun run;
  // As the user: Next, Next, Connect, then Next starts the update, all from
  // inside the main loop.
  auto drive = [&] {
    next->click();
    next->click();
    connect->click();
    if (!form.FSynced) {
      std::fprintf(stderr, "the virtual tracker did not answer\n");
      QApplication::exit(1);
      return;
    }
    if (cue) {
      std::puts("updating");
      std::fflush(stdout);
    }
    const double cpu0 = tarvik::bench::CpuSeconds();
    const auto t0 = std::chrono::steady_clock::now();
    next->click();
    run.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    run.cpu = tarvik::bench::CpuSeconds() - cpu0;
    run.stage = form.FStage;
    if (!cue) QApplication::exit(0);
  };
  std::optional<QSocketNotifier> input;
  if (cue) {
    input.emplace(0, QSocketNotifier::Read);
    QObject::connect(&*input, &QSocketNotifier::activated, &window, [&] {
      // Off while the update runs: it processes messages itself.
      input->setEnabled(false);
      std::string line;
      if (run.stage >= 0 || !std::getline(std::cin, line)) {
        QApplication::exit(0);
        return;
      }
      drive();
      if (run.stage < 0) return;
      tarvik::bench::PrintUpdateLine("update through the window", run);
      input->setEnabled(true);
    });
  } else {
    QTimer::singleShot(100, &window, drive);
  }
  QApplication::exec();
  return run;
}

int Paced() {
  UpdateRun engine, window;
  {
    BootsimProcess sim(tarvik::bench::PacedTracker());
    engine = tarvik::bench::RunEngineUpdate(sim);
  }
  {
    BootsimProcess sim(tarvik::bench::PacedTracker());
    window = RunWindowUpdate(sim);
  }
  if (engine.stage != tarvik::kStageDone || window.stage != tarvik::kStageDone) return 1;
  tarvik::bench::PrintUpdateLine("update", engine);
  tarvik::bench::PrintUpdateLine("update through the window", window);
  const double ideal = tarvik::bench::IdealUpdateSeconds();
  std::printf("window's share: %.3f of the ideal time, %.2f ms per block exchange (cpu %.3f ms)\n",
              (window.seconds - engine.seconds) / ideal,
              1000.0 * (window.seconds - engine.seconds) / kExchanges,
              1000.0 * (window.cpu - engine.cpu) / kExchanges);
  return 0;
}

int Unpaced() {
  UpdateRun engine, window;
  {
    BootsimProcess sim;
    engine = tarvik::bench::RunEngineUpdate(sim);
  }
  {
    BootsimProcess sim;
    window = RunWindowUpdate(sim);
  }
  if (engine.stage != tarvik::kStageDone || window.stage != tarvik::kStageDone) return 1;
  std::printf("exchange without pacing: engine %.3f ms, window %.3f ms (cpu %.3f / %.3f ms)\n",
              1000.0 * engine.seconds / kExchanges, 1000.0 * window.seconds / kExchanges,
              1000.0 * engine.cpu / kExchanges, 1000.0 * window.cpu / kExchanges);
  std::printf("window's share without pacing: %.3f ms per block exchange (cpu %.3f ms)\n",
              1000.0 * (window.seconds - engine.seconds) / kExchanges,
              1000.0 * (window.cpu - engine.cpu) / kExchanges);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("DISPLAY")) qputenv("QT_QPA_PLATFORM", "offscreen");
  const std::string mode = argc > 1 ? argv[1] : "";
  char name[] = "window_update_bench";
  char* qtArgv[] = {name, nullptr};
  int qtArgc = 1;
  QApplication app(qtArgc, qtArgv);
  // Qt takes the locale from the environment: the figures print with a
  // decimal point under ru_RU.UTF-8 too.
  std::setlocale(LC_NUMERIC, "C");
  // The window reads "text.rtf" from the current directory; without one its
  // error box would wait for a click.
  QTemporaryDir dir;
  QFile text(dir.filePath(QStringLiteral("text.rtf")));
  if (!dir.isValid() || !text.open(QIODevice::WriteOnly)) return 2;
  text.write("Benchmark");
  text.close();
  QDir::setCurrent(dir.path());
  if (mode == "--no-pace") return Unpaced();
  if (mode == "--on-cue") {
    BootsimProcess sim(tarvik::bench::PacedTracker());
    return RunWindowUpdate(sim, true).stage == tarvik::kStageDone ? 0 : 1;
  }
  if (mode.empty()) return Paced();
  std::fprintf(stderr, "usage: window_update_bench [--no-pace | --on-cue]\n");
  return 2;
}
