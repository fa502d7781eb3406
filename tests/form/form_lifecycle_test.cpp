// The form's life, headless: what FormCreate leaves, the welcome text's
// error box, closing in every way (during an update too), and the idle step
// that acts on the hot-plug records.
#include <gtest/gtest.h>

#include <algorithm>

#include "device_link/device_broadcast.h"
#include "tests/form/form_harness.h"

namespace tarvik::testing {
namespace {

using form::Id;
using Status = WelcomeFileLoad::Status;

constexpr Id kIndicators[] = {
    Id::lbConnected, Id::lbNotConnected, Id::txtConnOK,  Id::txtConnFail, Id::lbWrite,
    Id::BarWrite,    Id::lbWriteOn,      Id::lbWriteOK,  Id::lbWriteErr,  Id::lbVerify,
    Id::BarVerify,   Id::lbVerifyOn,     Id::lbVerifyOK, Id::lbVerifyErr, Id::txtWriteOK,
    Id::txtWriteFail, Id::ListWriteOK,   Id::ListWriteFail};

// ------------------------------------------------------------------ creation

TEST(FormCreate, OpensOnPageOneWithOnlyItsButtonsAndNoIndicator) {
  FormHarness h;
  const RecordingFormView& view = h.view;
  EXPECT_EQ(h.form->ActivePage(), 1);
  EXPECT_TRUE(view.tabsHidden);
  EXPECT_FALSE(view[Id::btnBACK].visible);
  EXPECT_TRUE(view[Id::btnESC].visible);
  EXPECT_TRUE(view[Id::btnESC].enabled);
  EXPECT_TRUE(view[Id::btnNEXT].visible);
  EXPECT_TRUE(view[Id::btnNEXT].enabled);
  EXPECT_EQ(view[Id::btnNEXT].caption, "Далее");
  EXPECT_TRUE(view[Id::btnConnect].enabled);
  EXPECT_TRUE(view[Id::cbKeepUser].checked);
  for (Id id : kIndicators) EXPECT_FALSE(view[id].visible) << form::Describe(id).name;
  EXPECT_FALSE(h.form->FSynced);
  EXPECT_FALSE(h.form->FPortOpen);
  EXPECT_EQ(h.form->FDeviceEvent, kDeviceEventNone);
  EXPECT_EQ(h.form->FStage, kStageNone);
  EXPECT_EQ(h.form->FBlockSize, 128);
  EXPECT_TRUE(view.errorBoxes.empty());
  // The window set-up, then the registration for device changes, last.
  EXPECT_EQ(view.calls,
            (std::vector<std::string>{"LoadWelcomeFile", "ShowPage 1", "Register"}));
  EXPECT_EQ(view.registeredSource, &h.notifications);
  EXPECT_TRUE(h.notifications.Registered());
}

TEST(FormCreate, AWelcomeTextThatCannotBeLoadedBringsTheErrorBoxFirstAndTheSetUpGoesOn) {
  struct Row {
    WelcomeFileLoad load;
    const char* box;
  };
  const Row rows[] = {
      {{Status::OpenFailed, "/home/u/text.rtf", "No such file or directory"},
       "Cannot open file \"/home/u/text.rtf\". No such file or directory."},
      {{Status::OpenFailed, "C:\\Tarvik\\text.rtf", "The system cannot find the file specified.\r\n"},
       "Cannot open file \"C:\\Tarvik\\text.rtf\". The system cannot find the file specified."},
      {{Status::Unreadable, "/home/u/text.rtf", ""}, "Failed to Load Stream."},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.box);
    FormHarness h(row.load);
    ASSERT_EQ(h.view.errorBoxes, std::vector<std::string>{row.box});
    EXPECT_EQ(h.view.calls.at(1), "ErrorBox");  // before anything is shown
    EXPECT_EQ(h.view.calls.back(), "Register");
    EXPECT_EQ(h.form->ActivePage(), 1);
    EXPECT_FALSE(h.view[Id::btnBACK].visible);
    for (Id id : kIndicators) EXPECT_FALSE(h.view[id].visible) << form::Describe(id).name;
  }
}

// ------------------------------------------------------------------- closing

enum class Way { Cancel, Ok, CloseRequest };

TEST(FormClose, EveryWayClosesAnOpenPortExactlyOnceAndNothingElse) {
  const struct {
    const char* name;
    int page;
    Way way;
    bool portOpen;
  } rows[] = {
      {"Cancel on page 1", 1, Way::Cancel, true},
      {"Cancel on page 2", 2, Way::Cancel, true},
      {"Cancel on page 3", 3, Way::Cancel, true},
      {"Cancel on page 4", 4, Way::Cancel, true},
      {"OK on page 5", 5, Way::Ok, true},
      {"close box on page 3", 3, Way::CloseRequest, true},
      {"Cancel without a port", 2, Way::Cancel, false},
      {"close box without a port", 1, Way::CloseRequest, false},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    FormHarness h;
    TForm1& form = *h.form;
    h.serial.ports = {"COM3"};
    PortHandle handle = kInvalidPortHandle;
    if (row.portOpen) {
      ASSERT_TRUE(form.OpenPort("COM3"));
      form.FPortOpen = true;
      handle = form.FPortHandle;
    }
    h.GoTo(row.page, false);
    switch (row.way) {
      case Way::Cancel: h.Click(Id::btnESC); break;
      case Way::Ok: h.Click(Id::btnNEXT); break;
      // The title bar's close box, the system menu and Alt+F4 all reach the
      // form as the window's close event.
      case Way::CloseRequest: form.FormClose(); h.view.closed = true; break;
    }
    EXPECT_TRUE(h.view.closed);
    EXPECT_FALSE(form.FPortOpen);
    if (row.portOpen) {
      EXPECT_EQ(h.serial.closed, std::vector<PortHandle>{handle});
      EXPECT_EQ(form.FPortHandle, kInvalidPortHandle);
    } else {
      EXPECT_TRUE(h.serial.closed.empty());
    }
    // A second close finds nothing left to close.
    form.FormClose();
    EXPECT_EQ(h.serial.closed.size(), row.portOpen ? 1u : 0u);
  }
}

TEST(FormClose, CancelDuringTheProgramMemoryClosesThePortAtOnceAndTheUpdateFailsAtItsNextBlock) {
  for (int cancelAt : {1, 2, 229 + 1, 229 + 100}) {  // write blocks 1 and 2, verify blocks 1 and 100
    SCOPED_TRACE(cancelAt);
    FormHarness h;
    TForm1& form = *h.form;
    h.PlugInBridge();
    h.GoTo(3, false);
    h.Click(Id::btnConnect);
    ASSERT_TRUE(form.FSynced);
    const PortHandle handle = form.FPortHandle;

    bool portClosedAtOnce = false;
    std::size_t writesWhenCancelled = 0, readsWhenCancelled = 0;
    h.view.onProcessMessages = [&] {
      if (h.view.processed != cancelAt) return;
      writesWhenCancelled = h.bootloader->writes.size();
      readsWhenCancelled = h.bootloader->reads.size();
      h.Click(Id::btnESC);
      portClosedAtOnce = !form.FPortOpen && h.serial.closed.size() == 1;
    };
    h.Click(Id::btnNEXT);

    EXPECT_TRUE(portClosedAtOnce);
    EXPECT_TRUE(h.view.closed);
    EXPECT_EQ(form.FStage, kStageNone);
    // Nothing was sent after the close.
    EXPECT_EQ(h.bootloader->writes.size(), writesWhenCancelled);
    EXPECT_EQ(h.bootloader->reads.size(), readsWhenCancelled);
    EXPECT_EQ(h.serial.closed, std::vector<PortHandle>{handle});
    EXPECT_TRUE(h.view[Id::txtWriteFail].visible);
    EXPECT_FALSE(h.view[Id::txtWriteOK].visible);
  }
}

// ------------------------------------------------------------ the idle step

class FormIdle : public ::testing::Test {
 protected:
  FormHarness h;
  TForm1& form = *h.form;
};

TEST_F(FormIdle, PluggingTheBridgeInConnectsAndShowsTheConnectionPage) {
  for (int page : {1, 2, 4, 5}) {
    SCOPED_TRACE(page);
    form.ClosePort();
    h.GoTo(page, false);
    h.PlugInBridge();
    h.notifications.Send(kDbtDeviceArrival, kBridgePath);
    EXPECT_EQ(form.FDeviceEvent, kDeviceEventArrival);  // recorded only
    EXPECT_FALSE(form.FPortOpen);
    form.ApplicationEvents1Idle();
    EXPECT_EQ(form.FDeviceEvent, kDeviceEventNone);
    EXPECT_TRUE(form.FPortOpen);
    EXPECT_TRUE(form.FSynced);
    EXPECT_EQ(form.ActivePage(), 3);
    EXPECT_TRUE(h.view[Id::lbConnected].visible);
    EXPECT_TRUE(h.view[Id::txtConnOK].visible);
    EXPECT_TRUE(h.view[Id::btnNEXT].enabled);
    EXPECT_FALSE(h.view[Id::btnConnect].enabled);
  }
}

TEST(FormIdleRemoval, OnTheConnectionPageShowsTheLinkGoneAndElsewhereChangesNothing) {
  for (int page : {3, 4, 5}) {
    SCOPED_TRACE(page);
    FormHarness h;
    TForm1& form = *h.form;
    h.PlugInBridge();
    h.notifications.Send(kDbtDeviceArrival, kBridgePath);
    form.ApplicationEvents1Idle();
    ASSERT_TRUE(form.FSynced);
    // Pages 4 and 5 after an update that went through.
    for (int p = 3; p < page; ++p) h.Click(Id::btnNEXT);
    ASSERT_EQ(form.ActivePage(), page);
    const auto before = h.view.controls;
    const PortHandle handle = form.FPortHandle;

    h.notifications.Send(kDbtDeviceRemoveComplete, kBridgePath);
    form.ApplicationEvents1Idle();
    EXPECT_FALSE(form.FPortOpen);
    EXPECT_FALSE(form.FSynced);
    EXPECT_EQ(h.serial.closed, std::vector<PortHandle>{handle});
    EXPECT_EQ(form.ActivePage(), page);
    if (page != 3) {
      EXPECT_TRUE(h.view.controls == before);
      continue;
    }
    // What a failed Connect shows.
    EXPECT_FALSE(h.view[Id::lbConnected].visible);
    EXPECT_FALSE(h.view[Id::txtConnOK].visible);
    EXPECT_TRUE(h.view[Id::lbNotConnected].visible);
    EXPECT_TRUE(h.view[Id::txtConnFail].visible);
    EXPECT_FALSE(h.view[Id::btnNEXT].enabled);
    EXPECT_TRUE(h.view[Id::btnConnect].enabled);
  }
}

TEST_F(FormIdle, NothingPendingMeansNothingDone) {
  form.ApplicationEvents1Idle();
  EXPECT_TRUE(h.serial.openedPaths.empty());
  EXPECT_EQ(h.devices.snapshotsTaken, 0);
}

TEST_F(FormIdle, DuringTheUpdateARemovalIsRecordedAndActedOnOnlyAfterTheClick) {
  h.PlugInBridge();
  h.GoTo(3, false);
  h.Click(Id::btnConnect);
  ASSERT_TRUE(form.FSynced);

  bool recorded = false, portClosedDuringUpdate = false;
  h.view.onProcessMessages = [&] {
    if (h.view.processed == 1) h.notifications.Send(kDbtDeviceRemoveComplete, kBridgePath);
    recorded |= form.FDeviceEvent == kDeviceEventRemoval;
    // Even called from inside the click, the idle step holds back.
    form.ApplicationEvents1Idle();
    portClosedDuringUpdate |= !form.FPortOpen;
  };
  h.Click(Id::btnNEXT);

  EXPECT_TRUE(recorded);
  EXPECT_FALSE(portClosedDuringUpdate);
  EXPECT_EQ(form.FStage, kStageDone);  // the fake bridge stayed: the update went through
  form.ApplicationEvents1Idle();
  EXPECT_FALSE(form.FPortOpen);
  EXPECT_EQ(form.FDeviceEvent, kDeviceEventNone);
  EXPECT_EQ(form.ActivePage(), 4);
}

TEST_F(FormIdle, OtherDevicesAndOtherEventsAreIgnored) {
  h.notifications.Send(kDbtDeviceArrival, "\\\\?\\USB#VID_1234&PID_5678#1#{x}");
  h.notifications.Send(0x8001, kBridgePath);  // query remove
  form.ApplicationEvents1Idle();
  EXPECT_EQ(form.FDeviceEvent, kDeviceEventNone);
  EXPECT_TRUE(h.serial.openedPaths.empty());
}

}  // namespace
}  // namespace tarvik::testing
