#include "window_harness.h"

#include <QCheckBox>
#include <QFrame>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QStatusBar>
#include <QTextEdit>

#include "glyph_label.h"
#include "page_container.h"
#include "text_list.h"

namespace tarvik::testing {
namespace {
WelcomeDirs gDirs;
}

void SetWelcomeDirs(const WelcomeDirs& dirs) { gDirs = dirs; }
const WelcomeDirs& GetWelcomeDirs() { return gDirs; }

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

}  // namespace tarvik::testing
