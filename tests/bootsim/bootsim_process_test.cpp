// The simulator as a process: command line, memory in and out, hang-up, the
// --link symlink, the frame log and line pacing.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <filesystem>
#include <regex>
#include <sstream>
#include <stdexcept>
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
using Clock = std::chrono::steady_clock;

struct BadCommandLine {
  std::string name;
  std::vector<std::string> faults;
  std::vector<std::string> args;
  Bytes memoryIn;
};

void PrintTo(const BadCommandLine& row, std::ostream* out) { *out << row.name; }

class BootsimRejects : public ::testing::TestWithParam<BadCommandLine> {};

TEST_P(BootsimRejects, RefusesToStart) {
  BootsimOptions options;
  options.faults = GetParam().faults;
  options.extraArgs = GetParam().args;
  options.memoryIn = GetParam().memoryIn;
  EXPECT_THROW(BootsimProcess{options}, std::runtime_error);
}

INSTANTIATE_TEST_SUITE_P(
    CommandLines, BootsimRejects,
    ::testing::Values(BadCommandLine{"UnknownFaultKind", {"garble:read#1"}, {}, {}},
                      BadCommandLine{"UnknownCommand", {"nack:erase#1"}, {}, {}},
                      BadCommandLine{"NoCommand", {"nack"}, {}, {}},
                      BadCommandLine{"OrdinalZero", {"nack:read#0"}, {}, {}},
                      BadCommandLine{"OrdinalNotANumber", {"nack:read#x"}, {}, {}},
                      BadCommandLine{"AddressNotHex", {"nack:read@8C0G"}, {}, {}},
                      BadCommandLine{"AddressOnGet", {"nack:get@1000"}, {}, {}},
                      BadCommandLine{"AddressAtCmdStep", {"nack:write@1000/cmd"}, {}, {}},
                      BadCommandLine{"SyncHasNoDataStep", {"nack:sync#1/data"}, {}, {}},
                      BadCommandLine{"GetHasNoAddrStep", {"nack:get#1/addr"}, {}, {}},
                      BadCommandLine{"PartialWrite", {"partial:write#1"}, {}, {}},
                      BadCommandLine{"PartialAddress", {"partial:read#1/addr"}, {}, {}},
                      BadCommandLine{"UnknownOption", {}, {"--colour"}, {}},
                      BadCommandLine{"BaudNotANumber", {}, {"--baud", "fast"}, {}},
                      BadCommandLine{"FlipOutsideMemory", {}, {"--flip", "10000"}, {}},
                      BadCommandLine{"ShortMemoryImage", {}, {}, Bytes(65535, 0)},
                      BadCommandLine{"LongMemoryImage", {}, {}, Bytes(65537, 0)}),
    [](const auto& info) { return info.param.name; });

TEST(BootsimMemory, BuiltInImageIsOlderFirmwareWithUserSettings) {
  const Bytes memory = BuiltInInitialMemory();
  ASSERT_EQ(memory.size(), 0x10000u);
  const std::string settings(memory.begin() + 0x1000, memory.begin() + 0x1100);
  EXPECT_EQ(settings.substr(0, 4), "MODE");
  EXPECT_NE(settings.find("+79991234567"), std::string::npos);
  EXPECT_NE(settings.find("PASS"), std::string::npos);
  EXPECT_NE(memory[0x8C00], 0);
  EXPECT_NE(memory[0x1100], 0);
  EXPECT_EQ(Slice(memory, 0x0000, 0x1000), Bytes(0x1000, 0));
  EXPECT_EQ(Slice(memory, 0xF800, 0x800), Bytes(0x800, 0));
}

TEST(BootsimMemory, ServesAndWritesBackTheBuiltInImageByDefault) {
  const Bytes memory = BuiltInInitialMemory();
  BootsimProcess sim;
  {
    SerialPeer peer(sim.slavePath());
    Play(peer, {{kSync, kAck}}, "sync");
    EXPECT_EQ(Read(peer, 0x1000, 256), Slice(memory, 0x1000, 256));
    EXPECT_EQ(Read(peer, 0x8C00, 256), Slice(memory, 0x8C00, 256));
  }
  EXPECT_EQ(sim.stopAndReadMemory(), memory);
}

TEST(BootsimLine, HangUpLooksLikeAnUnplugAndStillWritesTheMemory) {
  BootsimOptions options;
  options.memoryIn = TestMemory();
  BootsimProcess sim(options);
  SerialPeer peer(sim.slavePath());
  Play(peer, {{kSync, kAck}}, "sync");
  sim.hangUp();
  EXPECT_TRUE(peer.hungUp(1000ms));
  std::uint8_t byte = 0;
  EXPECT_LE(::read(peer.fd(), &byte, 1), 0);
  EXPECT_EQ(::write(peer.fd(), &byte, 1), -1);
  EXPECT_EQ(errno, EIO);
  EXPECT_EQ(sim.stopAndReadMemory(), TestMemory());
}

TEST(BootsimLine, KeepsServingWhileThePortIsClosedBetweenConnects) {
  BootsimProcess sim;
  { SerialPeer first(sim.slavePath()); Play(first, {{kSync, kAck}, {kGet, kGetReply}}, "first connect"); }
  { SerialPeer second(sim.slavePath()); Play(second, {{kSync, kAck}, {kGet, kGetReply}}, "second connect"); }
  EXPECT_TRUE(sim.running());
}

TEST(BootsimLine, LinkNamesTheSlaveUntilTheSimulatorEnds) {
  const auto link = std::filesystem::temp_directory_path() / ("tarvik-bootsim-link-" + std::to_string(::getpid()));
  {
    BootsimProcess sim({.extraArgs = {"--link", link.string()}});
    ASSERT_TRUE(std::filesystem::is_symlink(link));
    EXPECT_EQ(std::filesystem::read_symlink(link).string(), sim.slavePath());
    SerialPeer peer(link.string());
    Play(peer, {{kSync, kAck}}, "through the link");
    sim.stopAndReadMemory();
  }
  EXPECT_FALSE(std::filesystem::exists(std::filesystem::symlink_status(link)));
}

TEST(BootsimLog, RecordsEachFrameAndReplyWithAMillisecondTime) {
  BootsimOptions options;
  options.faults = {"nack:get#1/cmd"};
  BootsimProcess sim(options);
  {
    SerialPeer peer(sim.slavePath());
    Play(peer, {{kSync, kAck}, {kGet, kNack}, {kReadCmd, kAck}, {Address(0x8C00), kAck}}, "log");
  }
  std::istringstream lines(sim.log());
  std::vector<std::string> frames;
  const std::regex shape(R"(\d+\.\d{3} ([<>#]) (.*))");
  for (std::string line; std::getline(lines, line);) {
    std::smatch parts;
    ASSERT_TRUE(std::regex_match(line, parts, shape)) << line;
    if (parts[1] != "#") frames.push_back(parts[1].str() + " " + parts[2].str());
  }
  const std::vector<std::string> expected{"< 7F", "> 79", "< 00 FF", "> 1F", "< 11 EE", "> 79",
                                          "< 00 00 8C 00 8C", "> 79"};
  EXPECT_EQ(frames, expected);
  EXPECT_NE(sim.log().find("# fault nack:get#1/cmd"), std::string::npos);
}

// --- Pacing: lower bounds only; the line may be slower, never faster. ---------

constexpr double kCharacterMs = 11.0 / 9600.0 * 1000.0;

double MillisecondsSince(Clock::time_point start) {
  return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

TEST(BootsimPacing, DataFrameRoundTripTakesTheLineTimeOf131Characters) {
  BootsimOptions options;
  options.baud = 9600;
  options.memoryIn = TestMemory();
  BootsimProcess sim(options);
  SerialPeer peer(sim.slavePath());
  Play(peer, {{kSync, kAck}, {kWriteCmd, kAck}, {Address(0x8C00), kAck}}, "write");
  const auto start = Clock::now();
  peer.send(DataFrame(Inverted(TestMemory(), 0x8C00, 128)));
  EXPECT_EQ(peer.receive(1), kAck);
  EXPECT_GE(MillisecondsSince(start), 0.9 * 131 * kCharacterMs);
}

TEST(BootsimPacing, ReadReplyTakesTheLineTimeOf131Characters) {
  BootsimOptions options;
  options.baud = 9600;
  BootsimProcess sim(options);
  SerialPeer peer(sim.slavePath());
  Play(peer, {{kSync, kAck}, {kReadCmd, kAck}, {Address(0x8C00), kAck}}, "read");
  const auto start = Clock::now();
  peer.send(Length(128));
  EXPECT_EQ(peer.receive(129).size(), 129u);
  EXPECT_GE(MillisecondsSince(start), 0.9 * 131 * kCharacterMs);
}

TEST(BootsimPacing, ByteByByteWriteTakesTheByteTimeForEachByte) {
  BootsimOptions options;
  options.extraArgs = {"--byte-delay", "20"};
  BootsimProcess sim(options);
  SerialPeer peer(sim.slavePath());
  Play(peer, {{kSync, kAck}, {kWriteCmd, kAck}, {Address(0x1003), kAck}}, "write");
  const auto start = Clock::now();
  peer.send(DataFrame(Bytes{1, 2, 3, 4, 5}));
  EXPECT_EQ(peer.receive(1), kAck);
  EXPECT_GE(MillisecondsSince(start), 0.9 * 5 * 20);
}

TEST(BootsimPacing, StaleBytesAreWaitingAlreadyWhenTheReplyIsSeen) {
  BootsimOptions options;
  options.baud = 9600;
  options.faults = {"stale:sync#1"};
  BootsimProcess sim(options);
  SerialPeer peer(sim.slavePath());
  peer.send(kSync);
  EXPECT_EQ(peer.receive(1), kAck);
  EXPECT_EQ(peer.waiting(), kJunk.size());
}

}  // namespace
}  // namespace tarvik::testing
