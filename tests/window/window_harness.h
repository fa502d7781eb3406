#pragma once
// The Qt window over fake platform layers: no port exists unless a test adds
// one, no device is present, and notifications come from a pipe the test
// writes to, as the udev monitor's socket brings them.
#include <memory>

#include <QString>

#include "form_window.h"
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

// Hands the window a device-change record through a pipe, as the udev
// monitor does through its socket.
class PipeNotifications : public DeviceNotifications {
 public:
  PipeNotifications();
  ~PipeNotifications() override;
  void Register(Handler handler) override;
  int PollDescriptor() const override { return readEnd_; }
  void Dispatch() override;

  // Queues one notification; the window reads it when its loop runs.
  void Send(std::uint32_t eventCode, const std::string& devicePath);

  int registrations = 0;

 private:
  Handler handler_;
  int readEnd_ = -1;
  int writeEnd_ = -1;
};

inline constexpr char kBridgePath[] =
    "\\\\?\\USB#VID_10C4&PID_EA60#0001#{a5dcbf10-6530-11d2-901f-00c04fb951ed}";
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

// Runs an event loop briefly, as the main loop (the idle hook runs when it
// is about to wait).
void RunLoop(int milliseconds = 20);

}  // namespace tarvik::testing
