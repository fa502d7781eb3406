// Injected faults (--fault, --flip) change exactly the reply they name.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <ostream>
#include <string>
#include <vector>

#include "tests/bootsim/bootloader_script.h"
#include "tests/support/bootsim_process.h"
#include "tests/support/serial_peer.h"

namespace tarvik::testing {
namespace {

using namespace script;
using namespace std::chrono_literals;

struct FaultCase {
  std::string name;
  std::vector<std::string> faults;
  std::vector<Exchange> script;
};

void PrintTo(const FaultCase& row, std::ostream* out) { *out << row.name; }

class BootsimFault : public ::testing::TestWithParam<FaultCase> {};

TEST_P(BootsimFault, ChangesOnlyTheNamedReply) {
  BootsimOptions options;
  options.faults = GetParam().faults;
  options.memoryIn = TestMemory();
  BootsimProcess sim(options);
  SerialPeer peer(sim.slavePath());
  Play(peer, GetParam().script, GetParam().name);
}

std::vector<FaultCase> FaultCases() {
  const Bytes memory = TestMemory();
  const Bytes data = Slice(memory, 0x8C00, 128);
  const Bytes readReply = Cat({kAck, data});
  const Bytes writeData = DataFrame(Inverted(memory, 0x8C00, 128));
  const Exchange sync{kSync, kAck};
  const Exchange readCmd{kReadCmd, kAck};
  const Exchange writeCmd{kWriteCmd, kAck};
  const Exchange address{Address(0x8C00), kAck};
  const Exchange length{Length(128), readReply};
  const Exchange write{writeData, kAck};
  const Bytes getList{0x05, 0x10, 0x00, 0x11, 0x21, 0x31, 0x43};

  return {
      {"NoReplyToFirstSync", {"noreply:sync#1"}, {{kSync, {}}, {kGet, {}}, sync, {kGet, kGetReply}}},
      {"NackToSyncLeavesDeviceUnsynced", {"nack:sync#1"}, {{kSync, kNack}, {kGet, {}}, sync, {kGet, kGetReply}}},
      {"WrongReplyToSecondSync", {"wrong:sync#2"}, {sync, {kSync, {0x78}}, sync}},
      {"NoiseBeforeSyncReply", {"noise:sync#1"}, {{kSync, Cat({kJunk, kAck})}, {kGet, kGetReply}}},
      {"StaleBytesAfterSyncReply", {"stale:sync#1"}, {{kSync, Cat({kAck, kJunk})}, {kGet, kGetReply}}},
      {"NackToGetCommand", {"nack:get#1/cmd"}, {sync, {kGet, kNack}, {kGet, kGetReply}}},
      {"NoReplyToGetList", {"noreply:get#2/data"}, {sync, {kGet, kGetReply}, {kGet, kAck}}},
      {"WrongClosingByteOfGet", {"wrong:get#1"}, {sync, {kGet, Cat({kAck, getList, {0x78}})}}},
      {"NackClosingByteOfGet", {"nack:get#1"}, {sync, {kGet, Cat({kAck, getList, kNack})}}},
      {"PartialGetList", {"partial:get#1"}, {sync, {kGet, {0x79, 0x05, 0x10, 0x00, 0x11}}}},
      {"NackToReadCommand", {"nack:read#1/cmd"}, {sync, {kReadCmd, kNack}, readCmd}},
      {"NackToReadAddressAtThatAddressOnly",
       {"nack:read@0x8C00/addr"},
       {sync, readCmd, {Address(0x8C00), kNack}, readCmd, {Address(0x8C80), kAck}}},
      {"NoiseBeforeReadAddressReply",
       {"noise:read#1/addr"},
       {sync, readCmd, {Address(0x8C00), Cat({kJunk, kAck})}, length}},
      {"NoReplyToReadLength", {"noreply:read#1"}, {sync, readCmd, address, {Length(128), {}}, {kGet, kGetReply}}},
      {"NackToReadLengthSendsNoData", {"nack:read#1/data"}, {sync, readCmd, address, {Length(128), kNack}}},
      {"WrongAckBeforeReadData", {"wrong:read@8C00"}, {sync, readCmd, address, {Length(128), Cat({{0x78}, data})}}},
      {"PartialReadData",
       {"partial:read#1"},
       {sync, readCmd, address, {Length(128), Slice(readReply, 0, 65)}}},
      {"SecondReadAtAddressOnly",
       {"nack:read@8C00#2"},
       {sync, readCmd, address, length, readCmd, address, {Length(128), kNack}, readCmd, address, length}},
      {"NackToWriteCommand", {"nack:write#1/cmd"}, {sync, {kWriteCmd, kNack}, writeCmd}},
      {"WrongReplyToWriteAddress", {"wrong:write#1/addr"}, {sync, writeCmd, {Address(0x8C00), {0x78}}}},
      {"NoReplyToSecondWriteData", {"noreply:write#2"}, {sync, writeCmd, address, write, writeCmd, address, {writeData, {}}}},
      {"StaleBytesAfterWriteAck", {"stale:write#1"}, {sync, writeCmd, address, {writeData, Cat({kAck, kJunk})}}},
      {"EveryWriteNacked", {"nack:write"}, {sync, writeCmd, address, {writeData, kNack}, writeCmd, address, {writeData, kNack}}},
      {"NoiseAndNackOnOneReply", {"noise:write#1", "nack:write#1"}, {sync, writeCmd, address, {writeData, Cat({kJunk, kNack})}}},
  };
}

INSTANTIATE_TEST_SUITE_P(Kinds, BootsimFault, ::testing::ValuesIn(FaultCases()),
                         [](const auto& info) { return info.param.name; });

TEST(BootsimFault, WriteDataFaultsActAfterTheBlockIsProgrammed) {
  Bytes expected = TestMemory();
  const Bytes block = Inverted(expected, 0x8C00, 128);
  std::copy(block.begin(), block.end(), expected.begin() + 0x8C00);
  BootsimOptions options;
  options.faults = {"noreply:write#1"};
  options.memoryIn = TestMemory();
  BootsimProcess sim(options);
  {
    SerialPeer peer(sim.slavePath());
    Play(peer, {{kSync, kAck}, {kWriteCmd, kAck}, {Address(0x8C00), kAck}, {DataFrame(block), {}}}, "lost ACK");
  }
  EXPECT_EQ(sim.stopAndReadMemory(), expected);
}

struct HangUpCase {
  std::string name;
  std::string fault;
  std::vector<Exchange> before;  // answered normally
  Bytes trigger;                 // the frame whose reply becomes the hang-up
};

void PrintTo(const HangUpCase& row, std::ostream* out) { *out << row.name; }

class BootsimHangUp : public ::testing::TestWithParam<HangUpCase> {};

TEST_P(BootsimHangUp, DropsTheLineLikeAnUnplugAndKeepsTheMemory) {
  BootsimOptions options;
  options.faults = {GetParam().fault};
  options.memoryIn = TestMemory();
  BootsimProcess sim(options);
  SerialPeer peer(sim.slavePath());
  Play(peer, GetParam().before, GetParam().name);
  peer.send(GetParam().trigger);
  EXPECT_TRUE(peer.hungUp(2000ms));
  const std::uint8_t byte = 0x7F;
  EXPECT_EQ(::write(peer.fd(), &byte, 1), -1);
  EXPECT_EQ(errno, EIO);
  EXPECT_EQ(sim.stopAndReadMemory().size(), 0x10000u);
}

INSTANTIATE_TEST_SUITE_P(
    Points, BootsimHangUp,
    ::testing::Values(HangUpCase{"AtSync", "hangup:sync#1", {}, kSync},
                      HangUpCase{"AtReadAddress", "hangup:read@8C00/addr", {{kSync, kAck}, {kReadCmd, kAck}},
                                 Address(0x8C00)}),
    [](const auto& info) { return info.param.name; });

TEST(BootsimFlip, ReadBackDiffersAtTheFlippedAddressOnlyWhileMemoryStaysRight) {
  const Bytes memory = TestMemory();
  BootsimOptions options;
  options.flips = {0x8C05, 0x1000};
  options.memoryIn = memory;
  BootsimProcess sim(options);
  {
    SerialPeer peer(sim.slavePath());
    Play(peer, {{kSync, kAck}}, "sync");
    Bytes expected = Slice(memory, 0x8C00, 128);
    expected[5] ^= 0xFF;
    EXPECT_EQ(Read(peer, 0x8C00, 128), expected);
    EXPECT_EQ(Read(peer, 0x8C80, 128), Slice(memory, 0x8C80, 128));
    EXPECT_EQ(Read(peer, 0x1000, 1), Bytes{static_cast<std::uint8_t>(~memory[0x1000])});
  }
  EXPECT_EQ(sim.stopAndReadMemory(), memory);
  EXPECT_NE(sim.log().find("0x8C05"), std::string::npos);
}

}  // namespace
}  // namespace tarvik::testing
