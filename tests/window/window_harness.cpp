#include "window_harness.h"

#include <fcntl.h>
#include <cstring>
#include <unistd.h>

#include <QCheckBox>
#include <QEventLoop>
#include <QFrame>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QStatusBar>
#include <QTextEdit>
#include <QTimer>

#include "device_link/device_broadcast.h"
#include "glyph_label.h"
#include "page_container.h"
#include "text_list.h"

namespace tarvik::testing {
namespace {
WelcomeDirs gDirs;
}

void SetWelcomeDirs(const WelcomeDirs& dirs) { gDirs = dirs; }
const WelcomeDirs& GetWelcomeDirs() { return gDirs; }

PipeNotifications::PipeNotifications() {
  int fds[2];
  if (pipe2(fds, O_NONBLOCK | O_CLOEXEC) == 0) {
    readEnd_ = fds[0];
    writeEnd_ = fds[1];
  }
}

PipeNotifications::~PipeNotifications() {
  if (readEnd_ >= 0) close(readEnd_);
  if (writeEnd_ >= 0) close(writeEnd_);
}

void PipeNotifications::Register(Handler handler) {
  ++registrations;
  handler_ = std::move(handler);
}

void PipeNotifications::Send(std::uint32_t eventCode, const std::string& devicePath) {
  const BroadcastRecord record = BuildBroadcastRecord(kDbtDevtypDeviceInterface, devicePath);
  std::uint8_t message[4 + kBroadcastRecordSize];
  std::memcpy(message, &eventCode, 4);
  std::memcpy(message + 4, record.data(), record.size());
  [[maybe_unused]] const ssize_t n = write(writeEnd_, message, sizeof message);
}

void PipeNotifications::Dispatch() {
  std::uint8_t message[4 + kBroadcastRecordSize];
  while (read(readEnd_, message, sizeof message) == static_cast<ssize_t>(sizeof message)) {
    std::uint32_t eventCode = 0;
    std::memcpy(&eventCode, message, 4);
    if (handler_) handler_(eventCode, message + 4, kBroadcastRecordSize);
  }
}

WindowHarness::WindowHarness() {
  serial.ports.clear();  // no port opens until a test plugs the bridge in
  window = std::make_unique<ui::FormWindow>(serial, devices, &notifications);
  widgets = std::make_unique<Widgets>(*window);
}

WindowHarness::~WindowHarness() {
  widgets.reset();
  window.reset();
  bootloader.reset();
}

void WindowHarness::PlugInBridge() {
  serial.ports = {"COM3"};
  devices.devices = {FakeDevice{std::string(kBridgeName), std::string("CP2102")}};
  if (!bootloader) bootloader = std::make_unique<FakeBootloader>(serial);
}

void RunLoop(int milliseconds) {
  // A real loop, as the program's main loop: the idle hook runs when it is
  // about to wait (processEvents, as in QTest::qWait, never waits).
  QEventLoop loop;
  QTimer::singleShot(milliseconds, &loop, &QEventLoop::quit);
  loop.exec();
}

}  // namespace tarvik::testing
