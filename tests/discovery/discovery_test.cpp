// Finding the bridge by its device name, probing the port names, and
// connecting: the matching rules and the order in which ports are tried.
#include <gtest/gtest.h>

#include <set>

#include "device_link/port_discovery.h"
#include "tests/fakes/fake_device_info_api.h"
#include "tests/fakes/fake_serial_api.h"
#include "update_engine/updater.h"

namespace tarvik {
namespace {

using testing::FakeDevice;
using testing::FakeDeviceInfoApi;
using testing::FakeSerialApi;
using Bytes = std::vector<std::uint8_t>;

TEST(PortFromDeviceName, MatchesTheBridgeAndReadsEveryDigitAfterCom) {
  struct Row {
    const char* name;
    const char* port;
  };
  const Row rows[] = {
      {"Silicon Labs CP210x USB to UART Bridge (COM12)", "COM12"},
      {"silicon labs cp210x usb to uart bridge (com12)", "COM12"},
      {"Silicon Labs CP210x Bridge (COM5), port 2 (A)", "COM52"},
      {"Silicon Labs CP210x UART Bridge (COM33)", "COM33"},
      {"CP210x Silicon Labs (COM4)", "COM4"},  // marks in either order
      {"Prolific CP210x (COM4)", ""},
      {"Silicon Labs USB to UART (COM4)", ""},
      {"COM9 Silicon Labs CP210x", ""},  // "COM" only before the mark
      {"Silicon Labs CP210x UART Bridge", ""},
      {"Silicon Labs CP210x (COM)", ""},
      // The name's last character is left out of the working text.
      {"Silicon Labs CP210x COM7", ""},
      {"Silicon Labs CP210x COM78", "COM7"},
      {"Silicon Labs CP210x (COM3) \xD0\xBF\xD0\xBE\xD1\x80\xD1\x82 1)", "COM31"},
      {"", ""},
  };
  for (const auto& row : rows) EXPECT_EQ(PortFromDeviceName(row.name), row.port) << row.name;
}

struct EnumRow {
  const char* what;
  std::vector<FakeDevice> devices;
  const char* port;
  std::vector<std::uint32_t> propertiesRead;
};

class FindBridge : public ::testing::TestWithParam<EnumRow> {};

TEST_P(FindBridge, FollowsTheEnumerationRules) {
  FakeDeviceInfoApi api;
  api.devices = GetParam().devices;
  EXPECT_EQ(FindBridgePort(api, PortsClassGuid), GetParam().port);
  EXPECT_EQ(api.lastFlags, 0x12u);
  EXPECT_EQ(api.snapshotsTaken, 1);
  EXPECT_EQ(api.snapshotsReleased, 1) << "the set is released on every way out";
  for (auto size : api.sizesSeen) EXPECT_EQ(size, sizeof(DevInfoData));
  EXPECT_EQ(api.propertiesRead, GetParam().propertiesRead);
}

const std::string kLong(300, 'x');

INSTANTIATE_TEST_SUITE_P(
    Table, FindBridge,
    ::testing::Values(
        EnumRow{"none", {}, "", {}},
        EnumRow{"friendly", {{"Silicon Labs CP210x USB to UART Bridge (COM12)", "x"}}, "COM12", {12}},
        EnumRow{"description when no friendly name",
                {{std::nullopt, "Silicon Labs CP210x (COM6)"}}, "COM6", {12, 0}},
        EnumRow{"empty friendly name reads the description",
                {{"", "Silicon Labs CP210x (COM6)"}}, "COM6", {12, 0}},
        EnumRow{"description not read when the friendly name lacks the marks",
                {{"USB Serial Port (COM3)", "Silicon Labs CP210x (COM6)"}}, "", {12}},
        EnumRow{"description with marks but no number is passed over",
                {{std::nullopt, "Silicon Labs CP210x USB to UART Bridge"},
                 {"Silicon Labs CP210x (COM8)", ""}},
                "COM8", {12, 0, 12}},
        EnumRow{"first of two bridges wins",
                {{"Communications Port (COM1)", ""},
                 {"Silicon Labs CP210x (COM4)", ""},
                 {"Silicon Labs CP210x (COM9)", ""}},
                "COM4", {12, 12}},
        EnumRow{"names without a terminating zero are cut at 257 bytes",
                {{kLong, std::nullopt}}, "", {12}}),
    [](const auto& info) {
      std::string n;
      for (const char* p = info.param.what; *p; ++p) n += std::isalnum(*p) ? *p : '_';
      return n;
    });

TEST(FindBridge, NoSnapshotMeansNothingToRelease) {
  FakeDeviceInfoApi api;
  api.failSnapshot = true;
  EXPECT_EQ(FindBridgePort(api, PortsClassGuid), "");
  EXPECT_EQ(api.snapshotsReleased, 0);
}

TEST(ProbeComPorts, OpensEveryNameWithoutAccessAndListsTheOnesThatOpen) {
  FakeSerialApi api;
  api.ports = {"COM250", "COM2", "COM33"};
  EXPECT_EQ(ProbeComPorts(api), (std::vector<std::string>{"COM2", "COM33", "COM250"}));
  ASSERT_EQ(api.opens.size(), 250u);
  for (unsigned n = 1; n <= 250; ++n) {
    const auto& open = api.opens[n - 1];
    EXPECT_EQ(open.path, "\\\\.\\COM" + std::to_string(n));
    // Numbers, not our constants: a wrong constant must fail here.
    EXPECT_EQ(open.access, 0u) << "neither read nor write: the line is left alone";
    EXPECT_EQ(open.share, 3u) << "FILE_SHARE_READ | FILE_SHARE_WRITE";
    EXPECT_EQ(open.creation, 3u) << "OPEN_EXISTING";
    EXPECT_EQ(open.attributes, 0x80u) << "FILE_ATTRIBUTE_NORMAL";
  }
  EXPECT_EQ(api.closed.size(), 3u) << "each port that opened is closed at once";
  EXPECT_TRUE(api.openHandles.empty());
}

// A serial platform where some ports exist and some of them answer the sync.
struct Bench {
  explicit Bench(std::set<std::string> ports, std::set<std::string> answering)
      : answering(std::move(answering)) {
    api.ports = std::move(ports);
    api.onWrite = [this](FakeSerialApi& a, const Bytes& frame) {
      const std::string port = a.openedPaths.back().substr(4);
      if (!this->answering.count(port)) return;
      if (frame == Bytes{0x7F}) a.queue({0x79});
      if (frame == Bytes{0x00, 0xFF}) a.queue({0x79, 5, 0x10, 0x00, 0x11, 0x21, 0x31, 0x43, 0x79});
    };
    updater.InitUpdaterState();
  }
  std::vector<std::string> connectAttempts() const {
    std::vector<std::string> out;
    for (std::size_t i = 0; i < api.openedPaths.size(); ++i)
      if (api.openAccess[i] != 0) out.push_back(api.openedPaths[i].substr(4));
    return out;
  }

  std::set<std::string> answering;
  FakeSerialApi api;
  FakeDeviceInfoApi devices;
  Updater updater{api, devices};
};

TEST(ConnectByScan, ProbesEveryNameAndTriesTheOpenOnesFromTheHighest) {
  Bench bench({"COM1", "COM3", "COM7"}, {"COM1"});
  bench.updater.ConnectByScan();
  EXPECT_EQ(bench.updater.FPortList, (std::vector<std::string>{"COM1", "COM3", "COM7"}));
  EXPECT_EQ(bench.connectAttempts(), (std::vector<std::string>{"COM7", "COM3", "COM1"}));
  EXPECT_TRUE(bench.updater.FSynced);
  EXPECT_TRUE(bench.updater.FPortOpen);
  // 250 probes with access 0, none configured: only the three real opens set a line.
  std::size_t probes = 0;
  for (auto access : bench.api.openAccess) probes += access == 0;
  EXPECT_EQ(probes, 250u);
  EXPECT_EQ(bench.api.count("setCommState"), 3u);
  EXPECT_EQ(bench.api.openHandles.size(), 1u) << "every probe and failed port was closed";
}

TEST(ConnectByScan, StopsAtTheFirstThatAnswers) {
  Bench bench({"COM1", "COM3", "COM7"}, {"COM3", "COM1"});
  bench.updater.ConnectByScan();
  EXPECT_EQ(bench.connectAttempts(), (std::vector<std::string>{"COM7", "COM3"}));
}

TEST(ConnectByScan, NothingOpensNothingTried) {
  Bench bench({}, {});
  bench.updater.ConnectByScan();
  EXPECT_TRUE(bench.updater.FPortList.empty());
  EXPECT_TRUE(bench.connectAttempts().empty());
  EXPECT_FALSE(bench.updater.FSynced);
}

TEST(ConnectByScan, AProbeKeepsTheOpenPortWhichTheNextConnectCloses) {
  Bench bench({"COM3", "COM5"}, {"COM3"});
  bench.updater.ConnectPort("COM3");
  ASSERT_TRUE(bench.updater.FSynced);
  const PortHandle open = bench.updater.FPortHandle;
  bench.updater.ScanComPorts();
  EXPECT_EQ(bench.updater.FPortHandle, open);
  EXPECT_TRUE(bench.updater.FPortOpen);
  bench.updater.ConnectPort("COM5");
  EXPECT_EQ(bench.api.closed[bench.api.closed.size() - 2], open) << "the old port was closed first";
}

TEST(ConnectPort, ReopensTheSamePortAndClosesOnAFailedSync) {
  Bench bench({"COM4"}, {"COM4"});
  bench.updater.ConnectPort("COM4");
  EXPECT_TRUE(bench.updater.FSynced);
  bench.updater.ConnectPort("COM4");
  EXPECT_TRUE(bench.updater.FSynced);
  EXPECT_EQ(bench.api.closed.size(), 1u);
  EXPECT_EQ(bench.api.openHandles.size(), 1u);

  bench.answering.clear();
  bench.updater.ConnectPort("COM4");
  EXPECT_FALSE(bench.updater.FSynced);
  EXPECT_FALSE(bench.updater.FPortOpen);
  EXPECT_TRUE(bench.api.openHandles.empty());
  EXPECT_EQ(bench.updater.FPortHandle, kInvalidPortHandle);
}

TEST(ConnectPort, RepeatedConnectsLeaveNoHandleBehind) {
  Bench bench({"COM4", "COM9"}, {"COM4"});
  for (int i = 0; i < 1000; ++i) bench.updater.ConnectPort(i % 3 ? "COM4" : "COM9");
  EXPECT_LE(bench.api.openHandles.size(), 1u);
}

}  // namespace
}  // namespace tarvik
