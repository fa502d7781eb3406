// The hot-plug watch over the real layers (scenario "hotplug": nothing is
// plugged in until a test asks the harness): udev's add and remove events
// reach the window, which acts on them once its loop goes idle.
#include <QLabel>
#include <QPushButton>
#include <QTimer>

#include "glyph_label.h"
#include "testbed_control.h"
#include "text_list.h"
#include "wizard_fixture.h"

namespace tarvik::e2e {
namespace {

class Hotplug : public WizardOnRealLayers {
 protected:
  std::map<std::string, bool> ScenarioAdapters() const override {
    return {{"bridge", false}, {"other", false}};
  }

  void ExpectConnectedShown() {
    EXPECT_EQ(form().ActivePage(), 3);
    EXPECT_TRUE(Visible(ui->lbConnected));
    EXPECT_EQ(ui->lbConnected->text(), QString::fromUtf8(kConnectedText));
    EXPECT_TRUE(Visible(ui->txtConnOK));
    EXPECT_FALSE(Visible(ui->lbNotConnected));
    EXPECT_FALSE(Visible(ui->txtConnFail));
    EXPECT_TRUE(ui->btnNEXT->isEnabled());
    EXPECT_FALSE(ui->btnConnect->isEnabled());
  }

  // Plugs the bridge in on the connection page and waits for the connection.
  void ConnectByPlugging() {
    GoToConnectionPage();
    ASSERT_TRUE(Plug());
    ASSERT_TRUE(WaitConnected());
  }
};

TEST_F(Hotplug, TheBridgePluggedInOnAnyOtherPageConnectsAndShowsTheConnectionPage) {
  for (int page : {1, 2, 4, 5}) {
    SCOPED_TRACE("start page " + std::to_string(page));
    // Page 2, then Next: the connection indicators of the row before are hidden.
    ShowPage(2);
    Click(ui->btnNEXT);
    ASSERT_FALSE(Visible(ui->lbConnected));
    ShowPage(page);
    ASSERT_FALSE(form().FPortOpen);

    ASSERT_TRUE(Plug());
    EXPECT_TRUE(WaitConnected());
    EXPECT_EQ(form().FDeviceEvent, kDeviceEventNone);
    ExpectConnectedShown();
    EXPECT_EQ(form().FindDevicePort(), kBridgePort);

    ASSERT_TRUE(Unplug());
    EXPECT_TRUE(WaitPortClosed());
  }
}

TEST_F(Hotplug, TheBridgePulledOutClosesThePortAndThePageShowsItGone) {
  ConnectByPlugging();
  const PortHandle port = form().FPortHandle;

  ASSERT_TRUE(Unplug());
  ASSERT_TRUE(WaitPortClosed());
  EXPECT_FALSE(form().FSynced);
  EXPECT_EQ(form().FDeviceEvent, kDeviceEventNone);
  EXPECT_EQ(form().FPortHandle, kInvalidPortHandle);
  EXPECT_TRUE(serial.WasClosed(port));
  EXPECT_EQ(form().ActivePage(), 3);
  ExpectNotConnectedShown();
}

TEST_F(Hotplug, AnArrivalWhileAPortIsOpenWaitsAndARemovalReplacesIt) {
  ConnectByPlugging();
  const PortHandle port = form().FPortHandle;
  const std::size_t opens = serial.opens.size();

  // Out and in again before the loop runs: the arrival comes last and finds
  // the old port still open.
  ASSERT_TRUE(Unplug());
  ASSERT_TRUE(Plug());
  EXPECT_TRUE(RunLoopUntil([&] { return form().FDeviceEvent != kDeviceEventNone; }, kActTimeoutMs));
  RunLoop(100);
  EXPECT_EQ(form().FDeviceEvent, kDeviceEventArrival);
  EXPECT_TRUE(form().FPortOpen);
  EXPECT_EQ(form().FPortHandle, port);
  EXPECT_EQ(serial.opens.size(), opens) << "no search or connection while a port is open";

  ASSERT_TRUE(Unplug());
  ASSERT_TRUE(WaitPortClosed());
  EXPECT_EQ(form().FDeviceEvent, kDeviceEventNone);
  EXPECT_TRUE(serial.WasClosed(port));
  EXPECT_EQ(serial.opens.size(), opens);
}

TEST_F(Hotplug, TheBridgePulledOutDuringTheUpdateFailsItAndThePortClosesAfterTheClick) {
  ConnectByPlugging();
  const PortHandle port = form().FPortHandle;

  // Pulled out from inside the update's message processing, a few blocks in.
  bool pulled = false;
  std::uint32_t nextBlock = 0;
  QTimer puller;
  puller.setInterval(0);
  QObject::connect(&puller, &QTimer::timeout, [&] {
    if (pulled || form().FStage != kStageWriteFlash || form().FAddress < kFlashStart + 16 * kBlockBytes)
      return;
    nextBlock = form().FAddress;
    pulled = Unplug();
  });
  puller.start();
  Click(ui->btnNEXT);
  puller.stop();

  ASSERT_TRUE(pulled);
  EXPECT_EQ(form().FStage, kStageNone);
  EXPECT_EQ(form().FAddress, nextBlock + form().FBlockSize) << "fails at the block after the pull";
  EXPECT_TRUE(Visible(ui->lbWriteErr));
  EXPECT_TRUE(Visible(ui->txtWriteFail));
  EXPECT_TRUE(Visible(ui->ListWriteFail));
  EXPECT_FALSE(Visible(ui->txtWriteOK));
  EXPECT_FALSE(ui->btnNEXT->isEnabled());
  EXPECT_TRUE(ui->btnBACK->isEnabled());
  EXPECT_TRUE(form().FPortOpen) << "the idle step does not run inside the click";
  EXPECT_FALSE(serial.WasClosed(port));

  ASSERT_TRUE(WaitPortClosed());
  EXPECT_EQ(form().FDeviceEvent, kDeviceEventNone);
  EXPECT_TRUE(serial.WasClosed(port));
  // Page 4 keeps the failure it showed.
  EXPECT_EQ(form().ActivePage(), 4);
  EXPECT_TRUE(Visible(ui->txtWriteFail));
  EXPECT_FALSE(ui->btnNEXT->isEnabled());
}

TEST_F(Hotplug, TheOtherAdapterComingOrGoingChangesNothing) {
  Click(ui->btnNEXT);
  ASSERT_TRUE(Plug("other"));
  RunLoop(150);
  EXPECT_EQ(form().FDeviceEvent, kDeviceEventNone);
  EXPECT_EQ(form().ActivePage(), 2);
  EXPECT_TRUE(serial.opens.empty());

  // Nor does its removal touch a connected bridge.
  ASSERT_TRUE(Plug());
  ASSERT_TRUE(WaitConnected());
  const PortHandle port = form().FPortHandle;
  ASSERT_TRUE(Unplug("other"));
  RunLoop(150);
  EXPECT_EQ(form().FDeviceEvent, kDeviceEventNone);
  EXPECT_TRUE(form().FPortOpen);
  EXPECT_TRUE(form().FSynced);
  EXPECT_EQ(form().FPortHandle, port);
}

}  // namespace
}  // namespace tarvik::e2e
