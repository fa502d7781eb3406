// The four bootloader exchanges against a scripted device: the exact bytes
// on the wire, where the replies land and how each command judges them.
#include <gtest/gtest.h>

#include <cstring>
#include <deque>

#include "bootloader_protocol/boot_commands.h"
#include "device_link/transfer_buffers.h"
#include "tests/fakes/fake_serial_api.h"
#include "firmware/firmware_image.h"

namespace tarvik {
namespace {

using Bytes = std::vector<std::uint8_t>;
using testing::FakeSerialApi;

// Replies to the n-th frame written; frames past the script get no reply.
class ScriptedLink : public ::testing::Test {
 protected:
  void SetUp() override {
    BuildFirmwareImage();
    api.onWrite = [this](FakeSerialApi& a, const Bytes&) {
      if (!replies.empty()) {
        a.queue(replies.front());
        replies.pop_front();
      }
    };
    link.FPortOpen = link.OpenPort("COM3");
    ASSERT_TRUE(link.FPortOpen);
  }

  FakeSerialApi api;
  BootloaderLink link{api};
  std::deque<Bytes> replies;
};

TEST_F(ScriptedLink, SyncSendsOneByteAndWantsAck) {
  replies = {{0x79}};
  EXPECT_TRUE(link.BootSync());
  EXPECT_EQ(api.written, Bytes{0x7F});

  replies = {{0x1F}};
  EXPECT_FALSE(link.BootSync());
  replies = {};
  RxBuf[0] = 0x79;
  api.sleeps = 0;
  EXPECT_FALSE(link.BootSync());
  EXPECT_EQ(RxBuf[0], 0x00) << "position 0 is cleared before the sync";
  EXPECT_EQ(api.sleeps, 200u) << "one full wait of 200 tries";
}

TEST_F(ScriptedLink, StaleBytesAreDrainedAndNeverTakenForAReply) {
  api.queue({0x79, 0x79, 0x79});
  replies = {};  // the device says nothing this time
  EXPECT_FALSE(link.BootSync());
  api.queue({0x79, 0x79});
  replies = {{0x79}};
  EXPECT_TRUE(link.BootSync());
  api.queue({0x79});
  replies = {{0x1F}};
  EXPECT_FALSE(link.BootWriteBlock(0x8C00));
}

TEST_F(ScriptedLink, GetRecordsVersionCountAndCommands) {
  struct Row {
    Bytes reply;  // everything after the command frame
    bool ok;
    std::uint8_t count;
    std::uint16_t version;
    Bytes commands;  // expected start of BootCommands
    unsigned frames;
  };
  const Row rows[] = {
      {{0x79, 5, 0x10, 0x00, 0x11, 0x21, 0x31, 0x43, 0x79}, true, 5, 0x10, {0x00, 0x11, 0x21, 0x31, 0x43}, 1},
      {{0x79, 0, 0x22, 0x79}, true, 0, 0x22, {}, 1},
      {{0x79, 7, 0x13, 1, 2, 3, 4, 5, 6, 7, 0x79}, true, 7, 0x13, {1, 2, 3, 4, 5, 6, 7}, 1},
      // N = 8 no longer fits: fails right after N, with the count recorded.
      {{0x79, 8, 0x10, 1, 2, 3, 4, 5, 6, 7, 8, 0x79}, false, 8, 0x13, {}, 1},
      {{0x79, 0xFF}, false, 0xFF, 0x13, {}, 1},
      // A closing byte that is not ACK: the version keeps its earlier value.
      {{0x79, 5, 0x55, 0x00, 0x11, 0x21, 0x31, 0x43, 0x1F}, false, 5, 0x13, {}, 1},
      {{0x1F}, false, 5, 0x13, {}, 1},
      // Fewer bytes than N promised: the wait runs out.
      {{0x79, 5, 0x10, 0x00, 0x11}, false, 5, 0x13, {}, 1},
  };
  for (const auto& row : rows) {
    const auto framesBefore = api.frames.size();
    api.incoming.clear();
    replies = {row.reply};
    EXPECT_EQ(link.BootGet(), row.ok);
    EXPECT_EQ(api.frames.back(), (Bytes{0x00, 0xFF}));
    EXPECT_EQ(api.frames.size() - framesBefore, row.frames) << "nothing more is sent";
    EXPECT_EQ(link.FBootCmdCount, row.count);
    EXPECT_EQ(link.FBootVersion, row.version);
    Bytes commands(BootCommands, BootCommands + kBootCommandsSize);
    Bytes expected = row.commands;
    expected.resize(kBootCommandsSize, 0);
    EXPECT_EQ(commands, expected) << "codes, then zeros";
  }
}

TEST_F(ScriptedLink, WriteBlockSendsTheImageWithItsChecksum) {
  replies = {{0x79}, {0x79}, {0x79}};
  EXPECT_TRUE(link.BootWriteBlock(0x8C00));
  ASSERT_EQ(api.frames.size(), 3u);
  EXPECT_EQ(api.frames[0], (Bytes{0x31, 0xCE}));
  EXPECT_EQ(api.frames[1], (Bytes{0x00, 0x00, 0x8C, 0x00, 0x8C}));
  const Bytes& data = api.frames[2];
  ASSERT_EQ(data.size(), 130u);
  EXPECT_EQ(data[0], 0x7F);
  EXPECT_EQ(Bytes(data.begin() + 1, data.begin() + 129),
            Bytes(FlashImage, FlashImage + 128));
  std::uint8_t checksum = 0x7F;
  for (int i = 0; i < 128; ++i) checksum ^= FlashImage[i];
  EXPECT_EQ(data[129], checksum);
  EXPECT_EQ(RxBuf[0], 0x79);
  EXPECT_EQ(RxBuf[1], 0x79);
  EXPECT_EQ(RxBuf[2], 0x79);
}

TEST_F(ScriptedLink, ChecksumsOfAddressesAndUniformBlocks) {
  struct Row {
    std::uint32_t address;
    Bytes addrFrame;
    std::uint8_t dataChecksum;
  };
  // 0x1400.. and 0xFE80.. are zeros in the image; 0x1100 is firmware data.
  std::uint8_t eepromChecksum = 0x7F;
  for (int i = 0; i < 128; ++i) eepromChecksum ^= FirmwareImage[0x1100 + i];
  const Row rows[] = {
      {0x1100, {0, 0, 0x11, 0x00, 0x11}, eepromChecksum},
      {0xFE80, {0, 0, 0xFE, 0x80, 0x7E}, 0x7F},
      {0x4000, {0, 0, 0x40, 0x00, 0x40}, 0x7F},
  };
  for (const auto& row : rows) {
    api.frames.clear();
    replies = {{0x79}, {0x79}, {0x79}};
    EXPECT_TRUE(link.BootWriteBlock(row.address));
    ASSERT_EQ(api.frames.size(), 3u);
    EXPECT_EQ(api.frames[1], row.addrFrame);
    EXPECT_EQ(api.frames[2].back(), row.dataChecksum);
  }
}

TEST_F(ScriptedLink, WriteBlockStopsAtTheFirstRefusal) {
  struct Row {
    std::deque<Bytes> replies;
    unsigned framesSent;
  };
  const Row rows[] = {
      {{{0x1F}}, 1},
      {{{0x79}, {0x1F}}, 2},  // a wrong reply to the address frame: no data frame
      {{{0x79}, {0x00}}, 2},
      {{{0x79}, {0x79}, {0x1F}}, 3},
      {{{0x79}, {0x79}, {}}, 3},
  };
  for (const auto& row : rows) {
    api.frames.clear();
    api.incoming.clear();
    replies = row.replies;
    EXPECT_FALSE(link.BootWriteBlock(0x8C80));
    EXPECT_EQ(api.frames.size(), row.framesSent);
  }
}

TEST_F(ScriptedLink, WriteBlockRefusesABlockOutsideTheImage) {
  replies = {{0x79}, {0x79}, {0x79}};
  EXPECT_TRUE(link.BootWriteBlock(0xFF80));
  api.frames.clear();
  replies = {{0x79}, {0x79}, {0x79}};
  EXPECT_FALSE(link.BootWriteBlock(0xFF81));
  EXPECT_FALSE(link.BootWriteBlock(0x10000));
  EXPECT_TRUE(api.frames.empty()) << "nothing is sent for an address past 0xFF80";
}

TEST_F(ScriptedLink, ReadBlockLeavesTheDataInRxBuf) {
  Bytes data(128);
  for (int i = 0; i < 128; ++i) data[i] = static_cast<std::uint8_t>(0xC0 ^ i);
  Bytes last{0x79};
  last.insert(last.end(), data.begin(), data.end());
  replies = {{0x79}, {0x79}, last};
  EXPECT_TRUE(link.BootReadBlock(0xFE00));
  ASSERT_EQ(api.frames.size(), 3u);
  EXPECT_EQ(api.frames[0], (Bytes{0x11, 0xEE}));
  EXPECT_EQ(api.frames[1], (Bytes{0x00, 0x00, 0xFE, 0x00, 0xFE}));
  EXPECT_EQ(api.frames[2], (Bytes{0x7F, 0x80}));
  EXPECT_EQ(Bytes(RxBuf + 1, RxBuf + 129), data);
}

TEST_F(ScriptedLink, ReadBlockFailures) {
  Bytes partial{0x79};
  partial.resize(1 + 60, 0xAA);  // ACK and only part of the data
  Bytes refused(129, 0x00);
  refused[0] = 0x1F;
  struct Row {
    std::deque<Bytes> replies;
    unsigned framesSent;
    unsigned sleeps;
  };
  const Row rows[] = {
      {{{0x1F}}, 1, 1},
      {{{0x79}, {0x1F}}, 2, 2},
      {{{0x79}, {0x79}, partial}, 3, 1 + 1 + 500},
      {{{0x79}, {0x79}, refused}, 3, 3},
  };
  for (const auto& row : rows) {
    api.frames.clear();
    api.incoming.clear();
    api.sleeps = 0;
    replies = row.replies;
    EXPECT_FALSE(link.BootReadBlock(0x8C00));
    EXPECT_EQ(api.frames.size(), row.framesSent);
    EXPECT_EQ(api.sleeps, row.sleeps);
  }
}

enum class Command { Sync, Get, Read, Write };

bool RunCommand(BootloaderLink& link, Command command) {
  switch (command) {
    case Command::Sync: return link.BootSync();
    case Command::Get: return link.BootGet();
    case Command::Read: return link.BootReadBlock(0x8C00);
    case Command::Write: return link.BootWriteBlock(0x8C00);
  }
  return false;
}

// Each wait is the only one that runs out, all earlier replies being there
// at the first try: the sleeps counted are the earlier waits' one each plus
// the whole of the wait that ran out.
TEST_F(ScriptedLink, EachWaitRunsOutAfterItsOwnNumberOfTries) {
  Bytes partialBlock{0x79};
  partialBlock.resize(1 + 127, 0x00);  // one data byte short
  struct Row {
    const char* wait;
    Command command;
    std::deque<Bytes> replies;
    unsigned sleeps;
    unsigned framesSent;
  };
  const Row rows[] = {
      {"sync: the reply", Command::Sync, {}, 200, 1},
      {"get: ACK", Command::Get, {}, 200, 1},
      {"get: N", Command::Get, {{0x79}}, 1 + 100, 1},
      {"get: version, codes, ACK", Command::Get, {{0x79, 5, 0x10, 0x00, 0x11, 0x21, 0x31, 0x43}},
       1 + 1 + 100, 1},
      {"read: ACK to the command", Command::Read, {}, 200, 1},
      {"read: ACK to the address", Command::Read, {{0x79}}, 1 + 200, 2},
      {"read: ACK and the 128 bytes", Command::Read, {{0x79}, {0x79}, partialBlock}, 1 + 1 + 500, 3},
      {"write: ACK to the command", Command::Write, {}, 200, 1},
      {"write: ACK to the address", Command::Write, {{0x79}}, 1 + 100, 2},
      {"write: ACK to the data", Command::Write, {{0x79}, {0x79}}, 1 + 1 + 500, 3},
  };
  for (const auto& row : rows) {
    api.frames.clear();
    api.incoming.clear();
    api.sleeps = 0;
    replies = row.replies;
    EXPECT_FALSE(RunCommand(link, row.command)) << row.wait;
    EXPECT_EQ(api.sleeps, row.sleeps) << row.wait;
    EXPECT_EQ(api.frames.size(), row.framesSent) << row.wait;
  }
}

// The wait has seen the whole reply, but the read that follows brings fewer
// bytes (a read error, the bridge pulled out at that moment): the command
// fails there, whatever the buffer still holds from its earlier steps, and
// sends nothing more. Each read of each command, once bringing nothing with
// the call failing and once all but the last byte with the call succeeding.
TEST_F(ScriptedLink, AShortReadAfterASuccessfulWaitFailsTheCommand) {
  Bytes block{0x79};
  block.insert(block.end(), FirmwareImage + 0x8C00, FirmwareImage + 0x8C80);
  struct Read {
    std::uint32_t count;  // bytes asked for
    unsigned framesSent;  // frames written by then
  };
  struct Row {
    Command command;
    std::deque<Bytes> replies;  // a complete, successful conversation
    std::vector<Read> reads;
  };
  const Row rows[] = {
      {Command::Sync, {{0x79}}, {{1, 1}}},
      {Command::Get, {{0x79, 5, 0x10, 0x00, 0x11, 0x21, 0x31, 0x43, 0x79}}, {{1, 1}, {1, 1}, {7, 1}}},
      {Command::Read, {{0x79}, {0x79}, block}, {{1, 1}, {1, 2}, {129, 3}}},
      {Command::Write, {{0x79}, {0x79}, {0x79}}, {{1, 1}, {1, 2}, {1, 3}}},
  };
  for (const auto& row : rows) {
    api.shortRead.reset();
    api.incoming.clear();
    replies = row.replies;
    ASSERT_TRUE(RunCommand(link, row.command)) << "the conversation works without the fault";
    for (std::size_t read = 0; read < row.reads.size(); ++read) {
      for (const bool callFails : {true, false}) {
        SCOPED_TRACE(::testing::Message() << "command " << static_cast<int>(row.command)
                                          << ", read " << read
                                          << (callFails ? ": nothing" : ": all but one byte"));
        const std::size_t cut = api.reads.size() + read;
        api.shortRead = FakeSerialApi::ShortRead{cut, callFails ? 0 : row.reads[read].count - 1,
                                                 callFails};
        api.frames.clear();
        api.incoming.clear();
        replies = row.replies;
        EXPECT_FALSE(RunCommand(link, row.command));
        ASSERT_GT(api.reads.size(), cut);
        EXPECT_EQ(api.reads[cut].count, row.reads[read].count) << "the read that was cut";
        EXPECT_EQ(api.frames.size(), row.reads[read].framesSent) << "nothing sent after it";
      }
    }
  }
}

TEST_F(ScriptedLink, EveryCommandFailsWithoutAnOpenPort) {
  link.FPortOpen = false;
  replies = {{0x79}, {0x79}, {0x79}};
  api.queue({0x79});
  EXPECT_FALSE(link.BootSync());
}

}  // namespace
}  // namespace tarvik
