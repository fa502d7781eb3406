// The window's plumbing of the wizard: clicks reach the form's handlers, the
// form's page changes, captions, visibility and enabled states reach the
// widgets, and the update's message processing keeps the window live. What
// each button does on each page is the form's, tested headless in tests/form.
#include <gtest/gtest.h>

#include <map>

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
  ui::FormWindow& window = *h.window;
  TForm1& form = window.Form1();
  Widgets& ui = *h.widgets;

  void SetUp() override {
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
  }
  void GoTo(int page, bool synced) {
    ui.PageControl1->setCurrentIndex(page - 1);
    form.FSynced = synced;
    form.UpdateButtons();
  }
  void Click(QPushButton* button) {
    ASSERT_TRUE(button->isVisible() && button->isEnabled()) << button->objectName().toStdString();
    QTest::mouseClick(button, Qt::LeftButton);
  }
  bool Shown(QWidget* w) const { return !w->isHidden(); }
};

TEST_F(WindowNavigation, ClicksMoveThroughThePagesAndTheButtonsFollow) {
  struct Step {
    QPushButton* button;
    int page;
    bool backShown;
    bool escShown;
    const char* caption;
  };
  const Step steps[] = {
      {ui.btnNEXT, 2, true, true, "Далее"}, {ui.btnNEXT, 3, true, true, "Далее"},
      {ui.btnBACK, 2, true, true, "Далее"}, {ui.btnBACK, 1, false, true, "Далее"},
  };
  for (const Step& step : steps) {
    SCOPED_TRACE(step.page);
    Click(step.button);
    EXPECT_EQ(form.ActivePage(), step.page);
    EXPECT_EQ(ui.PageControl1->currentIndex(), step.page - 1);
    EXPECT_EQ(Shown(ui.btnBACK), step.backShown);
    EXPECT_EQ(Shown(ui.btnESC), step.escShown);
    EXPECT_EQ(ui.btnNEXT->text(), QString::fromUtf8(step.caption));
  }
  GoTo(5, false);
  EXPECT_EQ(ui.btnNEXT->text(), QStringLiteral("OK"));
  EXPECT_FALSE(Shown(ui.btnESC));
  EXPECT_TRUE(ui.btnNEXT->isEnabled());
  GoTo(3, false);
  EXPECT_FALSE(ui.btnNEXT->isEnabled());
  EXPECT_TRUE(ui.btnConnect->isEnabled());
}

TEST_F(WindowNavigation, ConnectToTheBridgeShowsTheCheckAndEnablesNext) {
  h.PlugInBridge();
  GoTo(3, false);
  ui.lbNotConnected->setVisible(true);
  ui.txtConnFail->setVisible(true);
  Click(ui.btnConnect);
  EXPECT_TRUE(form.FSynced);
  EXPECT_TRUE(form.FPortOpen);
  EXPECT_TRUE(Shown(ui.lbConnected));
  EXPECT_TRUE(Shown(ui.txtConnOK));
  EXPECT_FALSE(Shown(ui.lbNotConnected));
  EXPECT_FALSE(Shown(ui.txtConnFail));
  EXPECT_TRUE(ui.btnNEXT->isEnabled());
  EXPECT_FALSE(ui.btnConnect->isEnabled());
}

TEST_F(WindowNavigation, AWholeUpdateKeepsBackAndNextDisabledWhileItRunsAndEndsInSuccess) {
  h.PlugInBridge();
  GoTo(3, false);
  Click(ui.btnConnect);
  ASSERT_TRUE(form.FSynced);

  // Sample the buttons from inside the update's message processing.
  int samples = 0;
  bool backEverEnabled = false, nextEverEnabled = false, cancelEverDisabled = false;
  QTimer sampler;
  sampler.setInterval(0);
  QObject::connect(&sampler, &QTimer::timeout, [&] {
    if (form.FStage < 2 || form.FStage > 4) return;
    ++samples;
    backEverEnabled |= ui.btnBACK->isEnabled();
    nextEverEnabled |= ui.btnNEXT->isEnabled();
    cancelEverDisabled |= !ui.btnESC->isEnabled() || ui.btnESC->isHidden();
  });
  sampler.start();
  Click(ui.btnNEXT);
  sampler.stop();

  EXPECT_GT(samples, 0);
  EXPECT_FALSE(backEverEnabled);
  EXPECT_FALSE(nextEverEnabled);
  EXPECT_FALSE(cancelEverDisabled);
  EXPECT_EQ(form.FStage, 5);
  EXPECT_EQ(ui.BarWrite->value(), 100);
  EXPECT_EQ(ui.BarVerify->value(), 100);
  for (QWidget* w : std::initializer_list<QWidget*>{ui.lbWrite, ui.BarWrite, ui.lbWriteOK,
                                                    ui.lbVerify, ui.BarVerify, ui.lbVerifyOK,
                                                    ui.txtWriteOK, ui.ListWriteOK})
    EXPECT_TRUE(Shown(w)) << w->objectName().toStdString();
  for (QWidget* w : std::initializer_list<QWidget*>{ui.lbWriteOn, ui.lbWriteErr, ui.lbVerifyOn,
                                                    ui.lbVerifyErr, ui.txtWriteFail,
                                                    ui.ListWriteFail})
    EXPECT_FALSE(Shown(w)) << w->objectName().toStdString();
  EXPECT_TRUE(ui.btnBACK->isEnabled());
  EXPECT_TRUE(ui.btnNEXT->isEnabled());
  // The user's settings area was kept (the box is ticked at start).
  EXPECT_EQ(h.bootloader->writes.back(), 0x1380u);
  EXPECT_EQ(std::count(h.bootloader->writes.begin(), h.bootloader->writes.end(), 0x1000u), 0);
}

// The window's share of a block: the bar that moved is painted, alone (not
// the page and the containers under it), and only when its value changed.
TEST_F(WindowNavigation, DuringTheUpdateOnlyTheBarThatMovedIsPainted) {
  struct PaintCounter : QObject {
    std::map<QString, int> paints;
    bool eventFilter(QObject* object, QEvent* event) override {
      if (event->type() == QEvent::Paint) ++paints[object->objectName()];
      return false;
    }
  } counter;
  h.PlugInBridge();
  GoTo(3, false);
  Click(ui.btnConnect);
  int changes = 0, last = -1;
  QObject::connect(ui.BarWrite, &QProgressBar::valueChanged, [&](int value) {
    changes += last >= 0 && value != last;
    last = value;
  });
  // From the 20th block (the page is drawn by then) to the 200th.
  h.bootloader->fault = [&](FakeBootloader::Command command, std::uint32_t address,
                            FakeBootloader::Step step) -> std::optional<std::vector<std::uint8_t>> {
    if (command != FakeBootloader::Command::Write || step != FakeBootloader::Step::Data) return {};
    if (address == 0x8C00 + 20 * 128) {
      QCoreApplication::processEvents();
      last = ui.BarWrite->value();
      qApp->installEventFilter(&counter);
    }
    if (address == 0x8C00 + 200 * 128) qApp->removeEventFilter(&counter);
    return {};
  };
  Click(ui.btnNEXT);
  ASSERT_EQ(form.FStage, 5);
  std::string painted;
  for (const auto& [name, count] : counter.paints) painted += name.toStdString() + " ";
  EXPECT_EQ(painted, "BarWrite ");
  EXPECT_GT(counter.paints[QStringLiteral("BarWrite")], 0);
  EXPECT_LE(counter.paints[QStringLiteral("BarWrite")], changes);
}

TEST_F(WindowNavigation, UntickingKeepUserWritesTheWholeDataMemory) {
  h.PlugInBridge();
  GoTo(3, false);
  Click(ui.btnConnect);
  ui.cbKeepUser->setChecked(false);
  Click(ui.btnNEXT);
  ASSERT_EQ(form.FStage, 5);
  EXPECT_EQ(std::count(h.bootloader->writes.begin(), h.bootloader->writes.end(), 0x1000u), 1);
}

}  // namespace
}  // namespace tarvik::testing
