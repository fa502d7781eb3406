// The Connect button over the real layers, with the bridge plugged in before
// the window starts (scenarios "bridge" and "nobridge"): the whole way from
// page 1 to "OK" with the tracker's memory checked afterwards, and the ways
// a connection fails.
#include <QFile>
#include <QLabel>
#include <QProcess>
#include <QProgressBar>
#include <QPushButton>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "device_link/device_broadcast.h"
#include "e2e_options.h"
#include "firmware/firmware_images.h"
#include "glyph_label.h"
#include "testbed_control.h"
#include "text_list.h"
#include "wizard_fixture.h"

namespace tarvik::e2e {
namespace {

constexpr std::size_t kMemorySize = 0x10000;
constexpr std::size_t kUserAreaSize = 256;
constexpr std::uint32_t kResidentBootloaderStart = 0x8000;

// The bridge and the unrelated FTDI adapter.
class Bridge : public WizardOnRealLayers {
 protected:
  std::map<std::string, bool> ScenarioAdapters() const override {
    return {{"bridge", true}, {"other", true}};
  }

  void ExpectConnectedShown() {
    EXPECT_TRUE(Visible(ui->lbConnected));
    EXPECT_EQ(ui->lbConnected->text(), QString::fromUtf8(kConnectedText));
    EXPECT_TRUE(Visible(ui->txtConnOK));
    EXPECT_FALSE(Visible(ui->lbNotConnected));
    EXPECT_FALSE(Visible(ui->txtConnFail));
    EXPECT_TRUE(ui->btnNEXT->isEnabled());
    EXPECT_FALSE(ui->btnConnect->isEnabled());
  }
};

// The same, with a tracker that refuses the first data-memory block it is sent.
class BridgeDataMemoryRefusedOnce : public Bridge {};
// The same, with a tracker whose bootloader never answers the sync byte.
class BridgeNoSync : public Bridge {};
// The same, with a tracker that refuses the Get command.
class BridgeGetFails : public Bridge {};

// Only the FTDI adapter.
class NoBridge : public Bridge {
 protected:
  void SetUp() override {
    KeepToTestbedNodes();
    Bridge::SetUp();
  }
  std::map<std::string, bool> ScenarioAdapters() const override { return {{"other", true}}; }
};

QByteArray ReadWhole(const std::string& path) {
  QFile file(QString::fromStdString(path));
  if (!file.open(QIODevice::ReadOnly)) return {};
  return file.readAll();
}

// The virtual tracker's memory before any update. The simulator runs without
// the testbed's preload: it is not part of the program under test.
QByteArray InitialTrackerMemory() {
  QTemporaryDir dir;
  const QString path = dir.filePath(QStringLiteral("initial.bin"));
  QProcess dump;
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  env.remove(QStringLiteral("LD_PRELOAD"));
  env.remove(QStringLiteral("UMOCKDEV_DIR"));
  dump.setProcessEnvironment(env);
  dump.start(QStringLiteral(TARVIK_BOOTSIM_PATH), {QStringLiteral("--dump-initial"), path});
  if (!dump.waitForFinished(10000) || dump.exitCode() != 0) return {};
  return ReadWhole(path.toStdString());
}

// The first differing offset of two ranges, as text, or "" when equal.
std::string FirstDifference(const std::uint8_t* actual, const std::uint8_t* expected,
                            std::size_t size, std::uint32_t baseAddress) {
  const auto [a, e] = std::mismatch(actual, actual + size, expected);
  if (a == actual + size) return {};
  char text[80];
  std::snprintf(text, sizeof text, "at 0x%04X: 0x%02X, expected 0x%02X",
                static_cast<unsigned>(baseAddress + (a - actual)), *a, *e);
  return text;
}

const std::uint8_t* Bytes(const QByteArray& data, std::uint32_t address) {
  return reinterpret_cast<const std::uint8_t*>(data.constData()) + address;
}

TEST_F(Bridge, NextNextConnectUpdateAndOkLeaveTheNewFirmwareInTheTracker) {
  const std::string memoryOut = MemoryOutPath();
  ASSERT_FALSE(memoryOut.empty()) << "give --memory-out=FILE, the simulator's --memory-out";
  std::remove(memoryOut.c_str());  // a file of an earlier run must not count
  const QByteArray initial = InitialTrackerMemory();
  ASSERT_EQ(static_cast<std::size_t>(initial.size()), kMemorySize);

  // Plugged in before the window started: no event, nothing opened.
  RunLoop(50);
  EXPECT_EQ(form().FDeviceEvent, kDeviceEventNone);
  EXPECT_TRUE(serial.opens.empty());

  GoToConnectionPage();
  EXPECT_FALSE(Visible(ui->lbConnected));
  EXPECT_FALSE(Visible(ui->lbNotConnected));
  EXPECT_FALSE(ui->btnNEXT->isEnabled());
  EXPECT_TRUE(ui->btnConnect->isEnabled());

  EXPECT_EQ(form().FindDevicePort(), kBridgePort);
  Click(ui->btnConnect);
  ASSERT_TRUE(form().FPortOpen);
  ASSERT_TRUE(form().FSynced);
  ExpectConnectedShown();
  // Found by name: the only port opened, and no probe.
  EXPECT_EQ(serial.PortsOpenedForUse(), std::vector<std::string>{kBridgeDevicePath});
  EXPECT_EQ(serial.opens.size(), 1u);
  const PortHandle port = form().FPortHandle;

  Click(ui->btnNEXT);  // the update runs to its end inside the click
  EXPECT_EQ(form().ActivePage(), 4);
  EXPECT_EQ(form().FStage, kStageDone);
  EXPECT_TRUE(Visible(ui->txtWriteOK));
  EXPECT_TRUE(Visible(ui->ListWriteOK));
  EXPECT_TRUE(Visible(ui->lbWriteOK));
  EXPECT_TRUE(Visible(ui->lbVerifyOK));
  EXPECT_FALSE(Visible(ui->txtWriteFail));
  EXPECT_FALSE(Visible(ui->lbWriteErr));
  EXPECT_FALSE(Visible(ui->lbVerifyErr));
  EXPECT_EQ(ui->BarWrite->value(), 100);
  EXPECT_EQ(ui->BarVerify->value(), 100);
  EXPECT_TRUE(ui->btnNEXT->isEnabled());
  EXPECT_TRUE(ui->btnBACK->isEnabled());

  Click(ui->btnNEXT);
  EXPECT_EQ(form().ActivePage(), 5);
  EXPECT_EQ(ui->btnNEXT->text(), QStringLiteral("OK"));
  EXPECT_FALSE(Visible(ui->btnESC));

  Click(ui->btnNEXT);  // "OK"
  EXPECT_FALSE(window->isVisible());
  EXPECT_FALSE(form().FPortOpen);
  EXPECT_TRUE(serial.WasClosed(port));

  // Pulled out, the simulator stops and writes what the tracker now holds.
  ASSERT_TRUE(Unplug());
  const QByteArray after = ReadWhole(memoryOut);
  ASSERT_EQ(static_cast<std::size_t>(after.size()), kMemorySize);
  EXPECT_EQ(FirstDifference(Bytes(after, kFlashStart), FlashImage, kFlashImageSize, kFlashStart),
            "")
      << "program memory";
  EXPECT_EQ(FirstDifference(Bytes(after, kEepromKeepUserStart), EepromImage + kUserAreaSize,
                            kEepromImageSize - kUserAreaSize, kEepromKeepUserStart),
            "")
      << "factory data";
  // "Keep user settings" is ticked by default: the user area is the tracker's own.
  EXPECT_EQ(FirstDifference(Bytes(after, kEepromStart), Bytes(initial, kEepromStart),
                            kUserAreaSize, kEepromStart),
            "")
      << "user settings";
  EXPECT_EQ(FirstDifference(Bytes(after, kResidentBootloaderStart),
                            Bytes(initial, kResidentBootloaderStart),
                            kFlashStart - kResidentBootloaderStart, kResidentBootloaderStart),
            "")
      << "the resident bootloader below the firmware";
}

TEST_F(Bridge, ARemovalRecordedWithNoPortOpenClosesThePortConnectOpensAtTheFirstIdleCall) {
  // The testbed has one bridge, and pulling it out and back in ends with its
  // arrival. So the removal comes from a second bridge of the same kind,
  // handed to the window as the udev layer hands it on.
  const BroadcastRecord removal = BuildBroadcastRecord(
      kDbtDevtypDeviceInterface,
      "\\\\?\\USB#VID_10C4&PID_EA60#0002#{a5dcbf10-6530-11d2-901f-00c04fb951ed}");
  form().WMDeviceChange(kDbtDeviceRemoveComplete, removal.data(), removal.size());
  RunLoop(50);
  EXPECT_EQ(form().FDeviceEvent, kDeviceEventRemoval) << "no port open: the removal waits";

  GoToConnectionPage();
  Click(ui->btnConnect);
  ASSERT_TRUE(form().FSynced);
  ASSERT_TRUE(form().FPortOpen) << "the idle step does not run inside the click";
  const PortHandle port = form().FPortHandle;

  RunLoopUntil([&] { return !form().FPortOpen; }, kActTimeoutMs);
  EXPECT_FALSE(form().FPortOpen);
  EXPECT_FALSE(form().FSynced);
  EXPECT_EQ(form().FDeviceEvent, kDeviceEventNone);
  EXPECT_TRUE(serial.WasClosed(port));
  // The port Connect opened is closed again, and the page says so.
  ExpectNotConnectedShown();
}

TEST_F(BridgeDataMemoryRefusedOnce, AFailedUpdateOffersOnlyBackAndTheRepeatedOneLeadsOn) {
  GoToConnectionPage();
  Click(ui->btnConnect);
  ASSERT_TRUE(form().FSynced);
  Click(ui->btnNEXT);
  EXPECT_EQ(form().FStage, kStageNone);
  EXPECT_TRUE(Visible(ui->lbWriteErr));
  EXPECT_TRUE(Visible(ui->lbVerifyOK));
  EXPECT_TRUE(Visible(ui->txtWriteFail));
  EXPECT_FALSE(ui->btnNEXT->isEnabled()) << "no congratulations after a failure";
  EXPECT_TRUE(ui->btnBACK->isEnabled());
  EXPECT_TRUE(ui->btnESC->isEnabled());

  // As the failure text asks: back, connect, and the update once more.
  Click(ui->btnBACK);
  ASSERT_EQ(form().ActivePage(), 3);
  Click(ui->btnConnect);
  ASSERT_TRUE(form().FSynced);
  Click(ui->btnNEXT);
  EXPECT_EQ(form().FStage, kStageDone);
  EXPECT_TRUE(Visible(ui->txtWriteOK));
  EXPECT_TRUE(ui->btnNEXT->isEnabled());
  Click(ui->btnNEXT);
  EXPECT_EQ(form().ActivePage(), 5);
}

TEST_F(BridgeNoSync, APortThatDoesNotSyncIsClosedAgainAndNoProbeFollows) {
  GoToConnectionPage();
  EXPECT_EQ(form().FindDevicePort(), kBridgePort);
  Click(ui->btnConnect);
  EXPECT_FALSE(form().FPortOpen);
  EXPECT_FALSE(form().FSynced);
  ExpectNotConnectedShown();
  ASSERT_EQ(serial.opens.size(), 1u) << "no probe after the port found by name";
  EXPECT_EQ(serial.opens[0].path, kBridgeDevicePath);
  ASSERT_EQ(serial.calls.size(), 2u);
  EXPECT_EQ(serial.calls[1].kind, PortCall::Kind::Close);
  EXPECT_EQ(serial.calls[1].handle, serial.opens[0].handle);
}

TEST_F(BridgeGetFails, AGetFailureLeavesThePortOpenAndTheNextConnectClosesItFirst) {
  GoToConnectionPage();
  Click(ui->btnConnect);
  EXPECT_TRUE(form().FPortOpen);
  EXPECT_FALSE(form().FSynced);
  ExpectNotConnectedShown();
  const PortHandle first = form().FPortHandle;
  EXPECT_FALSE(serial.WasClosed(first));

  RunLoop(50);  // nothing pending: the idle step leaves the port alone
  EXPECT_TRUE(form().FPortOpen);

  Click(ui->btnConnect);
  EXPECT_TRUE(form().FPortOpen);
  EXPECT_FALSE(form().FSynced);
  ExpectNotConnectedShown();
  ASSERT_EQ(serial.calls.size(), 3u);
  EXPECT_EQ(serial.calls[1].kind, PortCall::Kind::Close);
  EXPECT_EQ(serial.calls[1].handle, first);
  EXPECT_EQ(serial.calls[2].kind, PortCall::Kind::Open);
  EXPECT_EQ(serial.calls[2].path, kBridgeDevicePath);
}

TEST_F(NoBridge, ConnectProbesTriesWhatOpensHighestFirstAndShowsTheFailure) {
  GoToConnectionPage();
  EXPECT_EQ(form().FindDevicePort(), "");
  Click(ui->btnConnect);
  EXPECT_FALSE(form().FPortOpen);
  EXPECT_FALSE(form().FSynced);
  ExpectNotConnectedShown();

  // The probe asked for every name from COM1 to COM250 in order, opening
  // none of them for use ...
  std::vector<std::string> probed;
  for (const OpenCall& call : serial.opens)
    if (call.access == 0) probed.push_back(call.path);
  ASSERT_EQ(probed.size(), 250u);
  for (int n = 1; n <= 250; ++n)
    EXPECT_EQ(probed[n - 1], std::string(kDevicePrefix) + "COM" + std::to_string(n));
  // ... and listed the FTDI adapter, which then got its sync byte and no answer.
  EXPECT_NE(std::find(form().FPortList.begin(), form().FPortList.end(), kOtherPort),
            form().FPortList.end());
  EXPECT_EQ(std::find(form().FPortList.begin(), form().FPortList.end(), kBridgePort),
            form().FPortList.end());
  std::vector<std::string> tried;
  for (auto it = form().FPortList.rbegin(); it != form().FPortList.rend(); ++it)
    tried.push_back(std::string(kDevicePrefix) + *it);
  EXPECT_EQ(serial.PortsOpenedForUse(), tried) << "each listed port, highest number first";
  // Each tried port was closed again after its failed sync.
  for (std::size_t i = 0; i < serial.calls.size(); ++i)
    EXPECT_EQ(serial.calls[i].kind, i % 2 == 0 ? PortCall::Kind::Open : PortCall::Kind::Close);
  EXPECT_EQ(serial.calls.size() % 2, 0u);
}

}  // namespace
}  // namespace tarvik::e2e
