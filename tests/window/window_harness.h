#pragma once
// The Qt window over fake platform layers: no port exists unless a test adds
// one, no device is present, and notifications come from a pipe the test
// writes to (PipeNotifications).
#include <memory>

#include <QString>

#include "form_window.h"
#include "tests/window/event_loop.h"
#include "tests/window/pipe_notifications.h"
#include "tests/window/widgets.h"
#include "tests/fakes/fake_bootloader.h"
#include "tests/fakes/fake_device_info_api.h"
#include "tests/fakes/fake_serial_api.h"


namespace tarvik::testing {

inline constexpr char kTestWelcomeText[] = "Welcome text of the tests";

struct WelcomeDirs {
  QString withText;  // holds a plain-text text.rtf
  QString empty;     // holds nothing
};
void SetWelcomeDirs(const WelcomeDirs& dirs);
const WelcomeDirs& GetWelcomeDirs();

inline constexpr char kBridgeName[] = "Silicon Labs CP210x USB to UART Bridge (COM3)";

struct WindowHarness {
  WindowHarness();
  ~WindowHarness();

  // The bridge on COM3 with a bootloader that answers everything.
  void PlugInBridge();

  FakeSerialApi serial;
  FakeDeviceInfoApi devices;
  PipeNotifications notifications;
  std::unique_ptr<FakeBootloader> bootloader;
  std::unique_ptr<ui::FormWindow> window;
  std::unique_ptr<Widgets> widgets;
};

}  // namespace tarvik::testing
