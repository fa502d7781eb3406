// The six port operations over the real Win32 layer, on COM5 with the
// virtual tracker behind it: the settings the port is given, the read
// time-outs, and the failure path of the opening.
#include <gtest/gtest.h>

#include <windows.h>

#include <chrono>
#include <cstring>
#include <vector>

#include "device_link/serial_api_win32.h"
#include "device_link/serial_port.h"
#include "tests/wine/spy_layers.h"
#include "tests/wine/tracker_line.h"

namespace tarvik {
namespace {

using testing::kTrackerHint;
using testing::kTrackerPort;
using testing::SpySerialApi;
using Clock = std::chrono::steady_clock;

long long MillisSince(Clock::time_point start) {
  return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
}

class TrackerPort : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(testing::PrepareTrackerLine()) << kTrackerHint; }

  // Opens COM5 as the program does and drops what an earlier test left.
  void Open() {
    ASSERT_TRUE(port.OpenPort(kTrackerPort)) << kTrackerHint;
    port.FPortOpen = true;
    ::Sleep(20);
    port.PurgeInput();
  }

  // Five syncs, each answered with one ACK: five bytes on their way.
  void MakeFiveBytesArrive() {
    const std::uint8_t syncs[5] = {0x7F, 0x7F, 0x7F, 0x7F, 0x7F};
    ASSERT_TRUE(port.WriteBytes(syncs, 5));
    ASSERT_TRUE(port.WaitForBytes(2000, 5));
  }

  Win32SerialApi real;
  SpySerialApi spy{real};
  SerialPort port{spy};
};

TEST_F(TrackerPort, OpenGivesTheLineTheBootloaderSettings) {
  Open();
  EXPECT_EQ(spy.calls,
            (std::vector<std::string>{"createFile", "setupComm", "getCommState", "setCommState",
                                      "getCommTimeouts", "setCommTimeouts", "setCommMask"}));
  ASSERT_TRUE(spy.reportedDcb && spy.requestedDcb);
  const DCB& asked = *spy.requestedDcb;
  EXPECT_EQ(asked.BaudRate, 9600u);
  EXPECT_EQ(asked.ByteSize, 8);
  EXPECT_EQ(asked.Parity, EVENPARITY);
  EXPECT_EQ(asked.StopBits, ONESTOPBIT);
  DCB rest = asked;
  rest.BaudRate = spy.reportedDcb->BaudRate;
  rest.ByteSize = spy.reportedDcb->ByteSize;
  rest.Parity = spy.reportedDcb->Parity;
  rest.StopBits = spy.reportedDcb->StopBits;
  EXPECT_EQ(std::memcmp(&rest, &*spy.reportedDcb, sizeof(DCB)), 0)
      << "every other field stays as the port reported it";

  // What the port took, read back past the layer. The pseudo-terminal drops
  // the parity, so that one field is judged by the request above.
  DCB now{};
  now.DCBlength = sizeof now;
  ASSERT_TRUE(::GetCommState(port.FPortHandle, &now));
  EXPECT_EQ(now.BaudRate, 9600u);
  EXPECT_EQ(now.ByteSize, 8);
  EXPECT_EQ(now.StopBits, ONESTOPBIT);
  EXPECT_EQ(now.fOutxCtsFlow, spy.reportedDcb->fOutxCtsFlow);
  EXPECT_EQ(now.fDtrControl, spy.reportedDcb->fDtrControl);
  EXPECT_EQ(now.fRtsControl, spy.reportedDcb->fRtsControl);
  EXPECT_EQ(now.fOutX, spy.reportedDcb->fOutX);
  EXPECT_EQ(now.fInX, spy.reportedDcb->fInX);

  COMMTIMEOUTS timeouts{};
  ASSERT_TRUE(::GetCommTimeouts(port.FPortHandle, &timeouts));
  EXPECT_EQ(timeouts.ReadIntervalTimeout, 150u);
  EXPECT_EQ(timeouts.ReadTotalTimeoutMultiplier, 1u);
  EXPECT_EQ(timeouts.ReadTotalTimeoutConstant, 200u);
  EXPECT_EQ(timeouts.WriteTotalTimeoutMultiplier, 0u);
  EXPECT_EQ(timeouts.WriteTotalTimeoutConstant, 100u);
  DWORD mask = 0;
  ASSERT_TRUE(::GetCommMask(port.FPortHandle, &mask));
  EXPECT_EQ(mask, static_cast<DWORD>(EV_RXCHAR | EV_TXEMPTY));
}

TEST_F(TrackerPort, QueueCountReadAndDrainSeeTheBytesThatArrived) {
  Open();
  MakeFiveBytesArrive();
  EXPECT_EQ(port.InQueueCount(), 5);
  std::uint8_t reply[2] = {};
  std::uint32_t received = 0;
  EXPECT_TRUE(port.ReadBytes(reply, 2, received));
  EXPECT_EQ(received, 2u);
  EXPECT_EQ(reply[0], 0x79);
  EXPECT_EQ(reply[1], 0x79);
  EXPECT_EQ(port.InQueueCount(), 3);
  port.PurgeInput();
  EXPECT_EQ(port.InQueueCount(), 0);
  EXPECT_FALSE(port.WaitForBytes(5, 1)) << "nothing more is on its way";
}

// The read time-outs end a short read; the bounds are wide on purpose: they
// tell "waited for the interval/total time-out" from "returned at once" and
// from "waited for ever", not milliseconds.
TEST_F(TrackerPort, AShortReadEndsAtTheIntervalTimeOutWithWhatCame) {
  Open();
  MakeFiveBytesArrive();
  std::uint8_t buffer[10];
  std::memset(buffer, 0xEE, sizeof buffer);
  std::uint32_t received = 0;
  const auto start = Clock::now();
  EXPECT_FALSE(port.ReadBytes(buffer, 10, received));
  const auto elapsed = MillisSince(start);
  EXPECT_EQ(received, 5u);
  EXPECT_EQ(std::vector<std::uint8_t>(buffer, buffer + 10),
            (std::vector<std::uint8_t>{0x79, 0x79, 0x79, 0x79, 0x79, 0xEE, 0xEE, 0xEE, 0xEE, 0xEE}));
  EXPECT_GE(elapsed, 120) << "150 ms between bytes";
  EXPECT_LE(elapsed, 1500);
}

TEST_F(TrackerPort, AReadOfNothingEndsAtTheTotalTimeOut) {
  Open();
  std::uint8_t buffer[10];
  std::uint32_t received = 99;
  const auto start = Clock::now();
  EXPECT_FALSE(port.ReadBytes(buffer, 10, received));
  const auto elapsed = MillisSince(start);
  EXPECT_EQ(received, 0u);
  EXPECT_GE(elapsed, 170) << "200 ms + 1 ms a byte in all";
  EXPECT_LE(elapsed, 1500);
}

TEST_F(TrackerPort, ARefusedSettingClosesThePortSoThatItOpensAgain) {
  // A DCB the port cannot take (nine data bits) makes SetCommState fail for real.
  spy.alterDcb = [](Dcb& dcb) { dcb.ByteSize = 9; };
  EXPECT_FALSE(port.OpenPort(kTrackerPort));
  EXPECT_EQ(port.FPortHandle, kInvalidPortHandle);
  ASSERT_EQ(spy.created.size(), 1u);
  EXPECT_EQ(spy.calls.back(), "closeHandle");
  DWORD flags = 0;
  EXPECT_FALSE(::GetHandleInformation(spy.created[0], &flags)) << "the refused port is still open";

  spy.alterDcb = nullptr;
  ASSERT_TRUE(testing::PrepareTrackerLine());
  EXPECT_TRUE(port.OpenPort(kTrackerPort));
}

TEST_F(TrackerPort, AMissingPortMakesNoFurtherCall) {
  EXPECT_FALSE(port.OpenPort("COM248"));
  EXPECT_EQ(port.FPortHandle, kInvalidPortHandle);
  EXPECT_EQ(spy.calls, std::vector<std::string>{"createFile"});
}

}  // namespace
}  // namespace tarvik
