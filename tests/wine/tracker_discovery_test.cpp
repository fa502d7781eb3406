// Finding the bridge's port with the real Win32 layers: the probe of COM1 to
// COM250, and the search by device name followed by the connection, with a
// bridge registered in the Wine prefix as COM5 and the virtual tracker on it.
#include <gtest/gtest.h>

#include <algorithm>

#include "device_link/device_info_win32.h"
#include "device_link/port_discovery.h"
#include "device_link/serial_api_win32.h"
#include "tests/wine/spy_layers.h"
#include "tests/wine/test_ports_device.h"
#include "tests/wine/tracker_line.h"
#include "update_engine/updater.h"

namespace tarvik {
namespace {

using testing::CountingTimer;
using testing::kTrackerHint;
using testing::kTrackerPort;
using testing::TestPortsDevice;

TEST(TrackerDiscovery, TheProbeListsCom5AndConfiguresNothing) {
  CountingTimer timer;
  Win32SerialApi real(timer);
  testing::SpySerialApi spy(real);
  const auto ports = ProbeComPorts(spy);
  EXPECT_NE(std::find(ports.begin(), ports.end(), kTrackerPort), ports.end()) << kTrackerHint;
  EXPECT_TRUE(std::is_sorted(ports.begin(), ports.end(), [](const auto& a, const auto& b) {
    return std::stoi(a.substr(3)) < std::stoi(b.substr(3));
  }));
  // Only opens and closes: no setting, no byte, and no fine timer.
  EXPECT_EQ(std::count(spy.calls.begin(), spy.calls.end(), "createFile"), 250);
  EXPECT_EQ(std::count(spy.calls.begin(), spy.calls.end(), "closeHandle"),
            static_cast<long>(ports.size()));
  EXPECT_EQ(spy.calls.size(), 250 + ports.size());
  EXPECT_EQ(timer.raised, 0);
}

TEST(TrackerDiscovery, TheBridgeFoundByItsNameConnects) {
  TestPortsDevice::RemoveLeftovers();
  TestPortsDevice bridge({"Silicon Labs CP210x USB to UART Bridge (COM5)",
                          "Silicon Labs CP210x USB to UART Bridge", true});
  ASSERT_TRUE(bridge.registered()) << bridge.error();
  ASSERT_TRUE(testing::PrepareTrackerLine()) << kTrackerHint;

  Win32SerialApi serial;
  Win32DeviceInfoApi devices;
  Updater updater(serial, devices);
  updater.InitUpdaterState();
  const std::string name = updater.FindDevicePort();
  ASSERT_EQ(name, kTrackerPort);
  updater.ConnectPort(name);
  ASSERT_TRUE(updater.FSynced) << kTrackerHint;
  EXPECT_TRUE(updater.BootGet());
  updater.ClosePort();
}

}  // namespace
}  // namespace tarvik
