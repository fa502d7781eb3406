// Device changes as the window receives them (WM_DEVICECHANGE with 8-bit or
// UTF-16 records): recorded by the message, acted on by the main loop's idle
// step, on every page and during the update.
#include <gtest/gtest.h>

#include "device_link/device_broadcast.h"
#include "update_engine/updater.h"
#include "window_harness.h"

namespace tarvik::testing {
namespace {

using form::Id;

void GoToPage(WindowHarness& h, int page) {
  // The page as the user reaches it; pages 4 and 5 after an update, with the
  // port closed again so that an arrival may act.
  if (page >= 2) h.Click(Id::btnNEXT);
  if (page >= 3) h.Click(Id::btnNEXT);
  if (page >= 4) {
    h.PlugInBridge();
    h.Click(Id::btnConnect);
    h.Click(Id::btnNEXT);
    h.window->Form1().ClosePort();
  }
  if (page >= 5) h.Click(Id::btnNEXT);
  ASSERT_EQ(h.window->ActivePage(), page);
}

class WindowHotPlugOnPage : public ::testing::TestWithParam<std::tuple<int, bool>> {};

TEST_P(WindowHotPlugOnPage, PluggingTheBridgeInConnectsAndShowsTheConnectionPage) {
  const auto [page, wide] = GetParam();
  WindowHarness h;
  GoToPage(h, page);
  h.PlugInBridge();
  EXPECT_EQ(h.SendDeviceChange(kDbtDeviceArrival, kBridgePath, wide), 0);
  EXPECT_EQ(h.window->Form1().FDeviceEvent, kDeviceEventArrival);
  EXPECT_EQ(h.window->ActivePage(), page) << "the message only records";
  ASSERT_TRUE(h.RunUntilIdle());
  EXPECT_EQ(h.window->Form1().FDeviceEvent, kDeviceEventNone);
  EXPECT_TRUE(h.window->Form1().FSynced);
  EXPECT_EQ(h.window->ActivePage(), 3);
  EXPECT_TRUE(Shown(h.Control(Id::TabSheet3)));
  EXPECT_TRUE(h.Shown(Id::lbConnected));
  EXPECT_TRUE(h.Shown(Id::txtConnOK));
  EXPECT_FALSE(h.Shown(Id::lbNotConnected));
  EXPECT_TRUE(h.Enabled(Id::btnNEXT));
  EXPECT_FALSE(h.Enabled(Id::btnConnect));

  // Pulled out again: the port closes and the page shows the connection gone.
  EXPECT_EQ(h.SendDeviceChange(kDbtDeviceRemoveComplete, kBridgePath, wide), 0);
  ASSERT_TRUE(h.RunUntilIdle());
  EXPECT_FALSE(h.window->Form1().FPortOpen);
  EXPECT_FALSE(h.window->Form1().FSynced);
  EXPECT_FALSE(h.Shown(Id::lbConnected));
  EXPECT_FALSE(h.Shown(Id::txtConnOK));
  EXPECT_TRUE(h.Shown(Id::lbNotConnected));
  EXPECT_TRUE(h.Shown(Id::txtConnFail));
  EXPECT_FALSE(h.Enabled(Id::btnNEXT));
  EXPECT_TRUE(h.Enabled(Id::btnConnect));
}

INSTANTIATE_TEST_SUITE_P(Pages, WindowHotPlugOnPage,
                         ::testing::Combine(::testing::Values(1, 2, 3, 4, 5), ::testing::Bool()),
                         [](const auto& info) {
                           return "Page" + std::to_string(std::get<0>(info.param)) +
                                  (std::get<1>(info.param) ? "Utf16Record" : "AnsiRecord");
                         });

TEST(WindowHotPlug, OtherDevicesOtherTypesAndOtherEventsAreAnsweredAndIgnored) {
  WindowHarness h;
  h.PlugInBridge();
  struct Row {
    const char* what;
    std::uint32_t code;
    std::vector<std::uint8_t> record;
  };
  const Row rows[] = {
      {"another device", kDbtDeviceArrival, DeviceRecord("\\\\?\\USB#VID_1234&PID_5678#1#{x}", true)},
      {"a port record", kDbtDeviceArrival, DeviceRecord(kBridgePath, false, kDbtDevtypPort)},
      {"query remove", 0x8001, DeviceRecord(kBridgePath, true)},
      {"devices changed", 0x0007, {}},
      {"a record shorter than its header", kDbtDeviceArrival, {8, 0, 0, 0, 5, 0, 0, 0}},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    const LPARAM record = row.record.empty() ? 0 : reinterpret_cast<LPARAM>(row.record.data());
    EXPECT_EQ(::SendMessageW(h.window->Handle(), WM_DEVICECHANGE, row.code, record), 0);
    EXPECT_EQ(h.window->Form1().FDeviceEvent, kDeviceEventNone);
  }
  ASSERT_TRUE(h.RunUntilIdle());
  EXPECT_TRUE(h.serial.openedPaths.empty());
  EXPECT_EQ(h.devices.snapshotsTaken, 0);
}

TEST(WindowHotPlug, ALowerCaseDevicePathIsTheBridgeToo) {
  WindowHarness h;
  h.PlugInBridge();
  h.SendDeviceChange(kDbtDeviceArrival, "\\\\?\\usb#vid_10c4&pid_ea60#0001#{x}", true);
  ASSERT_TRUE(h.RunUntilIdle());
  EXPECT_TRUE(h.window->Form1().FSynced);
}

TEST(WindowHotPlug, AnArrivalDuringTheUpdateWaitsAndARemovalClosesThePortAfterTheClick) {
  WindowHarness h;
  h.PlugInBridge();
  h.ConnectOnPage3();
  std::vector<std::uint8_t> seenDuring;
  h.bootloader->fault = [&](FakeBootloader::Command command, std::uint32_t address,
                            FakeBootloader::Step step) -> std::optional<std::vector<std::uint8_t>> {
    if (command == FakeBootloader::Command::Write && step == FakeBootloader::Step::Data) {
      if (address == 0x9000) h.SendDeviceChange(kDbtDeviceArrival, kBridgePath, false);
      if (address == 0x9080) seenDuring.push_back(h.window->Form1().FDeviceEvent);
      if (address == 0x9100) h.SendDeviceChange(kDbtDeviceRemoveComplete, kBridgePath, true);
      if (address == 0x9180) seenDuring.push_back(h.window->Form1().FDeviceEvent);
    }
    return std::nullopt;
  };
  h.Click(Id::btnNEXT);
  EXPECT_EQ(seenDuring, (std::vector<std::uint8_t>{kDeviceEventArrival, kDeviceEventRemoval}));
  EXPECT_TRUE(h.window->Form1().FPortOpen) << "nothing acted during the update";
  ASSERT_TRUE(h.RunUntilIdle());
  EXPECT_FALSE(h.window->Form1().FPortOpen);
  // Page 4 keeps the success it showed, and the way on.
  EXPECT_EQ(h.window->ActivePage(), 4);
  EXPECT_TRUE(h.Shown(Id::txtWriteOK));
  EXPECT_TRUE(h.Enabled(Id::btnNEXT));
}

}  // namespace
}  // namespace tarvik::testing
