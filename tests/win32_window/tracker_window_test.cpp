// The whole wizard through the native window, over the real Win32 layers,
// with the virtual tracker on COM5 behind them (run by with_tracker.sh,
// which then checks the tracker's memory, or which command it received
// last). Each test here runs alone against a tracker of its own.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>

#include "device_link/serial_api_win32.h"
#include "tests/wine/tracker_line.h"
#include "update_engine/updater.h"
#include "window_harness.h"
#include "window_win32/message_loop.h"

namespace tarvik::testing {
namespace {

using form::Id;

// The real serial layer, with a hook at every write (to act in the middle
// of the update).
class HookedSerialApi : public Win32SerialApi {
 public:
  std::function<void(PortHandle)> onWrite;
  bool writeFile(PortHandle h, const void* buffer, std::uint32_t count,
                 std::uint32_t& written) override {
    if (onWrite) onWrite(h);
    return Win32SerialApi::writeFile(h, buffer, count, written);
  }
};

class TrackerWindow : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(PrepareTrackerLine()) << kTrackerHint;
    devices.devices = {FakeDevice{std::string("Silicon Labs CP210x USB to UART Bridge (COM5)"),
                                  std::string("CP2102")}};
    window = std::make_unique<win32::FormWindow>(serial, devices);
    window->Show(SW_SHOWNORMAL);
    Click(Id::btnNEXT);
    Click(Id::btnNEXT);
    Click(Id::btnConnect);
    ASSERT_TRUE(window->Form1().FSynced) << kTrackerHint;
    ASSERT_TRUE(Shown(window->Control(Id::lbConnected)));
  }
  void TearDown() override {
    if (window && window->Handle() != nullptr) Click(Id::btnESC);  // closes the port
    window.reset();
    MSG msg;
    while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
    }
  }
  void Click(Id id) { ::SendMessageW(window->Control(id), BM_CLICK, 0, 0); }
  bool IsShown(Id id) { return Shown(window->Control(id)); }
  void ExpectOnPage4(std::initializer_list<Id> shown) {
    for (const form::ControlDescription& c : form::Controls()) {
      if (c.parent != Id::TabSheet4) continue;
      const bool expected = std::find(shown.begin(), shown.end(), c.id) != shown.end();
      EXPECT_EQ(IsShown(c.id), expected) << c.name;
    }
    EXPECT_TRUE(Enabled(window->Control(Id::btnBACK)));
    // The finish page, which congratulates, is offered after a success only.
    const bool succeeded = std::find(shown.begin(), shown.end(), Id::txtWriteOK) != shown.end();
    EXPECT_EQ(Enabled(window->Control(Id::btnNEXT)), succeeded);
  }
  int Bar(Id id) { return BarOf(window->Control(id)); }

  WelcomeDirectory directory{kTestWelcomeText};
  HookedSerialApi serial;
  FakeDeviceInfoApi devices;
  std::unique_ptr<win32::FormWindow> window;
};

TEST_F(TrackerWindow, UpdateKeepingTheSettings) {
  Click(Id::btnNEXT);
  EXPECT_EQ(window->Form1().FStage, kStageDone);
  ExpectOnPage4({Id::lbWrite, Id::BarWrite, Id::lbWriteOK, Id::lbVerify, Id::BarVerify,
                 Id::lbVerifyOK, Id::txtWriteOK, Id::ListWriteOK});
  EXPECT_EQ(Bar(Id::BarWrite), 100);
  EXPECT_EQ(Bar(Id::BarVerify), 100);
  Click(Id::btnNEXT);
  EXPECT_EQ(window->ActivePage(), 5);
}

TEST_F(TrackerWindow, UpdateOverwritingTheSettings) {
  Click(Id::cbKeepUser);
  ASSERT_FALSE(window->IsChecked(Id::cbKeepUser));
  Click(Id::btnNEXT);
  EXPECT_EQ(window->Form1().FStage, kStageDone);
  EXPECT_TRUE(IsShown(Id::txtWriteOK));
}

TEST_F(TrackerWindow, WriteFailure) {
  Click(Id::btnNEXT);
  EXPECT_EQ(window->Form1().FStage, kStageNone);
  ExpectOnPage4({Id::lbWrite, Id::BarWrite, Id::lbWriteErr, Id::txtWriteFail, Id::ListWriteFail});
  EXPECT_EQ(Bar(Id::BarWrite), ((0x9000 - 0x8C00 + 1) * 100) / 29219);
}

TEST_F(TrackerWindow, VerifyFailure) {
  Click(Id::btnNEXT);
  EXPECT_EQ(window->Form1().FStage, kStageNone);
  ExpectOnPage4({Id::lbWrite, Id::BarWrite, Id::lbWriteOK, Id::lbVerify, Id::BarVerify,
                 Id::lbVerifyErr, Id::txtWriteFail, Id::ListWriteFail});
  EXPECT_EQ(Bar(Id::BarWrite), 100);
  EXPECT_EQ(Bar(Id::BarVerify), ((0x9A00 - 0x8C00 + 1) * 100) / 29219);
}

TEST_F(TrackerWindow, DataMemoryFailure) {
  Click(Id::btnNEXT);
  EXPECT_EQ(window->Form1().FStage, kStageNone);
  ExpectOnPage4({Id::lbWrite, Id::BarWrite, Id::lbWriteErr, Id::lbVerify, Id::BarVerify,
                 Id::lbVerifyOK, Id::txtWriteFail, Id::ListWriteFail});
  EXPECT_EQ(Bar(Id::BarWrite), 100);
  EXPECT_EQ(Bar(Id::BarVerify), 100);
}

TEST_F(TrackerWindow, ClosingDuringTheUpdate) {
  int writes = 0;
  int writesAfterClose = 0;
  const PortHandle port = window->Form1().FPortHandle;
  serial.onWrite = [&](PortHandle h) {
    if (window->Handle() == nullptr && h == port) ++writesAfterClose;
    // Every block is three writes (command, address, data).
    if (++writes == 3 * 40) ::PostMessageW(window->Handle(), WM_SYSCOMMAND, SC_CLOSE, 0);
  };
  Click(Id::btnNEXT);
  EXPECT_EQ(window->Form1().FStage, kStageNone);
  EXPECT_EQ(window->Handle(), nullptr);
  EXPECT_FALSE(window->Form1().FPortOpen);
  EXPECT_EQ(writesAfterClose, 0) << "the closed port's handle is not used again";
  EXPECT_LT(writes, 3 * 229) << "the update ended early";
  EXPECT_FALSE(win32::RunUntilIdle(*window)) << "the program ends";
}

}  // namespace
}  // namespace tarvik::testing
