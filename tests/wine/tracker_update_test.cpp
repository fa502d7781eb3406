// The bootloader commands and a whole update over the real Win32 layer, on
// COM5 with the virtual tracker behind it. What the update left in the
// tracker's memory is checked by with_tracker.sh once the tracker has stopped
// and written its memory out.
#include <gtest/gtest.h>

#include <windows.h>

#include <vector>

#include "device_link/serial_api_win32.h"
#include "device_link/transfer_buffers.h"
#include "tests/fakes/fake_device_info_api.h"
#include "tests/fakes/recording_view.h"
#include "tests/wine/tracker_line.h"
#include "firmware/firmware_image.h"
#include "update_engine/updater.h"

namespace tarvik {
namespace {

using testing::FakeDeviceInfoApi;
using testing::kTrackerHint;
using testing::kTrackerPort;
using testing::RecordingView;
using Bytes = std::vector<std::uint8_t>;

class TrackerOnCom5 : public ::testing::Test {
 protected:
  void SetUp() override {
    updater.InitUpdaterState();
    ASSERT_TRUE(testing::PrepareTrackerLine()) << kTrackerHint;
  }

  // What the Connect button does once the port is known.
  bool Connect() {
    updater.ConnectPort(kTrackerPort);
    if (updater.FSynced) updater.FSynced = updater.BootGet();
    return updater.FSynced;
  }

  Win32SerialApi serial;
  FakeDeviceInfoApi devices;
  Updater updater{serial, devices};
};

TEST_F(TrackerOnCom5, TheFourBootloaderCommands) {
  ASSERT_TRUE(Connect()) << kTrackerHint;
  EXPECT_EQ(updater.FBootVersion, 0x10);
  EXPECT_EQ(updater.FBootCmdCount, 5);
  EXPECT_EQ(Bytes(BootCommands, BootCommands + 6), (Bytes{0x00, 0x11, 0x21, 0x31, 0x43, 0x00}));
  ASSERT_TRUE(updater.BootWriteBlock(0x8C00));
  ASSERT_TRUE(updater.BootReadBlock(0x8C00));
  EXPECT_EQ(RxBuf[0], kAck);
  EXPECT_EQ(Bytes(RxBuf + 1, RxBuf + 129), Bytes(FlashImage, FlashImage + 128));
  ASSERT_TRUE(updater.BootReadBlock(0x1000)) << "data memory reads as well";
  EXPECT_TRUE(updater.BootSync()) << "the bootloader answers a repeated sync";
}

TEST_F(TrackerOnCom5, ConnectingAgainClosesAndReopensThePort) {
  for (int i = 0; i < 3; ++i) {
    ASSERT_TRUE(testing::PrepareTrackerLine());
    ASSERT_TRUE(Connect()) << "connect " << i;
  }
  updater.ClosePort();
}

// Run alone by the "update" test of CMakeLists.txt, which then compares the
// tracker's memory with the firmware.
TEST_F(TrackerOnCom5, UpdateKeepingTheUserSettings) {
  ASSERT_TRUE(Connect()) << kTrackerHint;
  RecordingView view;
  view.keepUser = true;
  updater.RunUpdate(view);
  EXPECT_EQ(updater.FStage, kStageDone);
  EXPECT_EQ(view.bar(Control::BarWrite), 100);
  EXPECT_EQ(view.bar(Control::BarVerify), 100);
  EXPECT_TRUE(view.isVisible(Control::txtWriteOK));
  EXPECT_FALSE(view.isVisible(Control::txtWriteFail));
  updater.ClosePort();
}

// A port closed in the middle of the update (the window closing) ends it at
// the next block, and nothing more goes to the old handle's value, even when
// Windows has given that value to a new file in the meantime.
TEST_F(TrackerOnCom5, ClosingThePortMidWayEndsTheUpdate) {
  ASSERT_TRUE(Connect()) << kTrackerHint;
  RecordingView view;
  int blocks = 0;
  HANDLE reused = INVALID_HANDLE_VALUE;
  char path[MAX_PATH] = {};
  view.onProcessMessages = [&] {
    if (++blocks != 20) return;
    updater.ClosePort();
    char dir[MAX_PATH];
    ::GetTempPathA(MAX_PATH, dir);
    ::GetTempFileNameA(dir, "tvk", 0, path);
    reused = ::CreateFileA(path, GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
  };
  updater.RunUpdate(view);
  EXPECT_EQ(updater.FStage, kStageNone);
  EXPECT_EQ(view.processed, 20);
  ASSERT_NE(reused, INVALID_HANDLE_VALUE);
  EXPECT_EQ(::GetFileSize(reused, nullptr), 0u);
  ::CloseHandle(reused);
  ::DeleteFileA(path);
}

}  // namespace
}  // namespace tarvik
