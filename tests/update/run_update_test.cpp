// The update sequence, headless: phases, bars, indicators and what reaches
// the device, against the in-process bootloader.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <set>

#include "tests/fakes/fake_bootloader.h"
#include "tests/fakes/fake_device_info_api.h"
#include "tests/fakes/recording_view.h"
#include "firmware/firmware_image.h"
#include "update_engine/updater.h"

namespace tarvik {
namespace {

using testing::FakeBootloader;
using testing::FakeDeviceInfoApi;
using testing::FakeSerialApi;
using testing::RecordingView;
using Bytes = std::vector<std::uint8_t>;
using C = Control;

const std::vector<Control> kPage4 = {
    C::lbWrite,    C::BarWrite,    C::lbWriteOn,  C::lbWriteOK,    C::lbWriteErr,
    C::lbVerify,   C::BarVerify,   C::lbVerifyOn, C::lbVerifyOK,   C::lbVerifyErr,
    C::txtWriteOK, C::txtWriteFail, C::ListWriteOK, C::ListWriteFail};

class Update : public ::testing::Test {
 protected:
  void SetUp() override {
    updater.InitUpdaterState();
    for (std::size_t a = 0; a < device.memory.size(); ++a)
      device.memory[a] = static_cast<std::uint8_t>(a * 31 + 7);  // the older content
    before = device.memory;
    updater.ConnectPort("COM3");
    ASSERT_TRUE(updater.FSynced);
    ASSERT_TRUE(updater.BootGet());
    view.onProcessMessages = [this] {
      EXPECT_FALSE(view.enabled[C::btnBACK]);
      EXPECT_FALSE(view.enabled[C::btnNEXT]);
    };
  }

  std::set<Control> shown() const {
    std::set<Control> out;
    for (auto c : kPage4)
      if (view.isVisible(c)) out.insert(c);
    return out;
  }

  FakeSerialApi api;
  FakeDeviceInfoApi devices;
  FakeBootloader device{api};
  Updater updater{api, devices};
  RecordingView view;
  Bytes before;
};

std::vector<int> ExpectedBar() {
  std::vector<int> values{0};
  for (std::uint32_t a = 0x8C80; a <= 0xFE80; a += 0x80)
    values.push_back(static_cast<int>(((a - 0x8C00 + 1) * 100u) / 29219u));
  return values;
}

TEST_F(Update, KeepingUserSettingsWritesEverythingButTheUserArea) {
  updater.RunUpdate(view);
  EXPECT_EQ(updater.FStage, kStageDone);
  EXPECT_EQ(Bytes(device.memory.begin() + 0x8C00, device.memory.begin() + 0xFE24),
            Bytes(FlashImage, FlashImage + kFlashImageSize));
  EXPECT_EQ(Bytes(device.memory.begin() + 0x1100, device.memory.begin() + 0x1400),
            Bytes(EepromImage + 256, EepromImage + 1024));
  EXPECT_EQ(Bytes(device.memory.begin() + 0x1000, device.memory.begin() + 0x1100),
            Bytes(before.begin() + 0x1000, before.begin() + 0x1100));
  EXPECT_EQ(device.writes.size(), 229u + 6u);
  EXPECT_EQ(device.writes[229], 0x1100u);
  EXPECT_EQ(device.reads.size(), 229u);
  EXPECT_EQ(view.processed, 458) << "after every program-memory and verify block, none after";

  const auto bar = ExpectedBar();
  EXPECT_EQ(view.bars[C::BarWrite], bar);
  EXPECT_EQ(view.bars[C::BarVerify], bar);
  EXPECT_EQ(std::vector<int>(bar.begin(), bar.begin() + 6), (std::vector<int>{0, 0, 0, 1, 1, 2}));
  EXPECT_EQ(bar.back(), 100);
  EXPECT_EQ(shown(), (std::set<Control>{C::lbWrite, C::BarWrite, C::lbWriteOK, C::lbVerify,
                                        C::BarVerify, C::lbVerifyOK, C::txtWriteOK,
                                        C::ListWriteOK}));
  EXPECT_TRUE(view.enabled[C::btnBACK]);
  EXPECT_TRUE(view.enabled[C::btnNEXT]);
  EXPECT_TRUE(updater.FPortOpen) << "the update leaves the port open";
  EXPECT_TRUE(updater.FSynced);
}

TEST_F(Update, FactorySettingsWriteTheWholeDataMemory) {
  view.keepUser = false;
  updater.RunUpdate(view);
  EXPECT_EQ(updater.FStage, kStageDone);
  EXPECT_EQ(device.writes.size(), 229u + 8u);
  EXPECT_EQ(Bytes(device.memory.begin() + 0x1000, device.memory.begin() + 0x1400),
            Bytes(EepromImage, EepromImage + 1024));
}

TEST_F(Update, TheBoxIsReadWhenTheDataMemoryPhaseStarts) {
  int blocks = 0;
  view.onProcessMessages = [&] {
    if (++blocks == 300) view.keepUser = false;  // unticked during the verify
  };
  updater.RunUpdate(view);
  EXPECT_EQ(device.writes[229], 0x1000u);
}

struct Outcome {
  const char* name;
  FakeBootloader::Command command;
  std::uint32_t address;
  FakeBootloader::Step step;
  Bytes reply;
  std::uint8_t stage;
  std::set<Control> visible;
  int lastWriteBar;   // -1: not checked
  int lastVerifyBar;  // -1: never set
};

class UpdateOutcome : public Update, public ::testing::WithParamInterface<Outcome> {};

TEST_P(UpdateOutcome, ShowsTheOutcomeAndSendsNothingAfterAFailure) {
  const Outcome& o = GetParam();
  std::size_t framesAtFailure = 0;
  device.fault = [&](FakeBootloader::Command c, std::uint32_t a, FakeBootloader::Step s)
      -> std::optional<Bytes> {
    if (c != o.command || a != o.address || s != o.step) return std::nullopt;
    framesAtFailure = api.frames.size();
    if (o.command == FakeBootloader::Command::Read && o.reply.empty()) {
      Bytes data{0x79};
      for (std::uint32_t i = 0; i < 128; ++i) data.push_back(device.memory[a + i]);
      data[1 + 0x23] ^= 0x01;  // one byte differs, at 0x..23 of the block
      return data;
    }
    return o.reply;
  };
  updater.RunUpdate(view);
  EXPECT_EQ(updater.FStage, o.stage);
  EXPECT_EQ(shown(), o.visible);
  if (o.lastWriteBar >= 0) {
    EXPECT_EQ(view.bar(C::BarWrite), o.lastWriteBar);
  }
  EXPECT_EQ(view.bar(C::BarVerify), o.lastVerifyBar);
  if (o.stage == kStageNone) {
    ASSERT_NE(framesAtFailure, 0u);
    EXPECT_EQ(api.frames.size(), framesAtFailure) << "nothing is sent after the failed exchange";
  }
  EXPECT_TRUE(view.enabled[C::btnBACK]);
  EXPECT_FALSE(view.enabled[C::btnNEXT]) << "no way on to the finish page after a failure";
}

using Cmd = FakeBootloader::Command;
using Step = FakeBootloader::Step;
const std::set<Control> kWriteFailed = {C::lbWrite, C::BarWrite, C::lbWriteErr, C::txtWriteFail,
                                        C::ListWriteFail};
const std::set<Control> kVerifyFailed = {C::lbWrite,     C::BarWrite,    C::lbWriteOK,
                                         C::lbVerify,    C::BarVerify,   C::lbVerifyErr,
                                         C::txtWriteFail, C::ListWriteFail};
const std::set<Control> kDataFailed = {C::lbWrite,     C::BarWrite,     C::lbWriteErr,
                                       C::lbVerify,    C::BarVerify,    C::lbVerifyOK,
                                       C::txtWriteFail, C::ListWriteFail};
const std::set<Control> kSuccess = {C::lbWrite,    C::BarWrite,  C::lbWriteOK, C::lbVerify,
                                    C::BarVerify,  C::lbVerifyOK, C::txtWriteOK, C::ListWriteOK};

INSTANTIATE_TEST_SUITE_P(
    Table, UpdateOutcome,
    ::testing::Values(
        Outcome{"FirstWriteBlock", Cmd::Write, 0x8C00, Step::Data, {0x1F}, 0, kWriteFailed, 0, -1},
        Outcome{"MiddleWriteBlock", Cmd::Write, 0xA000, Step::Address, {0x1F}, 0, kWriteFailed,
                static_cast<int>(((0xA000 - 0x8C00 + 1) * 100u) / 29219u), -1},
        Outcome{"LastWriteBlock", Cmd::Write, 0xFE00, Step::Data, {}, 0, kWriteFailed, 99, -1},
        Outcome{"ReadRefused", Cmd::Read, 0x9000, Step::Address, {0x1F}, 0, kVerifyFailed, 100,
                static_cast<int>(((0x9000 - 0x8C00 + 1) * 100u) / 29219u)},
        Outcome{"DifferenceAtTheLastImageByte", Cmd::Read, 0xFE00, Step::Data, {}, 0,
                kVerifyFailed, 100, 99},
        Outcome{"DataMemoryBlock", Cmd::Write, 0x1200, Step::Data, {0x00}, 0, kDataFailed, 100,
                100},
        Outcome{"DifferenceInsideTheImage", Cmd::Read, 0xC000, Step::Data, {}, 0, kVerifyFailed,
                100, static_cast<int>(((0xC000 - 0x8C00 + 1) * 100u) / 29219u)}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(Update, TheWindowAnswersWhileTheWriteAndTheVerifyWaitButNotWhileTheDataMemoryIsWritten) {
  api.replyAfterSleeps = 4 * kTriesPerWaitHook;  // a tracker at the line's pace
  std::map<std::uint8_t, int> processed;
  unsigned sleepsAtLast = api.sleeps, longestGap = 0;
  view.onProcessMessages = [&] {
    ++processed[updater.FStage];
    longestGap = std::max(longestGap, api.sleeps - sleepsAtLast);
    sleepsAtLast = api.sleeps;
  };
  updater.RunUpdate(view);
  ASSERT_EQ(updater.FStage, kStageDone);
  EXPECT_LE(longestGap, kTriesPerWaitHook + 1)
      << "tries without an answer, and the one that sees it, with the window deaf";
  EXPECT_GT(processed[kStageWriteFlash], 229 * 3);
  EXPECT_GT(processed[kStageVerify], 229 * 3);
  EXPECT_EQ(processed.count(kStageWriteEeprom), 0u);
  EXPECT_GE(api.sleeps - sleepsAtLast, 6u * 3 * 4 * kTriesPerWaitHook)
      << "the data-memory blocks were waited for, with nothing let through";

  const int total = view.processed;
  ASSERT_TRUE(updater.BootGet());
  EXPECT_EQ(view.processed, total) << "the connection's waits stay as they were";
}

struct CloseInAWait {
  const char* name;
  std::uint8_t stage;
  std::set<Control> visible;
};

class UpdateClosedInAWait : public Update, public ::testing::WithParamInterface<CloseInAWait> {};

TEST_P(UpdateClosedInAWait, FailsAtOnceAndTouchesThePortNoMore) {
  api.replyAfterSleeps = 4 * kTriesPerWaitHook;
  std::size_t callsAtClose = 0;
  unsigned sleepsAtClose = 0;
  int blocks = 0;
  view.onProcessMessages = [&] {
    if (updater.FStage != GetParam().stage || !updater.FPortOpen) return;
    if (!api.replyPending()) {
      ++blocks;
      return;
    }
    if (blocks < 20) return;
    updater.ClosePort();  // Cancel, with the tracker's answer still to come
    callsAtClose = api.calls.size();
    sleepsAtClose = api.sleeps;
  };
  updater.RunUpdate(view);
  ASSERT_NE(callsAtClose, 0u);
  EXPECT_EQ(updater.FStage, kStageNone);
  EXPECT_EQ(shown(), GetParam().visible);
  EXPECT_EQ(api.calls.size(), callsAtClose) << "no call after the close";
  EXPECT_EQ(api.sleeps, sleepsAtClose) << "not one more try";
  EXPECT_EQ(api.closed.size(), 1u);
}

INSTANTIATE_TEST_SUITE_P(Table, UpdateClosedInAWait,
                         ::testing::Values(CloseInAWait{"Writing", kStageWriteFlash, kWriteFailed},
                                           CloseInAWait{"Verifying", kStageVerify, kVerifyFailed}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(Update, DifferencesPastTheImageInTheLastBlockAreIgnored) {
  device.fault = [&](Cmd c, std::uint32_t a, Step s) -> std::optional<Bytes> {
    if (c != Cmd::Read || a != 0xFE00 || s != Step::Data) return std::nullopt;
    Bytes data{0x79};
    for (std::uint32_t i = 0; i < 128; ++i) data.push_back(device.memory[a + i]);
    for (std::uint32_t i = 0x24; i < 0x80; ++i) data[1 + i] = 0xFF;  // 0xFE24..0xFE7F
    return data;
  };
  updater.RunUpdate(view);
  EXPECT_EQ(updater.FStage, kStageDone);
}

TEST_F(Update, WithoutSyncNothingChanges) {
  updater.FSynced = false;
  updater.FStage = kStageRequested;
  const auto frames = api.frames.size();
  updater.RunUpdate(view);
  EXPECT_EQ(updater.FStage, kStageRequested);
  EXPECT_TRUE(view.visible.empty());
  EXPECT_TRUE(view.enabled.empty());
  EXPECT_TRUE(view.bars.empty());
  EXPECT_EQ(api.frames.size(), frames);
}

TEST_F(Update, ClosingThePortMidWayFailsTheNextBlockAndSendsNothingMore) {
  int blocks = 0;
  std::size_t framesAtClose = 0;
  view.onProcessMessages = [&] {
    if (++blocks == 10) {  // Cancel pressed: the close handler closes the port
      updater.ClosePort();
      framesAtClose = api.frames.size();
    }
  };
  updater.RunUpdate(view);
  EXPECT_EQ(updater.FStage, kStageNone);
  EXPECT_EQ(api.frames.size(), framesAtClose);
  EXPECT_EQ(api.closed.size(), 1u);
  EXPECT_EQ(shown(), kWriteFailed);
  EXPECT_EQ(device.writes.size(), 10u);
}

}  // namespace
}  // namespace tarvik
