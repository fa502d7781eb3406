// The hot-plug watch in the window: notifications are only recorded, and
// the idle hook acts on them from the main loop alone, never inside a click
// or under a dialog.
#include <gtest/gtest.h>

#include <QEventLoop>
#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include "device_link/device_broadcast.h"
#include "glyph_label.h"
#include "page_container.h"
#include "window_harness.h"

namespace tarvik::testing {
namespace {

class WindowHotPlug : public ::testing::Test {
 protected:
  WindowHarness h;
  ui::FormWindow& window = *h.window;
  TForm1& form = window.Form1();
  Widgets& ui = *h.widgets;

  void SetUp() override {
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
  }
};

TEST_F(WindowHotPlug, PluggingTheBridgeInConnectsAndShowsTheConnectionPage) {
  for (int page : {1, 2, 4, 5}) {
    SCOPED_TRACE(page);
    form.ClosePort();
    form.FSynced = false;
    ui.PageControl1->setCurrentIndex(page - 1);
    form.UpdateButtons();
    h.PlugInBridge();
    h.notifications.Send(kDbtDeviceArrival, kBridgePath);
    RunLoopUntil([&] { return form.FSynced; });
    EXPECT_EQ(form.FDeviceEvent, 0);
    EXPECT_TRUE(form.FPortOpen);
    EXPECT_TRUE(form.FSynced);
    EXPECT_EQ(form.ActivePage(), 3);
    EXPECT_FALSE(ui.lbConnected->isHidden());
    EXPECT_FALSE(ui.txtConnOK->isHidden());
    EXPECT_TRUE(ui.btnNEXT->isEnabled());
    EXPECT_FALSE(ui.btnConnect->isEnabled());
  }
}

TEST_F(WindowHotPlug, PullingTheBridgeOutClosesThePortAndShowsTheConnectionGone) {
  h.PlugInBridge();
  h.notifications.Send(kDbtDeviceArrival, kBridgePath);
  ASSERT_TRUE(RunLoopUntil([&] { return form.FSynced; }));
  const PortHandle handle = form.FPortHandle;
  h.notifications.Send(kDbtDeviceRemoveComplete, kBridgePath);
  RunLoopUntil([&] { return !form.FPortOpen; });
  EXPECT_FALSE(form.FPortOpen);
  EXPECT_FALSE(form.FSynced);
  EXPECT_EQ(h.serial.closed, std::vector<PortHandle>{handle});
  EXPECT_TRUE(ui.lbConnected->isHidden());
  EXPECT_TRUE(ui.txtConnOK->isHidden());
  EXPECT_FALSE(ui.lbNotConnected->isHidden());
  EXPECT_FALSE(ui.txtConnFail->isHidden());
  EXPECT_FALSE(ui.btnNEXT->isEnabled());
  EXPECT_TRUE(ui.btnConnect->isEnabled());
}

TEST_F(WindowHotPlug, NothingPendingMeansNothingDone) {
  RunLoop();
  EXPECT_TRUE(h.serial.openedPaths.empty());
  EXPECT_EQ(h.devices.snapshotsTaken, 0);
}

TEST_F(WindowHotPlug, TheIdleStepWaitsWhileADialogRunsItsOwnLoop) {
  h.PlugInBridge();
  int pendingUnderDialog = -1;
  QTimer::singleShot(0, &window, [&] {
    form.FDeviceEvent = kDeviceEventArrival;
    QEventLoop dialog;  // as a message box's loop
    QTimer::singleShot(30, &dialog, &QEventLoop::quit);
    dialog.exec();
    pendingUnderDialog = form.FDeviceEvent;
  });
  RunLoopUntil([&] { return pendingUnderDialog >= 0 && form.FDeviceEvent == kDeviceEventNone; });
  EXPECT_EQ(pendingUnderDialog, kDeviceEventArrival);
  EXPECT_EQ(form.FDeviceEvent, kDeviceEventNone);  // acted on once back in the main loop
  EXPECT_TRUE(form.FSynced);
}

TEST_F(WindowHotPlug, DuringTheUpdateARemovalIsRecordedAndActedOnOnlyAfterTheClick) {
  h.PlugInBridge();
  ui.PageControl1->setCurrentIndex(2);
  form.UpdateButtons();
  QTest::mouseClick(ui.btnConnect, Qt::LeftButton);
  ASSERT_TRUE(form.FSynced);

  bool sent = false;
  bool recorded = false;
  bool portClosedDuringUpdate = false;
  QTimer sampler;
  sampler.setInterval(0);
  QObject::connect(&sampler, &QTimer::timeout, [&] {
    if (form.FStage < 2 || form.FStage > 3) return;
    if (!sent) {
      h.notifications.Send(kDbtDeviceRemoveComplete, kBridgePath);
      sent = true;
    }
    // The notifier is read inside the update's message processing, but the
    // loop's idle moment does not come there.
    recorded |= form.FDeviceEvent == kDeviceEventRemoval;
    portClosedDuringUpdate |= !form.FPortOpen;
  });
  sampler.start();
  QTest::mouseClick(ui.btnNEXT, Qt::LeftButton);
  sampler.stop();

  EXPECT_TRUE(recorded);
  EXPECT_FALSE(portClosedDuringUpdate);
  EXPECT_EQ(form.FStage, 5);  // the fake bridge stayed: the update went through
  RunLoopUntil([&] { return !form.FPortOpen; });
  EXPECT_FALSE(form.FPortOpen);
  EXPECT_EQ(form.FDeviceEvent, kDeviceEventNone);
  EXPECT_EQ(form.ActivePage(), 4);
  // The page keeps the success it showed, and the way on to the finish page.
  EXPECT_FALSE(ui.txtWriteOK->isHidden());
  EXPECT_TRUE(ui.btnNEXT->isEnabled());
}

}  // namespace
}  // namespace tarvik::testing
