// What a screen reader gets from the window as the wizard moves: where the
// focus lands on each page, what is announced and when, and never the
// focus on Cancel while the update runs.
#include <gtest/gtest.h>

#include <QApplication>
#include <QPushButton>
#include <QTest>
#include <QTextEdit>
#include <QTimer>


#include "accessibility.h"
#include "progress_bar.h"
#include "text_list.h"
#include "window_harness.h"

namespace tarvik::testing {
namespace {

using form::Id;

// The announcements, in the order a screen reader was told them.
struct Announcements : QObject {
  QStringList said;
  bool eventFilter(QObject* object, QEvent* event) override {
    if (event->type() == QEvent::Show && qobject_cast<ui::Announcer*>(object) != nullptr)
      said << static_cast<QWidget*>(object)->accessibleName();
    return false;
  }
};

QString Said(Id id) { return QString::fromStdString(form::AnnouncementOnShow(id)); }

// A click, then what the loop does once the handler has returned.
void Click(QPushButton* button) {
  ASSERT_TRUE(button->isVisible() && button->isEnabled()) << button->objectName().toStdString();
  QTest::mouseClick(button, Qt::LeftButton);
  QCoreApplication::processEvents();
}

class WindowAccessibility : public ::testing::Test {
 protected:
  WindowHarness h;
  ui::FormWindow& window = *h.window;
  TForm1& form = window.Form1();
  Widgets& ui = *h.widgets;
  Announcements announcements;

  void SetUp() override {
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    qApp->installEventFilter(&announcements);
  }
  void TearDown() override { qApp->removeEventFilter(&announcements); }
};

TEST_F(WindowAccessibility, APageChangePutsTheFocusOnThePagesFirstControl) {
  h.PlugInBridge();
  const struct {
    QPushButton* button;
    int page;
    QWidget* focus;  // its name is the page's text, read on focus
  } steps[] = {
      {ui.btnNEXT, 2, ui.ListBox1},     {ui.btnNEXT, 3, ui.ListBox6},
      {ui.btnBACK, 2, ui.ListBox1},     {ui.btnBACK, 1, ui.RichEdit1},
      {ui.btnNEXT, 2, ui.ListBox1},     {ui.btnNEXT, 3, ui.ListBox6},
      {ui.btnConnect, 3, ui.btnNEXT},   // Connect goes grey: the way on
      {ui.btnNEXT, 4, ui.btnNEXT},      // after the update, the way on
      {ui.btnNEXT, 5, ui.ListBox4},     {ui.btnBACK, 2, ui.ListBox1},
  };
  for (const auto& step : steps) {
    SCOPED_TRACE(step.focus->objectName().toStdString());
    Click(step.button);
    EXPECT_EQ(form.ActivePage(), step.page);
    EXPECT_EQ(window.focusWidget(), step.focus);
  }
}

TEST(WindowAnnouncements, TheResultsAreAnnouncedWhenTheyAppear) {
  const struct {
    const char* what;
    bool bridge;
    FakeBootloader::Fault fault;
    QStringList said;
    const char* focusAfter;  // the way on; null: Next if it leads on, else Back
  } rows[] = {
      {"no bridge", false, {}, {Said(Id::lbNotConnected)}, "btnConnect"},
      {"an update",
       true,
       {},
       {Said(Id::lbConnected), Said(Id::lbWrite), Said(Id::lbVerify), Said(Id::ListWriteOK)},
       "btnNEXT"},
      {"a refused block",
       true,
       [](FakeBootloader::Command command, std::uint32_t address,
          FakeBootloader::Step step) -> std::optional<std::vector<std::uint8_t>> {
         if (command == FakeBootloader::Command::Write && address == 0xA000 &&
             step == FakeBootloader::Step::Data)
           return std::vector<std::uint8_t>{0x1F};
         return {};
       },
       {Said(Id::lbConnected), Said(Id::lbWrite), Said(Id::ListWriteFail)},
       nullptr},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.what);
    WindowHarness h;
    h.window->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(h.window.get()));
    Widgets& ui = *h.widgets;
    if (row.bridge) {
      h.PlugInBridge();
      h.bootloader->fault = row.fault;
    }
    Click(ui.btnNEXT);
    Click(ui.btnNEXT);
    Announcements announcements;
    qApp->installEventFilter(&announcements);
    Click(ui.btnConnect);
    if (row.bridge) Click(ui.btnNEXT);
    qApp->removeEventFilter(&announcements);
    EXPECT_EQ(announcements.said, row.said);
    const char* way = row.focusAfter != nullptr ? row.focusAfter
                      : ui.btnNEXT->isEnabled()  ? "btnNEXT"
                                                 : "btnBACK";
    EXPECT_EQ(h.window->focusWidget()->objectName(), QLatin1String(way));
  }
}

TEST_F(WindowAccessibility, AnIndicatorIsAnnouncedOnceWhenItComesIntoView) {
  window.SetVisible(Id::lbConnected, true);  // page 1 shows: not in view
  QCoreApplication::processEvents();
  EXPECT_TRUE(announcements.said.isEmpty());
  window.ShowPage(3);  // in view with its page, as after the jump on plug-in
  window.SetVisible(Id::lbConnected, true);
  QCoreApplication::processEvents();
  EXPECT_EQ(announcements.said, QStringList{Said(Id::lbConnected)});
  // An old outcome hidden before the page is set up is never announced.
  announcements.said.clear();
  window.SetVisible(Id::ListWriteOK, true);
  window.ShowPage(4);
  window.SetVisible(Id::ListWriteOK, false);
  QCoreApplication::processEvents();
  EXPECT_TRUE(announcements.said.isEmpty());
}

TEST_F(WindowAccessibility, DuringTheUpdateTheFocusIsNeverOnCancel) {
  h.PlugInBridge();
  Click(ui.btnNEXT);
  Click(ui.btnNEXT);
  Click(ui.btnConnect);
  ui.btnNEXT->setFocus();
  QSet<QWidget*> focused;
  QTimer sampler;
  sampler.setInterval(0);
  QObject::connect(&sampler, &QTimer::timeout, [&] {
    if (form.FStage >= 2 && form.FStage <= 4) focused << window.focusWidget();
  });
  sampler.start();
  QTest::keyClick(ui.btnNEXT, Qt::Key_Return);
  sampler.stop();
  ASSERT_EQ(form.FStage, 5);
  // Nothing on page 4 takes the focus while it runs: the side list holds it.
  EXPECT_EQ(focused, QSet<QWidget*>{ui.ListBox3});
}

TEST(ProgressBarReports, AValueAtMostOnceATenthOfTheWay) {
  QWidget parent;
  ui::ProgressBar bar(&parent);
  const struct {
    int value;
    bool told;
  } steps[] = {{0, true},  {1, false}, {9, false},  {10, true},  {19, false},
               {55, true}, {59, false}, {100, true}, {100, false}, {0, true}};
  for (const auto& step : steps) EXPECT_EQ(bar.TakeValueReport(step.value), step.told) << step.value;
}

}  // namespace
}  // namespace tarvik::testing
