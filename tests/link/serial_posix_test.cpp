// The POSIX serial layer on real pseudo-terminals: the line settings, the
// time-outs, re-opening, hang-up and the safety of closed descriptors.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <thread>

#include "device_link/port_names.h"
#include "device_link/serial_api_posix.h"
#include "device_link/serial_port.h"
#include "tests/link/pty_pair.h"

namespace tarvik {
namespace {

using testing::PtyPair;
using Clock = std::chrono::steady_clock;

class PosixPort : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(pty.ok());
    port.FPortOpen = port.OpenPort("COM200");
    ASSERT_TRUE(port.FPortOpen);
  }

  PtyPair pty;
  PosixSerialApi api{[this](std::string_view name) -> std::optional<std::string> {
    if (name == "COM200") return pty.slavePath();
    return std::nullopt;
  }};
  SerialPort port{api};
};

TEST_F(PosixPort, ConfiguresRawLineAndCarriesEveryByteValue) {
  termios t{};
  ASSERT_EQ(::tcgetattr(static_cast<int>(port.FPortHandle), &t), 0);
  EXPECT_EQ(cfgetospeed(&t), B9600);
  EXPECT_EQ(t.c_lflag & (ICANON | ECHO | ISIG), 0u);
  EXPECT_EQ(t.c_oflag & OPOST, 0u);

  std::vector<std::uint8_t> all(256);
  for (int i = 0; i < 256; ++i) all[i] = static_cast<std::uint8_t>(i);
  ASSERT_TRUE(port.WriteBytes(all.data(), 256));
  std::vector<std::uint8_t> got;
  while (got.size() < 256) {
    auto more = pty.receive();
    if (more.empty()) break;
    got.insert(got.end(), more.begin(), more.end());
  }
  EXPECT_EQ(got, all);

  pty.send(all);
  ASSERT_TRUE(port.WaitForBytes(200, 256));
  EXPECT_EQ(port.InQueueCount(), 256);
  std::uint8_t buffer[256];
  std::uint32_t received = 0;
  EXPECT_TRUE(port.ReadBytes(buffer, 256, received));
  EXPECT_EQ(std::vector<std::uint8_t>(buffer, buffer + 256), all);
}

TEST_F(PosixPort, ReopeningTheSamePortSucceeds) {
  // A pty cannot keep even parity; asking again for the same settings on a
  // second open must not be taken for a refusal.
  for (int i = 0; i < 3; ++i) {
    port.ClosePort();
    port.FPortOpen = port.OpenPort("COM200");
    ASSERT_TRUE(port.FPortOpen) << "re-open " << i;
  }
}

TEST_F(PosixPort, ShortReadEndsOnTheTimeOutsAndKeepsTheRestOfTheBuffer) {
  pty.send({1, 2, 3, 4, 5});
  ASSERT_TRUE(port.WaitForBytes(200, 5));
  std::uint8_t buffer[10];
  std::memset(buffer, 0xEE, sizeof buffer);
  std::uint32_t received = 0;
  const auto start = Clock::now();
  EXPECT_FALSE(port.ReadBytes(buffer, 10, received));
  const auto took = Clock::now() - start;
  EXPECT_EQ(received, 5u);
  EXPECT_EQ(buffer[4], 5);
  EXPECT_EQ(buffer[5], 0xEE);
  // The read waited for the interval time-out rather than returning at once.
  EXPECT_GE(took, std::chrono::milliseconds(140));
}

TEST_F(PosixPort, ReadOfNothingEndsOnTheTotalTimeOut) {
  std::uint8_t buffer[10];
  std::uint32_t received = 1;
  const auto start = Clock::now();
  EXPECT_FALSE(port.ReadBytes(buffer, 10, received));
  EXPECT_EQ(received, 0u);
  EXPECT_GE(Clock::now() - start, std::chrono::milliseconds(205));
}

TEST_F(PosixPort, PurgeThrowsAwayWhatIsWaiting) {
  pty.send(std::vector<std::uint8_t>(300, 0x55));
  ASSERT_TRUE(port.WaitForBytes(200, 300));
  port.PurgeInput();
  EXPECT_EQ(port.InQueueCount(), 0);
}

TEST_F(PosixPort, HungUpLineFailsReadsAndWrites) {
  pty.hangUp();
  std::uint8_t buffer[4];
  std::uint32_t received = 0;
  EXPECT_FALSE(port.ReadBytes(buffer, 4, received));
  const std::uint8_t byte = 0x7F;
  EXPECT_FALSE(port.WriteBytes(&byte, 1));
  EXPECT_FALSE(port.WaitForBytes(5, 1));
}

TEST_F(PosixPort, AClosedDescriptorReusedByAnotherFileIsNeverWritten) {
  const PortHandle old = port.FPortHandle;
  ASSERT_TRUE(api.closeHandle(old));  // closed behind the port's back
  char path[] = "/tmp/tarvik-reuse-XXXXXX";
  const int other = ::mkstemp(path);
  ASSERT_EQ(other, static_cast<int>(old)) << "the kernel hands out the lowest free number";
  const std::uint8_t frame[] = {0x31, 0xCE};
  EXPECT_FALSE(port.WriteBytes(frame, 2));
  std::uint32_t got = 0;
  std::uint8_t buffer[2];
  EXPECT_FALSE(port.ReadBytes(buffer, 2, got));
  EXPECT_EQ(port.InQueueCount(), 0);
  struct stat st {};
  ASSERT_EQ(::fstat(other, &st), 0);
  EXPECT_EQ(st.st_size, 0) << "the other file must stay untouched";
  ::close(other);
  ::unlink(path);
  port.FPortOpen = false;
}

TEST(PosixSerialApi, MissingOrUnmappedPortsDoNotOpen) {
  PosixSerialApi api([](std::string_view name) -> std::optional<std::string> {
    if (name == "COM1") return std::string("/nonexistent/ttyS0");
    return std::nullopt;
  });
  SerialPort port(api);
  EXPECT_FALSE(port.OpenPort("COM1"));
  EXPECT_EQ(port.FPortHandle, kInvalidPortHandle);
  EXPECT_FALSE(port.OpenPort("COM2"));
  EXPECT_FALSE(port.OpenPort("LPT1"));
}

TEST(PosixSerialApi, ProbeWithAccessZeroOpensWithoutConfiguring) {
  PtyPair pty;
  ASSERT_TRUE(pty.ok());
  PosixSerialApi api([&](std::string_view) -> std::optional<std::string> {
    return pty.slavePath();
  });
  termios before{};
  {
    const int fd = ::open(pty.slavePath().c_str(), O_RDONLY | O_NOCTTY);
    ASSERT_GE(fd, 0);
    ::tcgetattr(fd, &before);
    ::close(fd);
  }
  const PortHandle h = api.createFile("\\\\.\\COM5", 0, 3, kOpenExisting, kFileAttributeNormal);
  ASSERT_NE(h, kInvalidPortHandle);
  EXPECT_TRUE(api.closeHandle(h));
  EXPECT_TRUE(pty.receive(20).empty()) << "the probe writes nothing";
  const int fd = ::open(pty.slavePath().c_str(), O_RDONLY | O_NOCTTY);
  termios after{};
  ::tcgetattr(fd, &after);
  ::close(fd);
  EXPECT_EQ(before.c_cflag, after.c_cflag);
  EXPECT_EQ(before.c_lflag, after.c_lflag);
}

}  // namespace
}  // namespace tarvik
