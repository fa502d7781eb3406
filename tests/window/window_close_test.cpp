// Every way of closing the window closes an open port exactly once, and
// closing in the middle of an update ends the program once Next's click
// has returned.
#include <gtest/gtest.h>

#include <QApplication>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QWindow>

#include "device_link/serial_port.h"
#include "page_container.h"
#include "update_engine/updater.h"
#include "window_harness.h"

namespace tarvik::testing {
namespace {

enum class Way { Cancel, Ok, CloseBox, CloseRequest };

struct CloseRow {
  const char* name;
  int page;
  Way way;
  bool portOpen;
};

void Close(ui::FormWindow& window, Widgets& ui, Way way) {
  switch (way) {
    case Way::Cancel: QTest::mouseClick(ui.btnESC, Qt::LeftButton); break;
    case Way::Ok: QTest::mouseClick(ui.btnNEXT, Qt::LeftButton); break;
    // The title bar's close box, the system menu and Alt+F4 all reach the
    // window as the platform's close request.
    case Way::CloseBox: window.windowHandle()->close(); break;
    case Way::CloseRequest: window.close(); break;
  }
}

TEST(WindowClose, EveryWayClosesAnOpenPortExactlyOnceAndNothingElse) {
  const CloseRow rows[] = {
      {"Cancel on page 1", 1, Way::Cancel, true},   {"Cancel on page 2", 2, Way::Cancel, true},
      {"Cancel on page 3", 3, Way::Cancel, true},   {"Cancel on page 4", 4, Way::Cancel, true},
      {"OK on page 5", 5, Way::Ok, true},           {"close box on page 3", 3, Way::CloseBox, true},
      {"close request on page 5", 5, Way::CloseRequest, true},
      {"Cancel without a port", 2, Way::Cancel, false},
      {"close box without a port", 1, Way::CloseBox, false},
  };
  for (const CloseRow& row : rows) {
    SCOPED_TRACE(row.name);
    WindowHarness h;
    ui::FormWindow& window = *h.window;
  TForm1& form = window.Form1();
  Widgets& ui = *h.widgets;
    h.serial.ports = {"COM3"};
    PortHandle handle = kInvalidPortHandle;
    if (row.portOpen) {
      ASSERT_TRUE(form.OpenPort("COM3"));
      form.FPortOpen = true;
      handle = form.FPortHandle;
    }
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    ui.PageControl1->setCurrentIndex(row.page - 1);
    form.UpdateButtons();

    Close(window, ui, row.way);
    EXPECT_FALSE(window.isVisible());
    EXPECT_FALSE(form.FPortOpen);
    if (row.portOpen) {
      EXPECT_EQ(h.serial.closed, std::vector<PortHandle>{handle});
      EXPECT_EQ(form.FPortHandle, kInvalidPortHandle);
    } else {
      EXPECT_TRUE(h.serial.closed.empty());
    }
    // A second close request finds nothing left to close.
    window.close();
    EXPECT_EQ(h.serial.closed.size(), row.portOpen ? 1u : 0u);
  }
}

// The bridge plugged in and the window shown and connected on the
// connection page: Next starts the update.
void ConnectOnPage3(WindowHarness& h) {
  h.PlugInBridge();
  h.window->show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(h.window.get()));
  h.widgets->PageControl1->setCurrentIndex(2);
  h.window->Form1().UpdateButtons();
  QTest::mouseClick(h.widgets->btnConnect, Qt::LeftButton);
  ASSERT_TRUE(h.window->Form1().FSynced);
}

// The main loop until the program would end, as its exit code; a hung loop
// fails the test instead of hanging it.
int RunMainLoop() {
  QTimer guard;
  guard.setSingleShot(true);
  QObject::connect(&guard, &QTimer::timeout, [] { QCoreApplication::exit(99); });
  guard.start(10000);
  return QApplication::exec();
}

TEST(WindowClose, CancelDuringTheUpdateClosesThePortAtOnceAndTheProgramEndsAfterTheClick) {
  WindowHarness h;
  ui::FormWindow& window = *h.window;
  TForm1& form = window.Form1();
  Widgets& ui = *h.widgets;
  ASSERT_NO_FATAL_FAILURE(ConnectOnPage3(h));
  const PortHandle handle = form.FPortHandle;

  bool clickReturned = false;
  bool portClosedAtOnce = false;
  std::size_t blocksWhenCancelled = 0;
  QTimer::singleShot(0, &window, [&] {
    // Runs inside the update's first message processing.
    QTimer::singleShot(0, &window, [&] {
      blocksWhenCancelled = h.bootloader->writes.size();
      QTest::mouseClick(ui.btnESC, Qt::LeftButton);
      portClosedAtOnce = !form.FPortOpen && h.serial.closed.size() == 1;
    });
    QTest::mouseClick(ui.btnNEXT, Qt::LeftButton);
    clickReturned = true;
  });
  EXPECT_EQ(RunMainLoop(), 0);
  EXPECT_TRUE(clickReturned);
  EXPECT_TRUE(portClosedAtOnce);
  EXPECT_EQ(blocksWhenCancelled, 1u);
  // The update failed at its next block and wrote nothing more.
  EXPECT_EQ(h.bootloader->writes.size(), 1u);
  EXPECT_EQ(form.FStage, 0);
  EXPECT_EQ(h.serial.closed, std::vector<PortHandle>{handle});
  EXPECT_FALSE(window.isVisible());
}

// A click waiting in the queue while the tracker has yet to answer: the
// window takes it in the middle of the wait during the write and the verify,
// only after the update during the data-memory write.
TEST(WindowClose, AClickThatComesWhileTheTrackerHasYetToAnswer) {
  struct Row {
    const char* name;
    std::uint8_t stage;  // the phase in whose first wait the click comes
    bool cancel;         // Cancel, else Next
    std::uint8_t outcome;
    std::size_t blocksWritten;
  };
  const Row rows[] = {
      {"Cancel while writing", kStageWriteFlash, true, kStageNone, 0},
      {"Cancel while verifying", kStageVerify, true, kStageNone, 229},
      {"Cancel while writing the data memory", kStageWriteEeprom, true, kStageDone, 229 + 6},
      {"Next while writing: no second update", kStageWriteFlash, false, kStageDone, 229 + 6},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    WindowHarness h;
    ui::FormWindow& window = *h.window;
    TForm1& form = window.Form1();
    Widgets& ui = *h.widgets;
    ASSERT_NO_FATAL_FAILURE(ConnectOnPage3(h));

    h.serial.replyAfterSleeps = 4 * kTriesPerWaitHook;  // each answer takes a few tries
    QPushButton* button = row.cancel ? ui.btnESC : ui.btnNEXT;
    bool posted = false;
    unsigned triesAfterClose = 0;
    h.serial.onSleep = [&](FakeSerialApi& api) {
      if (!api.closed.empty()) ++triesAfterClose;
      if (posted || form.FStage != row.stage || !api.replyPending()) return;
      QMetaObject::invokeMethod(button, &QAbstractButton::click, Qt::QueuedConnection);
      posted = true;
    };
    QTimer::singleShot(0, &window, [&] {
      QTest::mouseClick(ui.btnNEXT, Qt::LeftButton);
      if (!row.cancel) QCoreApplication::exit(0);
    });
    EXPECT_EQ(RunMainLoop(), 0);

    EXPECT_TRUE(posted);
    EXPECT_EQ(form.FStage, row.outcome);
    EXPECT_EQ(h.bootloader->writes.size(), row.blocksWritten);
    EXPECT_EQ(h.serial.closed.size(), row.cancel ? 1u : 0u);
    EXPECT_EQ(triesAfterClose, 0u) << "no wait goes on after the close";
    EXPECT_EQ(window.isVisible(), !row.cancel);
    EXPECT_EQ(window.ActivePage(), 4);
  }
}

}  // namespace
}  // namespace tarvik::testing
