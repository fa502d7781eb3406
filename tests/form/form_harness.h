#pragma once
// The form over fake platform layers and a recording view: no port exists
// until a test plugs the bridge in, and device changes come through a
// source the test pushes records into.
#include <memory>
#include <string>

#include "Update_Main/Update_Main.h"
#include "tests/fakes/fake_bootloader.h"
#include "tests/fakes/fake_device_info_api.h"
#include "tests/fakes/fake_serial_api.h"
#include "tests/form/recording_form_view.h"

namespace tarvik::testing {

// Records handed over as they come; Dispatch does nothing (the form's
// handler runs at Send, as the window's loop would run it).
class DirectNotifications : public DeviceNotifications {
 public:
  void Register(Handler handler) override { handler_ = std::move(handler); }
  int PollDescriptor() const override { return -1; }
  void Dispatch() override {}
  bool Registered() const { return static_cast<bool>(handler_); }
  void Send(std::uint32_t eventCode, const std::string& devicePath);

 private:
  Handler handler_;
};

inline constexpr char kBridgePath[] =
    "\\\\?\\USB#VID_10C4&PID_EA60#0001#{a5dcbf10-6530-11d2-901f-00c04fb951ed}";
inline constexpr char kBridgeName[] = "Silicon Labs CP210x USB to UART Bridge (COM3)";

struct FormHarness {
  // welcome: what loading "text.rtf" comes to.
  explicit FormHarness(WelcomeFileLoad welcome = {WelcomeFileLoad::Status::Loaded, "/w/text.rtf", ""});
  ~FormHarness();

  // The bridge on COM3 with a bootloader that answers everything.
  void PlugInBridge();
  // Shows page (1 to 5) with the given sync, as the wizard's own paths would.
  void GoTo(int page, bool synced);
  // A click on a button that the user can reach: shown and enabled.
  void Click(form::Id button);

  FakeSerialApi serial;
  FakeDeviceInfoApi devices;
  DirectNotifications notifications;
  RecordingFormView view;
  std::unique_ptr<FakeBootloader> bootloader;
  std::unique_ptr<TForm1> form;
};

}  // namespace tarvik::testing
