#pragma once
// The wizard window over the real Linux layers (termios ports under their COM
// names, udev for the port list and for hot-plug), inside the umockdev
// testbed of tests/umockdev/run_in_testbed.py. Every port the window opens
// goes through a RecordingSerialApi, so a test can see what was opened and
// closed. Adapters a test plugs in or pulls out are put back as the scenario
// had them when the test ends.
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include <gtest/gtest.h>

#include "form_window.h"
#include "tests/window/widgets.h"
#include "device_link/device_info_linux.h"
#include "device_link/serial_api_posix.h"
#include "device_link/udev_notifications_linux.h"
#include "recording_serial_api.h"

class QPushButton;
class QWidget;

namespace tarvik::e2e {

// The bridge's COM name under the fixed mapping (/dev/ttyUSB0), and the
// unrelated FTDI adapter's (/dev/ttyUSB1).
inline constexpr char kBridgePort[] = "COM33";
inline constexpr char kOtherPort[] = "COM34";
inline constexpr char kBridgeDevicePath[] = "\\\\.\\COM33";
inline constexpr char kOtherDevicePath[] = "\\\\.\\COM34";
inline constexpr char kConnectedText[] = "УСТАНОВЛЕНО";
inline constexpr char kNotConnectedText[] = "НЕ УСТАНОВЛЕНО";

// How long a test waits for the window to act on a plug-in or a removal;
// far above the few tens of milliseconds it takes.
inline constexpr int kActTimeoutMs = 5000;

class WizardOnRealLayers : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  // The adapters the scenario starts with ("bridge", "other").
  virtual std::map<std::string, bool> ScenarioAdapters() const = 0;

  // Plugs in or pulls out an adapter through the harness.
  bool Plug(const std::string& adapter = "bridge");
  bool Unplug(const std::string& adapter = "bridge");

  void Click(QPushButton* button);
  // Next, Next: the connection page, as the user reaches it.
  void GoToConnectionPage();
  // Shows page (1 to 5) with its buttons, as only the wizard's own paths
  // would; for pages that cannot be reached without an update.
  void ShowPage(int page);
  bool Visible(const QWidget* widget) const;
  // The connection page as a failed Connect leaves it: "НЕ УСТАНОВЛЕНО" and
  // the cross, Next disabled, Connect enabled.
  void ExpectNotConnectedShown();

  // Waits until the window's port is open and the bootloader answered, or
  // until it is closed.
  bool WaitConnected();
  bool WaitPortClosed();

  // Only the testbed's own nodes: see TestbedNodeForPort.
  void KeepToTestbedNodes() { testbedNodesOnly_ = true; }

  // The fixed COM-name mapping, as the program has it.
  PosixSerialApi posix{[this](std::string_view name) { return NodeForPort(name); }};
  RecordingSerialApi serial{posix};
  LinuxDeviceInfoApi devices;
  UdevNotifications notifications;
  std::unique_ptr<ui::FormWindow> window;
  std::unique_ptr<testing::Widgets> ui;
  TForm1& form() { return window->Form1(); }

 private:
  std::optional<std::string> NodeForPort(std::string_view name) const;

  std::map<std::string, bool> plugged_;  // adapter -> plugged in now
  bool testbedNodesOnly_ = false;
};

// The fixed mapping, but only for nodes the testbed holds. The probe asks
// for 250 names; under the preload an absent node would fall through to the
// machine's own /dev (a real ttyS0 would be opened and sent the sync byte),
// and umockdev 0.17.16 keeps a slot of its 50-entry descriptor table for
// every failed open() of a /dev path and aborts when they run out.
std::optional<std::string> TestbedNodeForPort(std::string_view name);

}  // namespace tarvik::e2e
