// An update through the window over the in-process bootloader: the page's
// indicators and bars on the controls, the buttons while it runs, the
// messages it lets through (Cancel and the close box live, no idle step),
// and the check box read at the data-memory phase.
#include <gtest/gtest.h>

#include <algorithm>
#include <set>

#include "device_link/device_broadcast.h"
#include "device_link/serial_port.h"
#include "update_engine/updater.h"
#include "window_harness.h"

namespace tarvik::testing {
namespace {

using form::Id;

class WindowUpdate : public ::testing::Test {
 protected:
  WindowHarness h;
  void SetUp() override {
    h.PlugInBridge();
    h.ConnectOnPage3();
    ASSERT_TRUE(h.window->Form1().FSynced);
  }
  // Runs fn at the reply to each block write of program memory, from inside
  // the update.
  void AtEachFlashWrite(std::function<void(std::uint32_t address)> fn) {
    h.bootloader->fault = [fn](FakeBootloader::Command command, std::uint32_t address,
                               FakeBootloader::Step step) -> std::optional<std::vector<std::uint8_t>> {
      if (command == FakeBootloader::Command::Write && step == FakeBootloader::Step::Data &&
          address >= kFlashStart)
        fn(address);
      return std::nullopt;
    };
  }
  std::size_t DataMemoryWrites() const {
    return static_cast<std::size_t>(std::count_if(h.bootloader->writes.begin(), h.bootloader->writes.end(),
                                                  [](std::uint32_t a) { return a < kFlashStart; }));
  }
};

TEST_F(WindowUpdate, SuccessShowsItsIndicatorsAndBothBarsAtOneHundred) {
  h.Click(Id::btnNEXT);
  EXPECT_EQ(h.window->Form1().FStage, kStageDone);
  for (Id shown : {Id::lbWrite, Id::BarWrite, Id::lbWriteOK, Id::lbVerify, Id::BarVerify,
                   Id::lbVerifyOK, Id::txtWriteOK, Id::ListWriteOK})
    EXPECT_TRUE(h.Shown(shown)) << form::Describe(shown).name;
  for (Id hidden : {Id::lbWriteOn, Id::lbWriteErr, Id::lbVerifyOn, Id::lbVerifyErr,
                    Id::txtWriteFail, Id::ListWriteFail})
    EXPECT_FALSE(h.Shown(hidden)) << form::Describe(hidden).name;
  EXPECT_EQ(BarOf(h.Control(Id::BarWrite)), 100);
  EXPECT_EQ(BarOf(h.Control(Id::BarVerify)), 100);
  EXPECT_TRUE(h.Enabled(Id::btnBACK));
  EXPECT_TRUE(h.Enabled(Id::btnNEXT));
}

TEST_F(WindowUpdate, WhileItRunsBackAndNextAreDisabledCancelIsNotAndTheBarMoves) {
  int samples = 0;
  bool backOrNextEnabled = false, cancelDisabled = false, exchangeHidden = false;
  std::vector<int> bar;
  AtEachFlashWrite([&](std::uint32_t) {
    ++samples;
    backOrNextEnabled |= h.Enabled(Id::btnBACK) || h.Enabled(Id::btnNEXT);
    cancelDisabled |= !h.Enabled(Id::btnESC) || !h.Shown(Id::btnESC);
    exchangeHidden |= !h.Shown(Id::lbWriteOn);
    bar.push_back(BarOf(h.Control(Id::BarWrite)));
  });
  h.Click(Id::btnNEXT);
  EXPECT_EQ(samples, 229);
  EXPECT_FALSE(backOrNextEnabled);
  EXPECT_FALSE(cancelDisabled);
  EXPECT_FALSE(exchangeHidden) << "ОБМЕН shows while writing";
  EXPECT_TRUE(std::is_sorted(bar.begin(), bar.end()));
  EXPECT_EQ(bar.at(3), 1);
}

TEST_F(WindowUpdate, TheCheckBoxDecidesWhetherTheUserSettingsAreWritten) {
  h.Click(Id::btnNEXT);
  EXPECT_EQ(DataMemoryWrites(), 6u) << "ticked: from 0x1100";
  EXPECT_EQ(std::count(h.bootloader->writes.begin(), h.bootloader->writes.end(), 0x1000u), 0);

  h.Click(Id::btnBACK);
  h.Click(Id::cbKeepUser);  // the user unticks it
  EXPECT_FALSE(h.window->IsChecked(Id::cbKeepUser));
  h.Click(Id::btnConnect);
  h.bootloader->writes.clear();
  h.Click(Id::btnNEXT);
  EXPECT_EQ(h.window->Form1().FStage, kStageDone);
  EXPECT_EQ(DataMemoryWrites(), 8u) << "unticked: from 0x1000";
}

// The window's share of a block: the bar that moved is painted, and nothing
// else. Paint messages are seen both sent (UpdateWindow) and taken from the
// queue.
std::set<HWND>* gPainted = nullptr;

LRESULT CALLBACK SeeSentPaint(int code, WPARAM wParam, LPARAM lParam) {
  const auto* sent = reinterpret_cast<const CWPSTRUCT*>(lParam);
  if (code == HC_ACTION && gPainted != nullptr && sent->message == WM_PAINT) gPainted->insert(sent->hwnd);
  return ::CallNextHookEx(nullptr, code, wParam, lParam);
}

LRESULT CALLBACK SeeQueuedPaint(int code, WPARAM wParam, LPARAM lParam) {
  const auto* taken = reinterpret_cast<const MSG*>(lParam);
  if (code == HC_ACTION && gPainted != nullptr && taken->message == WM_PAINT) gPainted->insert(taken->hwnd);
  return ::CallNextHookEx(nullptr, code, wParam, lParam);
}

TEST_F(WindowUpdate, WhileItRunsOnlyTheBarThatMovedIsPainted) {
  std::set<HWND> painted;
  HHOOK sent = ::SetWindowsHookExW(WH_CALLWNDPROC, SeeSentPaint, nullptr, ::GetCurrentThreadId());
  HHOOK queued = ::SetWindowsHookExW(WH_GETMESSAGE, SeeQueuedPaint, nullptr, ::GetCurrentThreadId());
  // From the 20th block (the page is drawn by then) to the 200th.
  AtEachFlashWrite([&](std::uint32_t address) {
    if (address == 0x8C00 + 20 * 128) {
      h.window->ProcessMessages();
      gPainted = &painted;
    }
    if (address == 0x8C00 + 200 * 128) gPainted = nullptr;
  });
  h.Click(Id::btnNEXT);
  gPainted = nullptr;
  ::UnhookWindowsHookEx(sent);
  ::UnhookWindowsHookEx(queued);
  EXPECT_EQ(h.window->Form1().FStage, kStageDone);
  EXPECT_EQ(painted, std::set<HWND>{h.Control(Id::BarWrite)});
}

TEST_F(WindowUpdate, AFailedBlockShowsTheFailureAndNothingIsSentAfterIt) {
  h.bootloader->fault = [](FakeBootloader::Command command, std::uint32_t address,
                           FakeBootloader::Step step) -> std::optional<std::vector<std::uint8_t>> {
    if (command == FakeBootloader::Command::Write && address == 0x9000 && step == FakeBootloader::Step::Data)
      return std::vector<std::uint8_t>{0x1F};
    return std::nullopt;
  };
  h.Click(Id::btnNEXT);
  EXPECT_EQ(h.window->Form1().FStage, kStageNone);
  // The refused block's data frame is the last thing the program sent.
  ASSERT_GE(h.serial.frames.size(), 2u);
  EXPECT_EQ(h.serial.frames[h.serial.frames.size() - 2],
            (std::vector<std::uint8_t>{0x00, 0x00, 0x90, 0x00, 0x90}));
  EXPECT_EQ(h.serial.frames.back().size(), 130u);
  EXPECT_TRUE(h.bootloader->reads.empty());
  for (Id shown : {Id::lbWrite, Id::BarWrite, Id::lbWriteErr, Id::txtWriteFail, Id::ListWriteFail})
    EXPECT_TRUE(h.Shown(shown)) << form::Describe(shown).name;
  for (Id hidden : {Id::lbWriteOn, Id::lbWriteOK, Id::lbVerify, Id::BarVerify, Id::txtWriteOK, Id::ListWriteOK})
    EXPECT_FALSE(h.Shown(hidden)) << form::Describe(hidden).name;
  EXPECT_EQ(BarOf(h.Control(Id::BarWrite)), ((0x9000 - 0x8C00 + 1) * 100) / 29219);
  EXPECT_FALSE(h.Enabled(Id::btnNEXT)) << "no way on to the finish page";
  EXPECT_TRUE(h.Enabled(Id::btnBACK));
  EXPECT_EQ(::GetFocus(), h.Control(Id::btnBACK)) << "Enter tries again, it does not close";
}

TEST_F(WindowUpdate, CancelDuringTheWriteClosesThePortAtOnceAndTheProgramEndsAfterTheClick) {
  int blocks = 0;
  bool portOpenAfterCancel = true;
  AtEachFlashWrite([&](std::uint32_t) {
    if (++blocks == 20) ::PostMessageW(h.Control(Id::btnESC), BM_CLICK, 0, 0);
    if (blocks == 21) portOpenAfterCancel = h.window->Form1().FPortOpen;
  });
  h.Click(Id::btnNEXT);
  EXPECT_EQ(blocks, 20) << "the block after the close fails without reaching the tracker";
  EXPECT_EQ(h.window->Form1().FStage, kStageNone);
  EXPECT_TRUE(portOpenAfterCancel) << "no 21st block was sent";
  EXPECT_FALSE(h.window->Form1().FPortOpen);
  EXPECT_TRUE(h.serial.openHandles.empty());
  EXPECT_EQ(h.window->Handle(), nullptr);
  EXPECT_FALSE(h.RunUntilIdle()) << "the main loop ends once the click has returned";
}

TEST_F(WindowUpdate, TheCloseBoxDuringTheVerifyEndsItTheSameWay) {
  bool posted = false;
  h.bootloader->fault = [&](FakeBootloader::Command command, std::uint32_t address,
                            FakeBootloader::Step step) -> std::optional<std::vector<std::uint8_t>> {
    if (command == FakeBootloader::Command::Read && address == 0x9000 && step == FakeBootloader::Step::Data &&
        !posted) {
      ::PostMessageW(h.window->Handle(), WM_SYSCOMMAND, SC_CLOSE, 0);
      posted = true;
    }
    return std::nullopt;
  };
  h.Click(Id::btnNEXT);
  EXPECT_EQ(h.window->Form1().FStage, kStageNone);
  EXPECT_EQ(h.bootloader->reads.back(), 0x9000u);
  EXPECT_EQ(DataMemoryWrites(), 0u);
  EXPECT_FALSE(h.RunUntilIdle());
}

// A click waiting in the queue while the tracker has yet to answer: taken in
// the middle of the wait during the write and the verify, only after the
// update during the data-memory write.
struct ClickInAWait {
  const char* name;
  std::uint8_t stage;  // the phase in whose first wait the click comes
  Id button;
  std::uint8_t outcome;
  std::size_t blocksWritten;
};

class WindowUpdateClickInAWait : public WindowUpdate,
                                 public ::testing::WithParamInterface<ClickInAWait> {};

TEST_P(WindowUpdateClickInAWait, IsTakenWhileTheWriteAndTheVerifyWaitAndEndsThemAtOnce) {
  const ClickInAWait& row = GetParam();
  TForm1& form = h.window->Form1();
  h.serial.replyAfterSleeps = 4 * kTriesPerWaitHook;  // each answer takes a few tries
  bool posted = false;
  unsigned triesAfterClose = 0;
  h.serial.onSleep = [&](FakeSerialApi& api) {
    if (!api.closed.empty()) ++triesAfterClose;
    if (posted || form.FStage != row.stage || !api.replyPending()) return;
    ::PostMessageW(h.Control(row.button), BM_CLICK, 0, 0);
    posted = true;
  };
  h.Click(Id::btnNEXT);
  const bool cancel = row.button == Id::btnESC;
  EXPECT_TRUE(posted);
  EXPECT_EQ(form.FStage, row.outcome);
  EXPECT_EQ(h.bootloader->writes.size(), row.blocksWritten);
  EXPECT_EQ(h.RunUntilIdle(), !cancel) << "the main loop ends after a Cancel";
  EXPECT_EQ(h.serial.closed.size(), cancel ? 1u : 0u);
  EXPECT_EQ(triesAfterClose, 0u) << "no wait goes on after the close";
  EXPECT_EQ(form.ActivePage(), 4);
}

INSTANTIATE_TEST_SUITE_P(
    Table, WindowUpdateClickInAWait,
    ::testing::Values(
        ClickInAWait{"CancelWhileWriting", kStageWriteFlash, Id::btnESC, kStageNone, 0},
        ClickInAWait{"CancelWhileVerifying", kStageVerify, Id::btnESC, kStageNone, 229},
        ClickInAWait{"CancelWhileWritingTheDataMemory", kStageWriteEeprom, Id::btnESC, kStageDone,
                     229 + 6},
        ClickInAWait{"NextWhileWritingStartsNoSecondUpdate", kStageWriteFlash, Id::btnNEXT,
                     kStageDone, 229 + 6}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(WindowUpdate, TheIdleStepWaitsUntilTheClickHasReturned) {
  bool sent = false;
  bool closedDuringUpdate = false;
  AtEachFlashWrite([&](std::uint32_t) {
    if (!sent) {
      // As the system sends it: arrives through the update's message processing.
      const auto record = DeviceRecord(kBridgePath, true);
      ::SendMessageW(h.window->Handle(), WM_DEVICECHANGE, kDbtDeviceRemoveComplete,
                     reinterpret_cast<LPARAM>(record.data()));
      sent = true;
    }
    closedDuringUpdate |= !h.window->Form1().FPortOpen;
  });
  h.Click(Id::btnNEXT);
  EXPECT_EQ(h.window->Form1().FStage, kStageDone) << "the fake bridge stayed";
  EXPECT_FALSE(closedDuringUpdate);
  EXPECT_EQ(h.window->Form1().FDeviceEvent, kDeviceEventRemoval);
  EXPECT_TRUE(h.RunUntilIdle());
  EXPECT_FALSE(h.window->Form1().FPortOpen);
  EXPECT_EQ(h.window->ActivePage(), 4);
}

}  // namespace
}  // namespace tarvik::testing
