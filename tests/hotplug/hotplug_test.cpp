// The hot-plug watch without a window: what a device-change message records
// and what the idle step does with it in each link state.
#include <gtest/gtest.h>

#include <cstring>

#include "device_link/device_broadcast.h"
#include "tests/fakes/fake_device_info_api.h"
#include "tests/fakes/fake_serial_api.h"
#include "tests/fakes/recording_view.h"
#include "update_engine/updater.h"

namespace tarvik {
namespace {

using testing::FakeDeviceInfoApi;
using testing::FakeSerialApi;
using testing::RecordingView;
using Bytes = std::vector<std::uint8_t>;

const char* kBridgePath =
    "\\\\?\\USB#VID_10C4&PID_EA60#0001#{a5dcbf10-6530-11d2-901f-00c04fb951ed}";

TEST(WMDeviceChange, RecordsOnlyBridgeInterfaceArrivalsAndRemovals) {
  struct Row {
    const char* what;
    std::uint32_t code;
    std::uint32_t type;
    std::string path;
    std::uint8_t pendingBefore;
    std::uint8_t pendingAfter;
  };
  const Row rows[] = {
      {"arrival", kDbtDeviceArrival, 5, kBridgePath, 0, 1},
      {"removal replaces arrival", kDbtDeviceRemoveComplete, 5, kBridgePath, 1, 2},
      {"arrival replaces removal", kDbtDeviceArrival, 5, kBridgePath, 2, 1},
      {"lower case", kDbtDeviceArrival, 5, "\\\\?\\usb#vid_10c4&pid_ea60#0001", 0, 1},
      {"other product", kDbtDeviceArrival, 5, "\\\\?\\USB#VID_10C4&PID_EA61#1", 0, 0},
      {"other vendor", kDbtDeviceRemoveComplete, 5, "\\\\?\\USB#VID_0403&PID_6001#1", 1, 1},
      {"port record", kDbtDeviceArrival, 3, kBridgePath, 0, 0},
      {"query remove", 0x8001, 5, kBridgePath, 0, 0},
      {"remove pending", 0x8003, 5, kBridgePath, 1, 1},
      {"devnodes changed", 0x0007, 5, kBridgePath, 2, 2},
  };
  for (const auto& row : rows) {
    FakeSerialApi api;
    FakeDeviceInfoApi devices;
    Updater updater(api, devices);
    updater.FDeviceEvent = row.pendingBefore;
    const auto record = BuildBroadcastRecord(row.type, row.path);
    updater.WMDeviceChange(row.code, record.data(), record.size());
    EXPECT_EQ(updater.FDeviceEvent, row.pendingAfter) << row.what;
  }
}

TEST(ParseBroadcastRecord, NeverReadsPastTheRecord) {
  auto record = BuildBroadcastRecord(5, kBridgePath);
  // The size field says the record ends before the bridge's ids.
  const std::uint32_t shortSize = 28 + 10;
  std::memcpy(record.data(), &shortSize, 4);
  auto info = ParseBroadcastRecord(record.data(), record.size());
  ASSERT_TRUE(info);
  EXPECT_EQ(info->name.size(), 10u);
  EXPECT_FALSE(IsTrackerDevice(info->name));

  // A name without its zero stops at the record's end.
  Bytes full(284, 'A');
  const std::uint32_t size = 284;
  std::memcpy(full.data(), &size, 4);
  const std::uint32_t type = 5;
  std::memcpy(full.data() + 4, &type, 4);
  info = ParseBroadcastRecord(full.data(), full.size());
  ASSERT_TRUE(info);
  EXPECT_EQ(info->name.size(), 256u);

  // A record larger than it claims, or a header cut short.
  EXPECT_FALSE(ParseBroadcastRecord(full.data(), 7));
  EXPECT_FALSE(ParseBroadcastRecord(nullptr, 284));
  const std::uint32_t huge = 0xFFFFFFFF;
  std::memcpy(full.data(), &huge, 4);
  info = ParseBroadcastRecord(full.data(), 40);
  ASSERT_TRUE(info);
  EXPECT_EQ(info->name.size(), 12u) << "the size given by the caller bounds the read";
}

class Idle : public ::testing::Test {
 protected:
  void SetUp() override {
    api.ports = {"COM12"};
    api.onWrite = [this](FakeSerialApi& a, const Bytes& frame) {
      if (!answers) return;
      if (frame == Bytes{0x7F}) a.queue({0x79});
      if (frame == Bytes{0x00, 0xFF} && getAnswers)
        a.queue({0x79, 5, 0x10, 0x00, 0x11, 0x21, 0x31, 0x43, 0x79});
    };
    devices.devices = {{"Silicon Labs CP210x USB to UART Bridge (COM12)", ""}};
    updater.InitUpdaterState();
  }
  void arrive() {
    const auto r = BuildBroadcastRecord(5, kBridgePath);
    updater.WMDeviceChange(kDbtDeviceArrival, r.data(), r.size());
  }
  void remove() {
    const auto r = BuildBroadcastRecord(5, kBridgePath);
    updater.WMDeviceChange(kDbtDeviceRemoveComplete, r.data(), r.size());
  }

  bool answers = true;
  bool getAnswers = true;
  FakeSerialApi api;
  FakeDeviceInfoApi devices;
  Updater updater{api, devices};
  RecordingView view;
};

TEST_F(Idle, ArrivalConnectsAndShowsTheConnectionPage) {
  arrive();
  updater.IdleStep(view);
  EXPECT_EQ(updater.FDeviceEvent, 0);
  EXPECT_TRUE(updater.FPortOpen);
  EXPECT_TRUE(updater.FSynced);
  EXPECT_EQ(view.connectionPageShown, 1);
  EXPECT_EQ(view.buttonsUpdated, 1);
}

TEST_F(Idle, FailuresShowNothing) {
  struct Row {
    bool answers;
    bool getAnswers;
    bool portOpen;
  };
  for (const Row row : {Row{false, false, false}, Row{true, false, true}}) {
    FakeSerialApi a;
    a.ports = {"COM12"};
    a.onWrite = [&](FakeSerialApi& s, const Bytes& frame) {
      if (row.answers && frame == Bytes{0x7F}) s.queue({0x79});
      if (row.getAnswers && frame == Bytes{0x00, 0xFF}) s.queue({0x79, 0});
    };
    Updater u(a, devices);
    u.InitUpdaterState();
    RecordingView v;
    const auto r = BuildBroadcastRecord(5, kBridgePath);
    u.WMDeviceChange(kDbtDeviceArrival, r.data(), r.size());
    u.IdleStep(v);
    EXPECT_EQ(u.FDeviceEvent, 0);
    EXPECT_FALSE(u.FSynced);
    EXPECT_EQ(u.FPortOpen, row.portOpen);
    EXPECT_EQ(v.connectionPageShown, 0);
    EXPECT_EQ(v.buttonsUpdated, 0);
  }
}

TEST_F(Idle, ArrivalWithNothingFoundSpendsTheEventWithoutProbing) {
  devices.devices.clear();
  arrive();
  arrive();
  updater.IdleStep(view);
  EXPECT_EQ(updater.FDeviceEvent, 0);
  EXPECT_EQ(devices.snapshotsTaken, 1) << "two arrivals, one search";
  EXPECT_TRUE(api.openedPaths.empty()) << "no probe of COM1..COM250";
  updater.IdleStep(view);
  EXPECT_EQ(devices.snapshotsTaken, 1);
}

TEST_F(Idle, ArrivalWaitsWhileAPortIsOpenAndARemovalReplacesIt) {
  updater.ConnectPort("COM12");
  ASSERT_TRUE(updater.FPortOpen);
  arrive();
  updater.IdleStep(view);
  EXPECT_EQ(updater.FDeviceEvent, 1);
  EXPECT_EQ(devices.snapshotsTaken, 0);
  remove();
  updater.IdleStep(view);
  EXPECT_EQ(updater.FDeviceEvent, 0);
  EXPECT_FALSE(updater.FPortOpen);
  EXPECT_FALSE(updater.FSynced);
  EXPECT_EQ(updater.FPortHandle, kInvalidPortHandle);
  EXPECT_TRUE(api.openHandles.empty());
  // The window alone decides what a lost connection shows.
  EXPECT_EQ(view.connectionsLost, 1);
  EXPECT_EQ(view.buttonsUpdated, 0);
  EXPECT_EQ(view.connectionPageShown, 0);
}

TEST_F(Idle, RemovalWithoutAPortWaitsForTheNextOne) {
  remove();
  updater.IdleStep(view);
  EXPECT_EQ(updater.FDeviceEvent, 2);
  EXPECT_EQ(view.connectionsLost, 0) << "no connection to lose";
  updater.ConnectPort("COM12");
  ASSERT_TRUE(updater.FPortOpen);
  updater.IdleStep(view);
  EXPECT_FALSE(updater.FPortOpen);
  EXPECT_EQ(updater.FDeviceEvent, 0);
  EXPECT_EQ(view.connectionsLost, 1);
}

TEST_F(Idle, NothingPendingDoesNothing) {
  updater.IdleStep(view);
  EXPECT_TRUE(api.openedPaths.empty());
  EXPECT_EQ(devices.snapshotsTaken, 0);
}

}  // namespace
}  // namespace tarvik
