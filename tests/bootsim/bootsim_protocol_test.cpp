// The virtual tracker speaks the bootloader protocol as the program expects,
// over a real pty.
#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <vector>

#include "tests/bootsim/bootloader_script.h"
#include "tests/support/bootsim_process.h"
#include "tests/support/serial_peer.h"

namespace tarvik::testing {
namespace {

using namespace script;

BootsimOptions WithTestMemory(BootsimOptions options = {}) {
  options.memoryIn = TestMemory();
  return options;
}

template <typename Case>
std::string CaseName(const ::testing::TestParamInfo<Case>& info) {
  return info.param.name;
}

// --- Get ---------------------------------------------------------------------

struct GetCase {
  std::string name;
  std::vector<std::string> args;
  Bytes reply;
};

void PrintTo(const GetCase& row, std::ostream* out) { *out << row.name; }

class BootsimGet : public ::testing::TestWithParam<GetCase> {};

TEST_P(BootsimGet, RepliesWithVersionAndCommandCodes) {
  BootsimProcess sim({.extraArgs = GetParam().args});
  SerialPeer peer(sim.slavePath());
  Play(peer, {{kSync, kAck}, {kGet, GetParam().reply}}, GetParam().name);
}

INSTANTIATE_TEST_SUITE_P(
    Replies, BootsimGet,
    ::testing::Values(
        GetCase{"Default", {}, kGetReply},
        GetCase{"Version20", {"--version-byte", "0x20"}, {0x79, 0x05, 0x20, 0x00, 0x11, 0x21, 0x31, 0x43, 0x79}},
        GetCase{"SevenCodes", {"--get-count", "7"},
                {0x79, 0x07, 0x10, 0x00, 0x11, 0x21, 0x31, 0x43, 0x63, 0x73, 0x79}},
        GetCase{"EightCodes", {"--get-count", "8"},
                {0x79, 0x08, 0x10, 0x00, 0x11, 0x21, 0x31, 0x43, 0x63, 0x73, 0x82, 0x79}},
        GetCase{"NoCodes", {"--get-count", "0"}, {0x79, 0x00, 0x10, 0x79}}),
    CaseName<GetCase>);

// --- Write then read back --------------------------------------------------------

struct RoundTripCase {
  std::string name;
  std::uint32_t address;
  std::size_t count;
};

void PrintTo(const RoundTripCase& row, std::ostream* out) { *out << row.name; }

class BootsimRoundTrip : public ::testing::TestWithParam<RoundTripCase> {};

TEST_P(BootsimRoundTrip, ReadsBackWhatWasWrittenAndKeepsTheRest) {
  const auto& [name, address, count] = GetParam();
  Bytes expected = TestMemory();
  const Bytes data = Inverted(expected, address, count);
  std::copy(data.begin(), data.end(), expected.begin() + address);

  BootsimProcess sim(WithTestMemory());
  {
    SerialPeer peer(sim.slavePath());
    Play(peer, {{kSync, kAck}}, name);
    ASSERT_TRUE(Write(peer, address, data));
    EXPECT_EQ(Read(peer, address, count), data);
  }
  EXPECT_EQ(sim.stopAndReadMemory(), expected);
}

INSTANTIATE_TEST_SUITE_P(Blocks, BootsimRoundTrip,
                         ::testing::Values(RoundTripCase{"FirstFirmwareBlock", 0x8C00, 128},
                                           RoundTripCase{"LastFirmwareBlock", 0xFE00, 128},
                                           RoundTripCase{"LastBlockOfMemory", 0xFF80, 128},
                                           RoundTripCase{"FirstEepromBlock", 0x1000, 128},
                                           RoundTripCase{"LastEepromBlock", 0x1380, 128},
                                           RoundTripCase{"FewSettingsBytes", 0x1003, 5},
                                           RoundTripCase{"OneByteAtProgramStart", 0x8000, 1}),
                         CaseName<RoundTripCase>);

TEST(BootsimRead, ReadsUpTo256BytesAnywhereInTheAddressSpace) {
  const Bytes memory = TestMemory();
  BootsimProcess sim(WithTestMemory());
  SerialPeer peer(sim.slavePath());
  Play(peer, {{kSync, kAck}}, "sync");
  EXPECT_EQ(Read(peer, 0x0000, 256), Slice(memory, 0x0000, 256));
  EXPECT_EQ(Read(peer, 0xFF00, 256), Slice(memory, 0xFF00, 256));
  EXPECT_EQ(Read(peer, 0x1000, 1), Slice(memory, 0x1000, 1));
}

// --- Refusals ------------------------------------------------------------------

struct RefusalCase {
  std::string name;
  std::vector<Exchange> script;  // after a sync
};

void PrintTo(const RefusalCase& row, std::ostream* out) { *out << row.name; }

class BootsimRefusal : public ::testing::TestWithParam<RefusalCase> {};

TEST_P(BootsimRefusal, AnswersNackChangesNothingAndWaitsForTheNextCommand) {
  BootsimProcess sim(WithTestMemory());
  {
    SerialPeer peer(sim.slavePath());
    Play(peer, {{kSync, kAck}}, "sync");
    Play(peer, GetParam().script, GetParam().name);
    Play(peer, {{kGet, kGetReply}}, GetParam().name + ", then Get");
  }
  EXPECT_EQ(sim.stopAndReadMemory(), TestMemory());
}

std::vector<RefusalCase> RefusalCases() {
  const Bytes memory = TestMemory();
  const Bytes block = Inverted(memory, 0x8C00, 128);
  Bytes badChecksum = DataFrame(block);
  badChecksum.back() ^= 0x01;
  return {
      {"BadComplement", {{{0x31, 0xCD}, kNack}}},
      {"UnknownCommands", {{{0x44, 0xBB}, kNack}, {{0x01, 0xFE}, kNack}, {{0x7F ^ 0xFF, 0x7F}, kNack}}},
      {"ReadAddressChecksum", {{kReadCmd, kAck}, {{0x00, 0x00, 0x8C, 0x00, 0x00}, kNack}}},
      {"ReadOutsideTheDevice", {{kReadCmd, kAck}, {Address(0x10000), kNack}}},
      {"ReadPastTheEnd", {{kReadCmd, kAck}, {Address(0xFFF0), kAck}, {Length(128), kNack}}},
      {"ReadLengthComplement", {{kReadCmd, kAck}, {Address(0x8C00), kAck}, {{0x7F, 0x81}, kNack}}},
      {"WriteAddressChecksum", {{kWriteCmd, kAck}, {{0x00, 0x00, 0x8C, 0x00, 0x00}, kNack}}},
      {"WriteToRam", {{kWriteCmd, kAck}, {Address(0x0800), kNack}}},
      {"WriteBetweenEepromAndFlash", {{kWriteCmd, kAck}, {Address(0x1400), kNack}}},
      {"WriteBelowProgramMemory", {{kWriteCmd, kAck}, {Address(0x7FFF), kNack}}},
      {"WriteOutsideTheDevice", {{kWriteCmd, kAck}, {Address(0x18C00), kNack}}},
      {"WritePastEepromEnd",
       {{kWriteCmd, kAck}, {Address(0x13C0), kAck}, {DataFrame(block), kNack}}},
      {"WritePastMemoryEnd",
       {{kWriteCmd, kAck}, {Address(0xFFC0), kAck}, {DataFrame(block), kNack}}},
      {"Write129Bytes",
       {{kWriteCmd, kAck}, {Address(0x8C00), kAck}, {DataFrame(Inverted(memory, 0x8C00, 129)), kNack}}},
      {"WriteDataChecksum", {{kWriteCmd, kAck}, {Address(0x8C00), kAck}, {badChecksum, kNack}}},
      {"EraseUnknownSector", {{kEraseCmd, kAck}, {{0x00, 0x21, 0x21}, kNack}}},
      {"GoOutsideProgramMemory", {{kGoCmd, kAck}, {Address(0x1000), kNack}}},
  };
}

INSTANTIATE_TEST_SUITE_P(Frames, BootsimRefusal, ::testing::ValuesIn(RefusalCases()), CaseName<RefusalCase>);

// --- Sync ------------------------------------------------------------------------

TEST(BootsimSync, IgnoresEverythingBeforeTheSyncByte) {
  BootsimProcess sim;
  SerialPeer peer(sim.slavePath());
  Play(peer, {{{0x00, 0xFF, 0x11, 0xEE, 0x79, 0x80}, {}}, {kSync, kAck}, {kGet, kGetReply}}, "before sync");
}

TEST(BootsimSync, AnswersEverySyncByteBetweenCommands) {
  BootsimProcess sim;
  SerialPeer peer(sim.slavePath());
  Play(peer, {{kSync, kAck}, {kGet, kGetReply}, {kSync, kAck}, {kSync, kAck}, {kGet, kGetReply}}, "re-sync");
}

TEST(BootsimSync, StrictModeTakesALaterSyncByteAsACommandCode) {
  BootsimProcess sim({.strict = true});
  SerialPeer peer(sim.slavePath());
  // 7F waits for its complement; 80 completes an unknown command.
  Play(peer, {{kSync, kAck}, {kSync, {}}, {{0x80}, kNack}, {kGet, kGetReply}}, "strict");
}

TEST(BootsimSync, AbandonsAHalfSentCommandAfterTheInterByteTimeOut) {
  BootsimProcess sim({.extraArgs = {"--timeout", "50"}});
  SerialPeer peer(sim.slavePath());
  Play(peer, {{kSync, kAck}, {kReadCmd, kAck}, {{0x00, 0x00}, {}}}, "half an address");
  ASSERT_TRUE(sim.waitForLog(
      [](const std::string& log) { return log.find("command abandoned") != std::string::npos; }));
  // Were the command still open, these two bytes would complete its address.
  Play(peer, {{kGet, kGetReply}}, "after the time-out");
}

// --- Erase and Go ----------------------------------------------------------------

TEST(BootsimErase, ErasesTheNamedSectorsToZero) {
  Bytes expected = TestMemory();
  std::fill(expected.begin() + 0x1000, expected.begin() + 0x1400, 0);  // code 0x20: data EEPROM
  std::fill(expected.begin() + 0x8C00, expected.begin() + 0x9000, 0);  // code 0x03: 0x8C00-0x8FFF
  BootsimProcess sim(WithTestMemory());
  {
    SerialPeer peer(sim.slavePath());
    Play(peer, {{kSync, kAck}, {kEraseCmd, kAck}, {{0x01, 0x20, 0x03, 0x01 ^ 0x20 ^ 0x03}, kAck}}, "erase");
  }
  EXPECT_EQ(sim.stopAndReadMemory(), expected);
}

TEST(BootsimErase, GlobalEraseClearsProgramMemoryAndEepromOnly) {
  Bytes expected = TestMemory();
  std::fill(expected.begin() + 0x1000, expected.begin() + 0x1400, 0);
  std::fill(expected.begin() + 0x8000, expected.end(), 0);
  BootsimProcess sim(WithTestMemory());
  {
    SerialPeer peer(sim.slavePath());
    Play(peer, {{kSync, kAck}, {kEraseCmd, kAck}, {{0xFF, 0x00}, kAck}}, "global erase");
  }
  EXPECT_EQ(sim.stopAndReadMemory(), expected);
}

TEST(BootsimGo, StartsTheApplicationAfterWhichTheBootloaderIsSilent) {
  BootsimProcess sim;
  SerialPeer peer(sim.slavePath());
  Play(peer, {{kSync, kAck}, {kGoCmd, kAck}, {Address(0x8C00), kAck}, {kSync, {}}, {kGet, {}}}, "go");
}

}  // namespace
}  // namespace tarvik::testing
