// The setupapi layer and the search for the bridge against devices registered
// in the Wine prefix. Each test registers what it needs and removes it again.
#include <gtest/gtest.h>

#include <windows.h>

#include "device_link/device_info_win32.h"
#include "device_link/port_discovery.h"
#include "tests/wine/spy_layers.h"
#include "tests/wine/test_ports_device.h"

namespace tarvik {
namespace {

using testing::SpyDeviceInfoApi;
using testing::TestPortsDevice;
using testing::TestPortsDeviceNames;

class Win32DeviceInfoLayer : public ::testing::Test {
 protected:
  void SetUp() override { TestPortsDevice::RemoveLeftovers(); }

  std::string Find() { return FindBridgePort(spy, PortsClassGuid); }

  // Every snapshot taken was released, and the layer no longer knows it.
  void ExpectSnapshotsReleased() {
    EXPECT_EQ(spy.setsReleased, spy.setsTaken);
    for (const DevInfoSet set : spy.setsTaken) EXPECT_FALSE(real.destroyDeviceInfoList(set));
  }

  Win32DeviceInfoApi real;
  SpyDeviceInfoApi spy{real};
};

TEST_F(Win32DeviceInfoLayer, NoBridgeMeansAnEmptyResultAndAReleasedSnapshot) {
  EXPECT_EQ(Find(), "");
  ASSERT_EQ(spy.flags, std::vector<std::uint32_t>{0x12});
  EXPECT_EQ(spy.setsTaken.size(), 1u) << "the snapshot is taken even when it is empty";
  ExpectSnapshotsReleased();
}

TEST_F(Win32DeviceInfoLayer, FindsTheBridgeByItsFriendlyName) {
  TestPortsDevice device({"Silicon Labs CP210x USB to UART Bridge (COM5)",
                          "Silicon Labs CP210x USB to UART Bridge", true});
  ASSERT_TRUE(device.registered()) << device.error();
  EXPECT_EQ(Find(), "COM5");
  ASSERT_EQ(spy.propertyReads.size(), 1u);
  EXPECT_EQ(spy.propertyReads[0].property, kSpdrpFriendlyName);
  ExpectSnapshotsReleased();
}

TEST_F(Win32DeviceInfoLayer, ReadsTheDescriptionWhenThereIsNoFriendlyName) {
  TestPortsDevice device({std::nullopt, "Silicon Labs CP210x USB to UART Bridge (COM7)", true});
  ASSERT_TRUE(device.registered()) << device.error();
  EXPECT_EQ(Find(), "COM7");
  ASSERT_EQ(spy.propertyReads.size(), 2u);
  EXPECT_FALSE(spy.propertyReads[0].ok) << "the device has no friendly name";
  EXPECT_EQ(spy.propertyReads[1].property, kSpdrpDeviceDesc);
  EXPECT_TRUE(spy.propertyReads[1].ok);
  ExpectSnapshotsReleased();
}

TEST_F(Win32DeviceInfoLayer, PassesOverOtherPortsAndTakesTheBridge) {
  TestPortsDevice other({"Communications Port (COM1)", "Communications Port", true});
  TestPortsDevice bridge({"Silicon Labs CP210x USB to UART Bridge (COM12)", std::nullopt, true});
  ASSERT_TRUE(other.registered()) << other.error();
  ASSERT_TRUE(bridge.registered()) << bridge.error();
  EXPECT_EQ(Find(), "COM12");
  EXPECT_EQ(spy.propertyReads.size(), 2u) << "the other port comes first in the enumeration";
  ExpectSnapshotsReleased();
}

TEST_F(Win32DeviceInfoLayer, ADeviceWithoutThePortsInterfaceIsNotListed) {
  // Only devices that expose an interface of the class count, as the search
  // asks for: a driver that registers none leaves the bridge to the probe.
  TestPortsDevice device({"Silicon Labs CP210x USB to UART Bridge (COM5)", std::nullopt, false});
  ASSERT_TRUE(device.registered()) << device.error();
  EXPECT_EQ(Find(), "");
  ExpectSnapshotsReleased();
}

TEST_F(Win32DeviceInfoLayer, RefusesSnapshotsAndRecordsThatDidNotComeFromIt) {
  TestPortsDevice device({"Silicon Labs CP210x USB to UART Bridge (COM5)", std::nullopt, true});
  ASSERT_TRUE(device.registered()) << device.error();
  DevInfoData data;
  data.cbSize = sizeof data;
  EXPECT_FALSE(real.enumDeviceInfo(12345, 0, data));
  EXPECT_FALSE(real.destroyDeviceInfoList(12345));
  EXPECT_FALSE(real.destroyDeviceInfoList(kInvalidDevInfoSet));

  const DevInfoSet set = real.getClassDevs(PortsClassGuid, kDigcfPresentInterface);
  ASSERT_NE(set, kInvalidDevInfoSet);
  ASSERT_TRUE(real.enumDeviceInfo(set, 0, data));
  std::uint8_t buffer[kDeviceNameBufferSize] = {};
  std::uint32_t type = 0;
  std::uint32_t required = 0;
  DevInfoData forged = data;
  forged.Reserved ^= 0x10;  // setupapi would follow it as a pointer
  EXPECT_FALSE(real.getDeviceRegistryProperty(set, forged, kSpdrpFriendlyName, type, buffer,
                                              sizeof buffer, required));
  EXPECT_EQ(buffer[0], 0);
  EXPECT_FALSE(real.getDeviceRegistryProperty(12345, data, kSpdrpFriendlyName, type, buffer,
                                              sizeof buffer, required));
  ASSERT_TRUE(real.getDeviceRegistryProperty(set, data, kSpdrpFriendlyName, type, buffer,
                                             sizeof buffer, required));
  EXPECT_STREQ(reinterpret_cast<const char*>(buffer),
               "Silicon Labs CP210x USB to UART Bridge (COM5)");
  EXPECT_EQ(type, static_cast<std::uint32_t>(REG_SZ));
  EXPECT_EQ(required, 46u);
  EXPECT_TRUE(real.destroyDeviceInfoList(set));
  EXPECT_FALSE(real.getDeviceRegistryProperty(set, data, kSpdrpFriendlyName, type, buffer,
                                              sizeof buffer, required))
      << "a released snapshot is gone";
}

}  // namespace
}  // namespace tarvik
