// Moving through the pages, headless: the buttons for each page, every
// transition of Next and Back, Connect's outcome on the page, and the update
// started by Next on the connection page.
#include <gtest/gtest.h>

#include <algorithm>

#include "device_link/device_broadcast.h"
#include "tests/form/form_harness.h"

namespace tarvik::testing {
namespace {

using form::Id;

constexpr Id kConnectionIndicators[] = {Id::lbConnected, Id::lbNotConnected, Id::txtConnOK,
                                        Id::txtConnFail};

class FormNavigation : public ::testing::Test {
 protected:
  FormHarness h;
  TForm1& form = *h.form;
  RecordingFormView& view = h.view;

  bool Shown(Id id) const { return view[id].visible; }
  bool Enabled(Id id) const { return view[id].enabled; }
  void ShowConnectionIndicators() {
    for (Id id : kConnectionIndicators) view[id].visible = true;
  }
  bool AnyConnectionIndicator() const {
    return std::any_of(std::begin(kConnectionIndicators), std::end(kConnectionIndicators),
                       [&](Id id) { return Shown(id); });
  }
};

struct ButtonsRow {
  int page;
  bool synced;
  bool backShown;
  bool escShown;
  const char* caption;
  bool nextEnabled;
  std::uint8_t stage = kStageNone;
};

TEST_F(FormNavigation, UpdateButtonsSetsTheButtonsOfThePageShown) {
  const ButtonsRow rows[] = {
      {1, false, false, true, "Далее", true}, {2, false, true, true, "Далее", true},
      {3, false, true, true, "Далее", false}, {3, true, true, true, "Далее", true},
      // On page 4 Next follows the update's outcome alone: set before the
      // update starts, while it runs and after it failed, Next stays disabled.
      {4, false, true, true, "Далее", true, kStageDone},
      {4, true, true, true, "Далее", true, kStageDone},
      {4, true, true, true, "Далее", false, kStageRequested},
      {4, true, true, true, "Далее", false, kStageVerify},
      {4, true, true, true, "Далее", false, kStageNone},
      {5, false, true, false, "OK", true},    {5, true, true, false, "OK", true},
  };
  for (const ButtonsRow& row : rows) {
    SCOPED_TRACE(::testing::Message() << "page " << row.page << " synced " << row.synced
                                      << " stage " << int{row.stage});
    view.activePage = row.page;
    form.FSynced = row.synced;
    form.FStage = row.stage;
    // Start from the opposite of what the page wants; Back and Cancel
    // disabled, which UpdateButtons must leave alone.
    view[Id::btnBACK].visible = !row.backShown;
    view[Id::btnESC].visible = !row.escShown;
    view[Id::btnNEXT].enabled = !row.nextEnabled;
    view.SetCaption(Id::btnNEXT, "x");
    view[Id::btnBACK].enabled = false;
    view[Id::btnESC].enabled = false;
    view[Id::btnNEXT].visible = true;
    const bool connectBefore = Enabled(Id::btnConnect);

    form.UpdateButtons();

    EXPECT_EQ(form.ActivePage(), row.page);
    EXPECT_EQ(Shown(Id::btnBACK), row.backShown);
    EXPECT_EQ(Shown(Id::btnESC), row.escShown);
    EXPECT_TRUE(Shown(Id::btnNEXT));
    EXPECT_EQ(view[Id::btnNEXT].caption, row.caption);
    EXPECT_EQ(Enabled(Id::btnNEXT), row.nextEnabled);
    EXPECT_FALSE(Enabled(Id::btnBACK));
    EXPECT_FALSE(Enabled(Id::btnESC));
    if (row.page == 3)
      EXPECT_EQ(Enabled(Id::btnConnect), !row.synced);
    else
      EXPECT_EQ(Enabled(Id::btnConnect), connectBefore);
    view[Id::btnBACK].enabled = true;
    view[Id::btnESC].enabled = true;
  }
}

TEST_F(FormNavigation, OnTheConnectionPageSyncShowsTheCheckAndNoSyncLeavesTheIndicators) {
  h.GoTo(3, false);
  view[Id::lbNotConnected].visible = true;
  view[Id::txtConnFail].visible = true;
  form.UpdateButtons();
  EXPECT_TRUE(Shown(Id::lbNotConnected));
  EXPECT_TRUE(Shown(Id::txtConnFail));
  EXPECT_FALSE(Shown(Id::lbConnected));
  EXPECT_FALSE(Shown(Id::txtConnOK));

  form.FSynced = true;
  form.UpdateButtons();
  EXPECT_TRUE(Shown(Id::lbConnected));
  EXPECT_TRUE(Shown(Id::txtConnOK));
  EXPECT_FALSE(Shown(Id::lbNotConnected));
  EXPECT_FALSE(Shown(Id::txtConnFail));

  // Sync lost without a refresh: the check stays until the next operation.
  form.FSynced = false;
  form.UpdateButtons();
  EXPECT_TRUE(Shown(Id::lbConnected));
  EXPECT_TRUE(Shown(Id::txtConnOK));
}

struct TransitionRow {
  int from;
  bool syncedBefore;
  enum { Next, Back } button;
  int to;  // 0: the window closed
  bool syncedAfter;
  bool nextEnabledAfter;
  std::uint8_t stage = kStageDone;  // the outcome of the update before, for page 4
};

TEST_F(FormNavigation, NextAndBackMoveAsTheTransitionTableSays) {
  const TransitionRow rows[] = {
      {1, false, TransitionRow::Next, 2, false, true},
      {2, false, TransitionRow::Next, 3, false, false},
      {3, true, TransitionRow::Next, 4, true, false},  // the update runs (and fails) in between
      {3, false, TransitionRow::Next, 3, false, false},
      {4, false, TransitionRow::Next, 5, false, true},
      {4, true, TransitionRow::Next, 5, true, true},
      // After a failed update the finish page is out of reach.
      {4, true, TransitionRow::Next, 4, true, false, kStageNone},
      {5, false, TransitionRow::Next, 0, false, true},
      {2, false, TransitionRow::Back, 1, false, true},
      {3, true, TransitionRow::Back, 2, false, true},
      {3, false, TransitionRow::Back, 2, false, true},
      {4, true, TransitionRow::Back, 3, false, false},
      {4, true, TransitionRow::Back, 3, false, false, kStageNone},
      {5, true, TransitionRow::Back, 2, false, true},
  };
  for (const TransitionRow& row : rows) {
    SCOPED_TRACE(::testing::Message() << "from " << row.from << " synced " << row.syncedBefore
                                      << (row.button == TransitionRow::Next ? " Next" : " Back"));
    view.closed = false;
    form.FStage = row.stage;
    h.GoTo(row.from, row.syncedBefore);
    ShowConnectionIndicators();
    // Next where it is disabled (page 3 without sync, page 4 after a
    // failure) must lead nowhere even if a click got through.
    view[Id::btnNEXT].enabled = true;
    h.Click(row.button == TransitionRow::Next ? Id::btnNEXT : Id::btnBACK);
    if (row.to == 0) {
      EXPECT_TRUE(view.closed);
      continue;
    }
    EXPECT_FALSE(view.closed);
    EXPECT_EQ(form.ActivePage(), row.to);
    EXPECT_EQ(form.FSynced, row.syncedAfter);
    // The buttons always follow the page reached.
    EXPECT_EQ(Shown(Id::btnBACK), row.to != 1);
    EXPECT_EQ(Shown(Id::btnESC), row.to != 5);
    EXPECT_EQ(Enabled(Id::btnNEXT), row.nextEnabledAfter);
    // Entering page 3 from page 2 or page 4 hides the connection indicators.
    if (row.to == 3 && row.from != 3) {
      EXPECT_FALSE(AnyConnectionIndicator());
    }
    if (row.to == 3) {
      EXPECT_EQ(Enabled(Id::btnConnect), !row.syncedAfter);
    }
  }
}

TEST_F(FormNavigation, BackOnPageOneDoesNothing) {
  form.btnBACKClick();
  EXPECT_EQ(form.ActivePage(), 1);
  EXPECT_FALSE(Shown(Id::btnBACK));
  EXPECT_FALSE(view.closed);
}

TEST_F(FormNavigation, BackNeverClosesThePort) {
  h.serial.ports = {"COM3"};
  ASSERT_TRUE(form.OpenPort("COM3"));
  form.FPortOpen = true;
  const PortHandle handle = form.FPortHandle;
  for (int page : {5, 4, 3, 2}) {
    h.GoTo(page, true);
    h.Click(Id::btnBACK);
  }
  EXPECT_TRUE(form.FPortOpen);
  EXPECT_EQ(form.FPortHandle, handle);
  EXPECT_TRUE(h.serial.closed.empty());
}

TEST_F(FormNavigation, ConnectWithoutADeviceShowsTheFailure) {
  h.GoTo(3, false);
  h.Click(Id::btnConnect);
  EXPECT_FALSE(form.FSynced);
  EXPECT_FALSE(form.FPortOpen);
  EXPECT_TRUE(Shown(Id::lbNotConnected));
  EXPECT_TRUE(Shown(Id::txtConnFail));
  EXPECT_FALSE(Shown(Id::lbConnected));
  EXPECT_FALSE(Shown(Id::txtConnOK));
  EXPECT_FALSE(Enabled(Id::btnNEXT));
  EXPECT_TRUE(Enabled(Id::btnConnect));
  // The probe ran: no device was named, so every COM name was tried.
  EXPECT_EQ(h.serial.openedPaths.size(), 250u);
}

TEST_F(FormNavigation, ConnectToTheBridgeShowsTheCheckAndEnablesNext) {
  h.PlugInBridge();
  h.GoTo(3, false);
  view[Id::lbNotConnected].visible = true;
  view[Id::txtConnFail].visible = true;
  h.Click(Id::btnConnect);
  EXPECT_TRUE(form.FSynced);
  EXPECT_TRUE(form.FPortOpen);
  EXPECT_TRUE(Shown(Id::lbConnected));
  EXPECT_TRUE(Shown(Id::txtConnOK));
  EXPECT_FALSE(Shown(Id::lbNotConnected));
  EXPECT_FALSE(Shown(Id::txtConnFail));
  EXPECT_TRUE(Enabled(Id::btnNEXT));
  EXPECT_FALSE(Enabled(Id::btnConnect));
  // By its name: no probe.
  EXPECT_EQ(h.serial.openedPaths, std::vector<std::string>{"\\\\.\\COM3"});
}

TEST_F(FormNavigation, ConnectWhoseGetFailsKeepsThePortOpenAndShowsTheFailure) {
  h.PlugInBridge();
  h.bootloader->fault = [](FakeBootloader::Command c, std::uint32_t, FakeBootloader::Step)
      -> std::optional<std::vector<std::uint8_t>> {
    if (c == FakeBootloader::Command::Get) return std::vector<std::uint8_t>{0x1F};
    return std::nullopt;
  };
  h.GoTo(3, false);
  h.Click(Id::btnConnect);
  EXPECT_FALSE(form.FSynced);
  EXPECT_TRUE(form.FPortOpen);
  EXPECT_TRUE(Shown(Id::lbNotConnected));
  EXPECT_TRUE(Shown(Id::txtConnFail));
  EXPECT_FALSE(Enabled(Id::btnNEXT));
}

TEST_F(FormNavigation, NextAfterTheSyncWasLostStaysAndRefreshesTheButtons) {
  h.PlugInBridge();
  h.GoTo(3, false);
  h.Click(Id::btnConnect);
  ASSERT_TRUE(Enabled(Id::btnNEXT));
  form.FSynced = false;  // lost without the page being refreshed
  h.Click(Id::btnNEXT);
  EXPECT_EQ(form.ActivePage(), 3);
  EXPECT_FALSE(Enabled(Id::btnNEXT));
  EXPECT_TRUE(Enabled(Id::btnConnect));
  EXPECT_TRUE(Shown(Id::lbConnected));  // the indicators keep what they showed
  EXPECT_TRUE(h.bootloader->writes.empty());
}

TEST_F(FormNavigation, NextOnTheConnectionPageClearsEarlierIndicatorsAndRunsTheUpdate) {
  h.GoTo(3, true);  // synced, but no port: the first block fails
  view[Id::txtWriteOK].visible = true;
  view[Id::ListWriteOK].visible = true;
  view[Id::lbVerifyOK].visible = true;
  form.FStage = 5;
  h.Click(Id::btnNEXT);
  EXPECT_EQ(form.ActivePage(), 4);
  EXPECT_EQ(form.FStage, 0);
  EXPECT_FALSE(Shown(Id::txtWriteOK));
  EXPECT_FALSE(Shown(Id::ListWriteOK));
  EXPECT_FALSE(Shown(Id::lbVerifyOK));
  EXPECT_TRUE(Shown(Id::lbWrite));
  EXPECT_TRUE(Shown(Id::BarWrite));
  EXPECT_EQ(view[Id::BarWrite].position, 0);
  EXPECT_TRUE(Shown(Id::lbWriteErr));
  EXPECT_TRUE(Shown(Id::txtWriteFail));
  EXPECT_TRUE(Shown(Id::ListWriteFail));
  EXPECT_TRUE(Enabled(Id::btnBACK));
  EXPECT_FALSE(Enabled(Id::btnNEXT));
}

TEST_F(FormNavigation, AWholeUpdateKeepsBackAndNextDisabledWhileItRunsAndEndsInSuccess) {
  h.PlugInBridge();
  h.GoTo(3, false);
  h.Click(Id::btnConnect);
  ASSERT_TRUE(form.FSynced);

  // Sample the buttons at every message-processing point of the update.
  int samples = 0;
  bool backEverEnabled = false, nextEverEnabled = false, cancelEverUnusable = false;
  view.onProcessMessages = [&] {
    ++samples;
    backEverEnabled |= Enabled(Id::btnBACK);
    nextEverEnabled |= Enabled(Id::btnNEXT);
    cancelEverUnusable |= !Enabled(Id::btnESC) || !Shown(Id::btnESC);
  };
  h.Click(Id::btnNEXT);

  // One message-processing point after each program-memory block, written
  // and verified, and none during the data memory.
  EXPECT_EQ(samples, 2 * 229);
  EXPECT_FALSE(backEverEnabled);
  EXPECT_FALSE(nextEverEnabled);
  EXPECT_FALSE(cancelEverUnusable);
  EXPECT_EQ(form.FStage, 5);
  EXPECT_EQ(view[Id::BarWrite].position, 100);
  EXPECT_EQ(view[Id::BarVerify].position, 100);
  for (Id id : {Id::lbWrite, Id::BarWrite, Id::lbWriteOK, Id::lbVerify, Id::BarVerify,
                Id::lbVerifyOK, Id::txtWriteOK, Id::ListWriteOK})
    EXPECT_TRUE(Shown(id)) << form::Describe(id).name;
  for (Id id : {Id::lbWriteOn, Id::lbWriteErr, Id::lbVerifyOn, Id::lbVerifyErr, Id::txtWriteFail,
                Id::ListWriteFail})
    EXPECT_FALSE(Shown(id)) << form::Describe(id).name;
  EXPECT_TRUE(Enabled(Id::btnBACK));
  EXPECT_TRUE(Enabled(Id::btnNEXT));
  // The user's settings area was kept (the box is ticked at start).
  EXPECT_EQ(h.bootloader->writes.back(), 0x1380u);
  EXPECT_EQ(std::count(h.bootloader->writes.begin(), h.bootloader->writes.end(), 0x1000u), 0);
}

// Each way an update can end, and whether page 4 then offers the finish page.
TEST_F(FormNavigation, OnlyASuccessfulUpdateLeadsOnToTheFinishPage) {
  using Cmd = FakeBootloader::Command;
  using Step = FakeBootloader::Step;
  using Bytes = std::vector<std::uint8_t>;
  enum class Midway { Nothing, PullOut, Close };
  const struct {
    const char* name;
    Cmd command;
    std::uint32_t address;  // 0: no fault
    Step step;
    Midway midway;
    bool nextEnabled;
  } rows[] = {
      {"success", Cmd::Other, 0, Step::Data, Midway::Nothing, true},
      {"write refused", Cmd::Write, 0x9000, Step::Data, Midway::Nothing, false},
      {"verify differs", Cmd::Read, 0x9000, Step::Data, Midway::Nothing, false},
      {"data memory refused", Cmd::Write, 0x1200, Step::Address, Midway::Nothing, false},
      {"module pulled out", Cmd::Other, 0, Step::Data, Midway::PullOut, false},
      {"window closed", Cmd::Other, 0, Step::Data, Midway::Close, false},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    FormHarness f;
    f.PlugInBridge();
    f.GoTo(3, false);
    f.Click(Id::btnConnect);
    ASSERT_TRUE(f.form->FSynced);
    bool gone = false;
    f.bootloader->fault = [&](Cmd c, std::uint32_t a, Step s) -> std::optional<Bytes> {
      if (gone) return Bytes{};  // nothing answers any more
      if (c != row.command || a != row.address || s != row.step) return std::nullopt;
      if (c == Cmd::Read) return Bytes(129, 0x79);  // acknowledged, but not the image
      return Bytes{0x1F};
    };
    f.view.onProcessMessages = [&] {
      if (f.view.processed != 20) return;
      if (row.midway == Midway::PullOut) {
        gone = true;
        f.notifications.Send(kDbtDeviceRemoveComplete, kBridgePath);
      }
      if (row.midway == Midway::Close) f.Click(Id::btnESC);
    };
    f.Click(Id::btnNEXT);
    f.form->ApplicationEvents1Idle();  // a removal is acted on once the click returned

    EXPECT_EQ(f.form->FStage, row.nextEnabled ? kStageDone : kStageNone);
    EXPECT_EQ(f.form->ActivePage(), 4);
    EXPECT_EQ(f.view[Id::btnNEXT].enabled, row.nextEnabled);
    EXPECT_TRUE(f.view[Id::btnBACK].enabled && f.view[Id::btnBACK].visible);
    EXPECT_TRUE(f.view[Id::btnESC].enabled && f.view[Id::btnESC].visible);
    // Page 4 keeps its outcome, also once the port of a pulled-out module closed.
    EXPECT_EQ(f.view[Id::txtWriteOK].visible, row.nextEnabled);
    EXPECT_EQ(f.view[Id::txtWriteFail].visible, !row.nextEnabled);
    EXPECT_EQ(f.form->FPortOpen, row.midway == Midway::Nothing);
  }
}

TEST_F(FormNavigation, UntickingKeepUserWritesTheWholeDataMemory) {
  h.PlugInBridge();
  h.GoTo(3, false);
  h.Click(Id::btnConnect);
  view[Id::cbKeepUser].checked = false;
  h.Click(Id::btnNEXT);
  ASSERT_EQ(form.FStage, 5);
  EXPECT_EQ(std::count(h.bootloader->writes.begin(), h.bootloader->writes.end(), 0x1000u), 1);
}

}  // namespace
}  // namespace tarvik::testing
