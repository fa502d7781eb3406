// Moving through the pages: the buttons for each page, every transition of
// Next and Back, Connect's outcome on the page, and the update started by
// Next on the connection page.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include "glyph_label.h"
#include "page_container.h"
#include "text_list.h"
#include "window_harness.h"

namespace tarvik::testing {
namespace {

class WindowNavigation : public ::testing::Test {
 protected:
  WindowHarness h;
  TForm1& form = *h.form;

  void SetUp() override {
    form.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
  }
  void GoTo(int page, bool synced) {
    form.PageControl1->setCurrentIndex(page - 1);
    form.FSynced = synced;
    form.UpdateButtons();
  }
  void Click(QPushButton* button) {
    ASSERT_TRUE(button->isVisible() && button->isEnabled()) << button->objectName().toStdString();
    QTest::mouseClick(button, Qt::LeftButton);
  }
  bool Shown(QWidget* w) const { return !w->isHidden(); }
  void ShowConnectionIndicators() {
    for (QWidget* w : {static_cast<QWidget*>(form.lbConnected), static_cast<QWidget*>(form.lbNotConnected),
                       static_cast<QWidget*>(form.txtConnOK), static_cast<QWidget*>(form.txtConnFail)})
      w->setVisible(true);
  }
  bool AnyConnectionIndicator() const {
    return Shown(form.lbConnected) || Shown(form.lbNotConnected) || Shown(form.txtConnOK) ||
           Shown(form.txtConnFail);
  }
};

struct ButtonsRow {
  int page;
  bool synced;
  bool backShown;
  bool escShown;
  const char* caption;
  bool nextEnabled;
};

TEST_F(WindowNavigation, UpdateButtonsSetsTheButtonsOfThePageShown) {
  const ButtonsRow rows[] = {
      {1, false, false, true, "Далее", true}, {2, false, true, true, "Далее", true},
      {3, false, true, true, "Далее", false}, {3, true, true, true, "Далее", true},
      {4, false, true, true, "Далее", true},  {4, true, true, true, "Далее", true},
      {5, false, true, false, "OK", true},    {5, true, true, false, "OK", true},
  };
  for (const ButtonsRow& row : rows) {
    SCOPED_TRACE(::testing::Message() << "page " << row.page << " synced " << row.synced);
    form.PageControl1->setCurrentIndex(row.page - 1);
    form.FSynced = row.synced;
    // Start from the opposite of what the page wants; Back and Cancel
    // disabled, which UpdateButtons must leave alone.
    form.btnBACK->setVisible(!row.backShown);
    form.btnESC->setVisible(!row.escShown);
    form.btnNEXT->setEnabled(!row.nextEnabled);
    form.btnNEXT->setText(QStringLiteral("x"));
    form.btnBACK->setEnabled(false);
    form.btnESC->setEnabled(false);
    const bool connectBefore = form.btnConnect->isEnabled();

    form.UpdateButtons();

    EXPECT_EQ(form.ActivePage(), row.page);
    EXPECT_EQ(Shown(form.btnBACK), row.backShown);
    EXPECT_EQ(Shown(form.btnESC), row.escShown);
    EXPECT_TRUE(Shown(form.btnNEXT));
    EXPECT_EQ(form.btnNEXT->text(), QString::fromUtf8(row.caption));
    EXPECT_EQ(form.btnNEXT->isEnabled(), row.nextEnabled);
    EXPECT_FALSE(form.btnBACK->isEnabled());
    EXPECT_FALSE(form.btnESC->isEnabled());
    if (row.page == 3)
      EXPECT_EQ(form.btnConnect->isEnabled(), !row.synced);
    else
      EXPECT_EQ(form.btnConnect->isEnabled(), connectBefore);
    form.btnBACK->setEnabled(true);
    form.btnESC->setEnabled(true);
  }
}

TEST_F(WindowNavigation, OnTheConnectionPageSyncShowsTheCheckAndNoSyncLeavesTheIndicators) {
  GoTo(3, false);
  form.lbNotConnected->setVisible(true);
  form.txtConnFail->setVisible(true);
  form.UpdateButtons();
  EXPECT_TRUE(Shown(form.lbNotConnected));
  EXPECT_TRUE(Shown(form.txtConnFail));
  EXPECT_FALSE(Shown(form.lbConnected));
  EXPECT_FALSE(Shown(form.txtConnOK));

  form.FSynced = true;
  form.UpdateButtons();
  EXPECT_TRUE(Shown(form.lbConnected));
  EXPECT_TRUE(Shown(form.txtConnOK));
  EXPECT_FALSE(Shown(form.lbNotConnected));
  EXPECT_FALSE(Shown(form.txtConnFail));

  // Sync lost without a refresh: the check stays until the next operation.
  form.FSynced = false;
  form.UpdateButtons();
  EXPECT_TRUE(Shown(form.lbConnected));
  EXPECT_TRUE(Shown(form.txtConnOK));
}

struct TransitionRow {
  int from;
  bool syncedBefore;
  enum { Next, Back } button;
  int to;  // 0: the window closed
  bool syncedAfter;
};

TEST_F(WindowNavigation, NextAndBackMoveAsTheTransitionTableSays) {
  const TransitionRow rows[] = {
      {1, false, TransitionRow::Next, 2, false},
      {2, false, TransitionRow::Next, 3, false},
      {3, true, TransitionRow::Next, 4, true},  // the update runs (and fails) in between
      {3, false, TransitionRow::Next, 3, false},
      {4, false, TransitionRow::Next, 5, false},
      {4, true, TransitionRow::Next, 5, true},
      {5, false, TransitionRow::Next, 0, false},
      {2, false, TransitionRow::Back, 1, false},
      {3, true, TransitionRow::Back, 2, false},
      {3, false, TransitionRow::Back, 2, false},
      {4, true, TransitionRow::Back, 3, false},
      {5, true, TransitionRow::Back, 2, false},
  };
  for (const TransitionRow& row : rows) {
    SCOPED_TRACE(::testing::Message() << "from " << row.from << " synced " << row.syncedBefore
                                      << (row.button == TransitionRow::Next ? " Next" : " Back"));
    form.show();
    GoTo(row.from, row.syncedBefore);
    ShowConnectionIndicators();
    // Next on page 3 without sync is reachable when the bridge's removal
    // cleared the sync after Next had been enabled.
    form.btnNEXT->setEnabled(true);
    Click(row.button == TransitionRow::Next ? form.btnNEXT : form.btnBACK);
    if (row.to == 0) {
      EXPECT_FALSE(form.isVisible());
      continue;
    }
    EXPECT_TRUE(form.isVisible());
    EXPECT_EQ(form.ActivePage(), row.to);
    EXPECT_EQ(form.FSynced, row.syncedAfter);
    // The buttons always follow the page reached.
    EXPECT_EQ(Shown(form.btnBACK), row.to != 1);
    EXPECT_EQ(Shown(form.btnESC), row.to != 5);
    EXPECT_EQ(form.btnNEXT->isEnabled(), row.to != 3 || row.syncedAfter);
    // Entering page 3 from page 2 or page 4 hides the connection indicators.
    if (row.to == 3 && row.from != 3) {
      EXPECT_FALSE(AnyConnectionIndicator());
    }
    if (row.to == 3) {
      EXPECT_EQ(form.btnConnect->isEnabled(), !row.syncedAfter);
    }
  }
}

TEST_F(WindowNavigation, BackOnPageOneDoesNothing) {
  form.btnBACKClick();
  EXPECT_EQ(form.ActivePage(), 1);
  EXPECT_TRUE(form.btnBACK->isHidden());
  EXPECT_TRUE(form.isVisible());
}

TEST_F(WindowNavigation, BackNeverClosesThePort) {
  h.serial.ports = {"COM3"};
  ASSERT_TRUE(form.OpenPort("COM3"));
  form.FPortOpen = true;
  const PortHandle handle = form.FPortHandle;
  for (int page : {5, 4, 3, 2}) {
    GoTo(page, true);
    Click(form.btnBACK);
  }
  EXPECT_TRUE(form.FPortOpen);
  EXPECT_EQ(form.FPortHandle, handle);
  EXPECT_TRUE(h.serial.closed.empty());
}

TEST_F(WindowNavigation, ConnectWithoutADeviceShowsTheFailure) {
  GoTo(3, false);
  Click(form.btnConnect);
  EXPECT_FALSE(form.FSynced);
  EXPECT_FALSE(form.FPortOpen);
  EXPECT_TRUE(Shown(form.lbNotConnected));
  EXPECT_TRUE(Shown(form.txtConnFail));
  EXPECT_FALSE(Shown(form.lbConnected));
  EXPECT_FALSE(Shown(form.txtConnOK));
  EXPECT_FALSE(form.btnNEXT->isEnabled());
  EXPECT_TRUE(form.btnConnect->isEnabled());
  // The probe ran: no device was named, so every COM name was tried.
  EXPECT_EQ(h.serial.openedPaths.size(), 250u);
}

TEST_F(WindowNavigation, ConnectToTheBridgeShowsTheCheckAndEnablesNext) {
  h.PlugInBridge();
  GoTo(3, false);
  form.lbNotConnected->setVisible(true);
  form.txtConnFail->setVisible(true);
  Click(form.btnConnect);
  EXPECT_TRUE(form.FSynced);
  EXPECT_TRUE(form.FPortOpen);
  EXPECT_TRUE(Shown(form.lbConnected));
  EXPECT_TRUE(Shown(form.txtConnOK));
  EXPECT_FALSE(Shown(form.lbNotConnected));
  EXPECT_FALSE(Shown(form.txtConnFail));
  EXPECT_TRUE(form.btnNEXT->isEnabled());
  EXPECT_FALSE(form.btnConnect->isEnabled());
}

TEST_F(WindowNavigation, ConnectWhoseGetFailsKeepsThePortOpenAndShowsTheFailure) {
  h.PlugInBridge();
  h.bootloader->fault = [](FakeBootloader::Command c, std::uint32_t, FakeBootloader::Step)
      -> std::optional<std::vector<std::uint8_t>> {
    if (c == FakeBootloader::Command::Get) return std::vector<std::uint8_t>{0x1F};
    return std::nullopt;
  };
  GoTo(3, false);
  Click(form.btnConnect);
  EXPECT_FALSE(form.FSynced);
  EXPECT_TRUE(form.FPortOpen);
  EXPECT_TRUE(Shown(form.lbNotConnected));
  EXPECT_TRUE(Shown(form.txtConnFail));
  EXPECT_FALSE(form.btnNEXT->isEnabled());
}

TEST_F(WindowNavigation, NextAfterTheSyncWasLostStaysAndRefreshesTheButtons) {
  h.PlugInBridge();
  GoTo(3, false);
  Click(form.btnConnect);
  ASSERT_TRUE(form.btnNEXT->isEnabled());
  form.FSynced = false;  // as the removal of the bridge leaves it, without a refresh
  Click(form.btnNEXT);
  EXPECT_EQ(form.ActivePage(), 3);
  EXPECT_FALSE(form.btnNEXT->isEnabled());
  EXPECT_TRUE(form.btnConnect->isEnabled());
  EXPECT_TRUE(Shown(form.lbConnected));  // the indicators keep what they showed
  EXPECT_TRUE(h.bootloader->writes.empty());
}

TEST_F(WindowNavigation, NextOnTheConnectionPageClearsEarlierIndicatorsAndRunsTheUpdate) {
  GoTo(3, true);  // synced, but no port: the first block fails
  form.txtWriteOK->setVisible(true);
  form.ListWriteOK->setVisible(true);
  form.lbVerifyOK->setVisible(true);
  form.FStage = 5;
  Click(form.btnNEXT);
  EXPECT_EQ(form.ActivePage(), 4);
  EXPECT_EQ(form.FStage, 0);
  EXPECT_FALSE(Shown(form.txtWriteOK));
  EXPECT_FALSE(Shown(form.ListWriteOK));
  EXPECT_FALSE(Shown(form.lbVerifyOK));
  EXPECT_TRUE(Shown(form.lbWrite));
  EXPECT_TRUE(Shown(form.BarWrite));
  EXPECT_EQ(form.BarWrite->value(), 0);
  EXPECT_TRUE(Shown(form.lbWriteErr));
  EXPECT_TRUE(Shown(form.txtWriteFail));
  EXPECT_TRUE(Shown(form.ListWriteFail));
  EXPECT_TRUE(form.btnBACK->isEnabled());
  EXPECT_TRUE(form.btnNEXT->isEnabled());
  Click(form.btnNEXT);  // after a failed update Next still leads on
  EXPECT_EQ(form.ActivePage(), 5);
}

TEST_F(WindowNavigation, AWholeUpdateKeepsBackAndNextDisabledWhileItRunsAndEndsInSuccess) {
  h.PlugInBridge();
  GoTo(3, false);
  Click(form.btnConnect);
  ASSERT_TRUE(form.FSynced);

  // Sample the buttons from inside the update's message processing.
  int samples = 0;
  bool backEverEnabled = false, nextEverEnabled = false, cancelEverDisabled = false;
  QTimer sampler;
  sampler.setInterval(0);
  QObject::connect(&sampler, &QTimer::timeout, [&] {
    if (form.FStage < 2 || form.FStage > 4) return;
    ++samples;
    backEverEnabled |= form.btnBACK->isEnabled();
    nextEverEnabled |= form.btnNEXT->isEnabled();
    cancelEverDisabled |= !form.btnESC->isEnabled() || form.btnESC->isHidden();
  });
  sampler.start();
  Click(form.btnNEXT);
  sampler.stop();

  EXPECT_GT(samples, 0);
  EXPECT_FALSE(backEverEnabled);
  EXPECT_FALSE(nextEverEnabled);
  EXPECT_FALSE(cancelEverDisabled);
  EXPECT_EQ(form.FStage, 5);
  EXPECT_EQ(form.BarWrite->value(), 100);
  EXPECT_EQ(form.BarVerify->value(), 100);
  for (QWidget* w : std::initializer_list<QWidget*>{form.lbWrite, form.BarWrite, form.lbWriteOK,
                                                    form.lbVerify, form.BarVerify, form.lbVerifyOK,
                                                    form.txtWriteOK, form.ListWriteOK})
    EXPECT_TRUE(Shown(w)) << w->objectName().toStdString();
  for (QWidget* w : std::initializer_list<QWidget*>{form.lbWriteOn, form.lbWriteErr, form.lbVerifyOn,
                                                    form.lbVerifyErr, form.txtWriteFail,
                                                    form.ListWriteFail})
    EXPECT_FALSE(Shown(w)) << w->objectName().toStdString();
  EXPECT_TRUE(form.btnBACK->isEnabled());
  EXPECT_TRUE(form.btnNEXT->isEnabled());
  // The user's settings area was kept (the box is ticked at start).
  EXPECT_EQ(h.bootloader->writes.back(), 0x1380u);
  EXPECT_EQ(std::count(h.bootloader->writes.begin(), h.bootloader->writes.end(), 0x1000u), 0);
}

TEST_F(WindowNavigation, UntickingKeepUserWritesTheWholeDataMemory) {
  h.PlugInBridge();
  GoTo(3, false);
  Click(form.btnConnect);
  form.cbKeepUser->setChecked(false);
  Click(form.btnNEXT);
  ASSERT_EQ(form.FStage, 5);
  EXPECT_EQ(std::count(h.bootloader->writes.begin(), h.bootloader->writes.end(), 0x1000u), 1);
}

}  // namespace
}  // namespace tarvik::testing
