// The real serial layer, bootloader commands and update sequence against
// the virtual tracker through a pseudo-terminal (no line pacing, so fast).
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <functional>

#include "device_link/serial_api_posix.h"
#include "device_link/transfer_buffers.h"
#include "tests/fakes/fake_device_info_api.h"
#include "tests/fakes/recording_view.h"
#include "tests/support/bootsim_process.h"
#include "firmware/firmware_image.h"
#include "update_engine/updater.h"

namespace tarvik {
namespace {

using testing::BootsimOptions;
using testing::BootsimProcess;
using testing::BuiltInInitialMemory;
using testing::FakeDeviceInfoApi;
using testing::RecordingView;
using Bytes = std::vector<std::uint8_t>;

Bytes Slice(const Bytes& memory, std::uint32_t from, std::uint32_t to) {
  return Bytes(memory.begin() + from, memory.begin() + to + 1);
}

// The simulator has dealt with the faulty step: the fault is noted and what
// it still sends (all but silence sends something) has gone out.
bool FaultAnswered(const BootsimProcess& sim, const std::string& fault) {
  return sim.waitForLog([&](const std::string& log) {
    const auto note = log.find("fault " + fault);
    return note != std::string::npos &&
           (fault.starts_with("noreply") || log.find(" > ", note) != std::string::npos);
  });
}

// The real serial layer, with the bridge pulled out at the worst moment of
// one Read Memory: after a wait has seen the whole reply (the ACK and the 128
// bytes) waiting, before the read that should fetch it.
class UnplugOnceTheBlockIsWaiting : public SerialApi {
 public:
  UnplugOnceTheBlockIsWaiting(SerialApi& real, std::uint32_t block, std::function<void()> unplug)
      : real_(real),
        addressFrame_{0, 0, static_cast<std::uint8_t>(block >> 8), static_cast<std::uint8_t>(block),
                      static_cast<std::uint8_t>((block >> 8) ^ (block & 0xFF))},
        unplug_(std::move(unplug)) {}

  bool unplugged = false;

  PortHandle createFile(const std::string& path, std::uint32_t access, std::uint32_t share,
                        std::uint32_t creation, std::uint32_t attributes) override {
    return real_.createFile(path, access, share, creation, attributes);
  }
  bool setupComm(PortHandle h, std::uint32_t in, std::uint32_t out) override {
    return real_.setupComm(h, in, out);
  }
  bool getCommState(PortHandle h, Dcb& dcb) override { return real_.getCommState(h, dcb); }
  bool setCommState(PortHandle h, const Dcb& dcb) override { return real_.setCommState(h, dcb); }
  bool getCommTimeouts(PortHandle h, CommTimeouts& t) override { return real_.getCommTimeouts(h, t); }
  bool setCommTimeouts(PortHandle h, const CommTimeouts& t) override {
    return real_.setCommTimeouts(h, t);
  }
  bool setCommMask(PortHandle h, std::uint32_t mask) override { return real_.setCommMask(h, mask); }
  bool clearCommError(PortHandle h, std::uint32_t& errors, ComStat& stat) override {
    const bool ok = real_.clearCommError(h, errors, stat);
    if (ok && step_ == Step::LengthSent && stat.cbInQue >= 1 + kBlockBytes) {
      unplug_();  // returns once the line is down
      unplugged = true;
      step_ = Step::Done;
    }
    return ok;
  }
  bool readFile(PortHandle h, void* buffer, std::uint32_t count, std::uint32_t& read) override {
    return real_.readFile(h, buffer, count, read);
  }
  bool writeFile(PortHandle h, const void* buffer, std::uint32_t count,
                 std::uint32_t& written) override {
    const auto* bytes = static_cast<const std::uint8_t*>(buffer);
    const Bytes frame(bytes, bytes + count);
    if (step_ != Step::Done) {
      if (frame == addressFrame_) step_ = Step::AddressSent;
      else if (step_ == Step::AddressSent && frame == Bytes{0x7F, 0x80}) step_ = Step::LengthSent;
      else step_ = Step::Waiting;
    }
    return real_.writeFile(h, buffer, count, written);
  }
  bool closeHandle(PortHandle h) override { return real_.closeHandle(h); }
  void sleep(std::uint32_t milliseconds) override { real_.sleep(milliseconds); }

 private:
  enum class Step { Waiting, AddressSent, LengthSent, Done };
  SerialApi& real_;
  const Bytes addressFrame_;
  std::function<void()> unplug_;
  Step step_ = Step::Waiting;
};

// One simulator, an updater whose "COM40" is the simulator's pty.
class VirtualTracker {
 public:
  explicit VirtualTracker(BootsimOptions options = {})
      : sim(std::move(options)),
        serial([this](std::string_view name) -> std::optional<std::string> {
          if (name == "COM40") return sim.slavePath();
          return std::nullopt;
        }),
        updater(serial, devices) {
    updater.InitUpdaterState();
  }
  bool connect() {
    updater.ConnectPort("COM40");
    if (updater.FSynced) updater.FSynced = updater.BootGet();
    return updater.FSynced;
  }

  BootsimProcess sim;
  PosixSerialApi serial;
  FakeDeviceInfoApi devices;
  Updater updater;
};

TEST(VirtualTrackerLink, SyncGetWriteAndReadBack) {
  VirtualTracker t;
  ASSERT_TRUE(t.connect()) << t.sim.errors();
  EXPECT_EQ(t.updater.FBootVersion, 0x10);
  EXPECT_EQ(t.updater.FBootCmdCount, 5);
  EXPECT_EQ(Bytes(BootCommands, BootCommands + 6), (Bytes{0x00, 0x11, 0x21, 0x31, 0x43, 0x00}));
  ASSERT_TRUE(t.updater.BootWriteBlock(0x8C00));
  ASSERT_TRUE(t.updater.BootReadBlock(0x8C00));
  EXPECT_EQ(Bytes(RxBuf + 1, RxBuf + 129), Bytes(FlashImage, FlashImage + 128));
  ASSERT_TRUE(t.updater.BootReadBlock(0xFE00));
  EXPECT_TRUE(t.updater.BootSync()) << "the tracker's bootloader answers a repeated sync";
  const auto memory = t.sim.stopAndReadMemory();
  EXPECT_EQ(Slice(memory, 0x8C00, 0x8C7F), Bytes(FlashImage, FlashImage + 128));
}

TEST(VirtualTrackerLink, ReconnectingToTheSamePortWorks) {
  VirtualTracker t;
  for (int i = 0; i < 5; ++i) ASSERT_TRUE(t.connect()) << "connect " << i;
}

TEST(VirtualTrackerLink, FaultsEndTheCommandWithFalse) {
  struct Row {
    const char* fault;
    int command;  // 0 sync, 1 get, 2 read, 3 write
  };
  const Row rows[] = {
      {"partial:read#1/data", 2}, {"nack:write#1/addr", 3}, {"wrong:write#1/data", 3},
      {"noreply:read#1/addr", 2}, {"nack:get#1/cmd", 1},    {"noreply:write#1/data", 3},
  };
  for (const auto& row : rows) {
    BootsimOptions options;
    options.faults = {row.fault};
    VirtualTracker t(options);
    t.updater.ConnectPort("COM40");
    ASSERT_TRUE(t.updater.FSynced) << row.fault;
    bool ok = true;
    switch (row.command) {
      case 1: ok = t.updater.BootGet(); break;
      case 2: ok = t.updater.BootReadBlock(0x8C00); break;
      default: ok = t.updater.BootWriteBlock(0x8C00); break;
    }
    EXPECT_FALSE(ok) << row.fault;
    // The next command drains what the failed one left and works again.
    if (row.command != 1) {
      ASSERT_TRUE(FaultAnswered(t.sim, row.fault)) << row.fault;
      EXPECT_TRUE(t.updater.BootReadBlock(0x9000)) << "after " << row.fault;
    }
  }
}

TEST(VirtualTrackerLink, StaleBytesAreNotTakenForAReply) {
  BootsimOptions options;
  options.faults = {"stale:write#1"};
  VirtualTracker t(options);
  ASSERT_TRUE(t.connect());
  EXPECT_TRUE(t.updater.BootWriteBlock(0x8C00));
  ASSERT_TRUE(FaultAnswered(t.sim, "stale:write#1"));
  EXPECT_TRUE(t.updater.BootReadBlock(0x8C00));
  EXPECT_EQ(RxBuf[0], kAck);
  EXPECT_EQ(Bytes(RxBuf + 1, RxBuf + 129), Bytes(FlashImage, FlashImage + 128));
}

TEST(VirtualTrackerUpdate, KeepsTheUserSettingsWhenTicked) {
  VirtualTracker t;
  ASSERT_TRUE(t.connect());
  RecordingView view;
  t.updater.RunUpdate(view);
  EXPECT_EQ(t.updater.FStage, kStageDone);
  const auto before = BuiltInInitialMemory();
  const auto after = t.sim.stopAndReadMemory();
  EXPECT_EQ(Slice(after, 0x8C00, 0xFE23), Bytes(FlashImage, FlashImage + kFlashImageSize));
  EXPECT_EQ(Slice(after, 0x1100, 0x13FF), Bytes(EepromImage + 256, EepromImage + 1024));
  EXPECT_EQ(Slice(after, 0x1000, 0x10FF), Slice(before, 0x1000, 0x10FF));
  EXPECT_EQ(Slice(after, 0x0000, 0x0FFF), Slice(before, 0x0000, 0x0FFF));
  EXPECT_EQ(Slice(after, 0x8000, 0x8BFF), Slice(before, 0x8000, 0x8BFF));
}

TEST(VirtualTrackerUpdate, WritesFactorySettingsWhenUnticked) {
  VirtualTracker t;
  ASSERT_TRUE(t.connect());
  RecordingView view;
  view.keepUser = false;
  t.updater.RunUpdate(view);
  EXPECT_EQ(t.updater.FStage, kStageDone);
  const auto after = t.sim.stopAndReadMemory();
  EXPECT_EQ(Slice(after, 0x1000, 0x13FF), Bytes(EepromImage, EepromImage + 1024));
}

TEST(VirtualTrackerUpdate, VerifyCatchesADifferenceAtTheLastImageByteOnly) {
  for (const auto& [flip, stage] :
       std::vector<std::pair<std::uint32_t, std::uint8_t>>{{0xFE23, 0}, {0xFE24, 5}, {0xFE7F, 5}}) {
    BootsimOptions options;
    options.flips = {flip};
    VirtualTracker t(options);
    ASSERT_TRUE(t.connect());
    RecordingView view;
    t.updater.RunUpdate(view);
    EXPECT_EQ(t.updater.FStage, stage) << std::hex << flip;
  }
}

TEST(VirtualTrackerUpdate, NothingReachesTheDeviceAfterAFailedBlock) {
  BootsimOptions options;
  options.faults = {"nack:write@0x9000/data"};
  VirtualTracker t(options);
  ASSERT_TRUE(t.connect());
  RecordingView view;
  t.updater.RunUpdate(view);
  EXPECT_EQ(t.updater.FStage, kStageNone);
  // A sync byte after the update: once it is answered, the simulator has
  // read, and logged, everything the program sent before it.
  ASSERT_TRUE(t.updater.BootSync());
  const std::string log = t.sim.log();
  const auto failed = log.find("00 00 90 00 90");
  const auto marker = log.rfind(" < 7F");
  ASSERT_NE(failed, std::string::npos);
  ASSERT_NE(marker, std::string::npos);
  const std::string after = log.substr(failed, marker - failed);
  EXPECT_EQ(after.find("31 CE"), std::string::npos) << "no further Write Memory";
  EXPECT_EQ(after.find("11 EE"), std::string::npos) << "no Read Memory";
}

TEST(VirtualTrackerUpdate, CancelClosesThePortAndTheNextBlockFails) {
  VirtualTracker t;
  ASSERT_TRUE(t.connect());
  RecordingView view;
  int blocks = 0;
  int reused = -1;
  view.onProcessMessages = [&] {
    if (++blocks != 20) return;
    const int fd = static_cast<int>(t.updater.FPortHandle);
    t.updater.ClosePort();  // what the window's close handler does
    // Another file takes the number at once; the update must not write to it.
    char path[] = "/tmp/tarvik-reuse-XXXXXX";
    reused = ::mkstemp(path);
    ::unlink(path);
    EXPECT_EQ(reused, fd);
  };
  t.updater.RunUpdate(view);
  EXPECT_EQ(t.updater.FStage, kStageNone);
  EXPECT_EQ(view.processed, 20);
  struct stat st {};
  ASSERT_EQ(::fstat(reused, &st), 0);
  EXPECT_EQ(st.st_size, 0);
  ::close(reused);
  const auto memory = t.sim.stopAndReadMemory();
  const std::uint32_t firstUnwritten = 0x8C00 + 20 * 0x80;
  EXPECT_NE(Slice(memory, firstUnwritten, firstUnwritten + 0x7F),
            Bytes(FlashImage + 20 * 0x80, FlashImage + 21 * 0x80));
}

TEST(VirtualTrackerUpdate, UnplugDuringTheUpdateFailsTheNextBlock) {
  VirtualTracker t;
  ASSERT_TRUE(t.connect());
  RecordingView view;
  int blocks = 0;
  view.onProcessMessages = [&] {
    if (++blocks == 5) t.sim.hangUp();
  };
  t.updater.RunUpdate(view);
  EXPECT_EQ(t.updater.FStage, kStageNone);
  EXPECT_TRUE(view.isVisible(Control::lbWriteErr));
  EXPECT_TRUE(t.updater.FPortOpen) << "the port is closed later, by the idle step";
}

// A run of zeros in the firmware (padding, say) makes the blocks at 0x9000 and
// 0x9080 equal. The bridge is pulled out once the reply to the Read Memory of
// 0x9080 is waiting and before it is read: the read brings nothing, and what
// the buffer holds from the step before must not pass for that block.
TEST(VirtualTrackerUpdate, UnplugBeforeTheReadOfABlockEqualToTheLastFailsTheVerifyThere) {
  BootsimProcess sim;
  PosixSerialApi serial([&sim](std::string_view name) -> std::optional<std::string> {
    if (name == "COM40") return sim.slavePath();
    return std::nullopt;
  });
  UnplugOnceTheBlockIsWaiting line(serial, 0x9080, [&sim] { sim.hangUp(); });
  FakeDeviceInfoApi devices;
  Updater updater(line, devices);
  updater.InitUpdaterState();
  struct RestoreImage {
    ~RestoreImage() { BuildFirmwareImage(); }
  } restore;
  std::fill(FirmwareImage + 0x9000, FirmwareImage + 0x9100, std::uint8_t{0});

  updater.ConnectPort("COM40");
  ASSERT_TRUE(updater.FSynced) << sim.errors();
  ASSERT_TRUE(updater.BootGet());
  RecordingView view;
  updater.RunUpdate(view);

  ASSERT_TRUE(line.unplugged) << "the verify reached 0x9080";
  EXPECT_EQ(updater.FStage, kStageNone);
  EXPECT_TRUE(view.isVisible(Control::lbVerifyErr));
  EXPECT_FALSE(view.isVisible(Control::lbVerifyOK));
  EXPECT_EQ(updater.FAddress, 0x9080u + 0x80) << "the verify failed at 0x9080, not at a later block";
}

}  // namespace
}  // namespace tarvik
