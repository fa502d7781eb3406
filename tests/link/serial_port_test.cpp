// The six port operations against a fake platform: which calls they make,
// in which order, and what they leave behind.
#include <gtest/gtest.h>

#include <cstring>

#include "device_link/serial_port.h"
#include "device_link/transfer_buffers.h"
#include "tests/fakes/fake_serial_api.h"

namespace tarvik {
namespace {

using testing::FakeSerialApi;

TEST(OpenPort, ConfiguresTheLineAndLeavesOtherDcbFieldsAsReported) {
  FakeSerialApi api;
#ifndef _WIN32
  api.reportedDcb.reported.c_cflag = 0x1234;  // stands for "every other field"
#else
  api.reportedDcb.fOutxCtsFlow = 1;
  api.reportedDcb.XonChar = 0x11;
#endif
  api.reportedDcb.BaudRate = 115200;
  api.reportedDcb.Parity = 0;
  SerialPort port(api);
  ASSERT_TRUE(port.OpenPort("COM3"));
  ASSERT_EQ(api.opens.size(), 1u);
  EXPECT_EQ(api.opens[0].path, "\\\\.\\COM3");
  // Numbers, not our constants: a wrong constant must fail here.
  EXPECT_EQ(api.opens[0].access, 0xC0000000u) << "GENERIC_READ | GENERIC_WRITE";
  EXPECT_EQ(api.opens[0].share, 3u) << "FILE_SHARE_READ | FILE_SHARE_WRITE";
  EXPECT_EQ(api.opens[0].creation, 3u) << "OPEN_EXISTING";
  EXPECT_EQ(api.opens[0].attributes, 0x80u) << "FILE_ATTRIBUTE_NORMAL, no overlapped I/O";
  ASSERT_TRUE(api.setDcb);
  EXPECT_EQ(api.setDcb->BaudRate, 9600u);
  EXPECT_EQ(api.setDcb->ByteSize, 8);
  EXPECT_EQ(api.setDcb->Parity, kEvenParity);
  EXPECT_EQ(api.setDcb->StopBits, kOneStopBit);
#ifndef _WIN32
  EXPECT_EQ(api.setDcb->reported.c_cflag, 0x1234u);
#else
  EXPECT_EQ(api.setDcb->fOutxCtsFlow, 1u);
  EXPECT_EQ(api.setDcb->XonChar, 0x11);
#endif
  ASSERT_TRUE(api.setTimeouts);
  EXPECT_EQ(api.setTimeouts->ReadIntervalTimeout, 150u);
  EXPECT_EQ(api.setTimeouts->ReadTotalTimeoutMultiplier, 1u);
  EXPECT_EQ(api.setTimeouts->ReadTotalTimeoutConstant, 200u);
  EXPECT_EQ(api.setTimeouts->WriteTotalTimeoutMultiplier, 0u);
  EXPECT_EQ(api.setTimeouts->WriteTotalTimeoutConstant, 100u);
  EXPECT_EQ(api.mask, 5u);
  EXPECT_EQ(api.count("setupComm 65536 8192"), 1u);
  EXPECT_TRUE(api.closed.empty());
  EXPECT_NE(port.FPortHandle, kInvalidPortHandle);
  EXPECT_FALSE(port.FPortOpen) << "the caller stores the result in FPortOpen";
}

struct FailingStep {
  const char* call;
  const char* lastCallMade;
};

class OpenPortFailure : public ::testing::TestWithParam<FailingStep> {};

TEST_P(OpenPortFailure, ClosesTheHandleSkipsLaterStepsAndInvalidatesIt) {
  FakeSerialApi api;
  api.failing = GetParam().call;
  SerialPort port(api);
  EXPECT_FALSE(port.OpenPort("COM3"));
  EXPECT_EQ(port.FPortHandle, kInvalidPortHandle);
  ASSERT_EQ(api.closed.size(), 1u);
  EXPECT_TRUE(api.openHandles.empty()) << "the failed port must be released";
  // The failing step is the last configuration call made before the close.
  ASSERT_GE(api.calls.size(), 2u);
  EXPECT_EQ(api.calls[api.calls.size() - 2].rfind(GetParam().lastCallMade, 0), 0u);
  EXPECT_EQ(api.calls.back(), "closeHandle");
}

INSTANTIATE_TEST_SUITE_P(EachStep, OpenPortFailure,
                         ::testing::Values(FailingStep{"setupComm", "setupComm"},
                                           FailingStep{"getCommState", "getCommState"},
                                           FailingStep{"setCommState", "setCommState"},
                                           FailingStep{"getCommTimeouts", "getCommTimeouts"},
                                           FailingStep{"setCommTimeouts", "setCommTimeouts"},
                                           FailingStep{"setCommMask", "setCommMask"}));

TEST(OpenPort, MissingPortMakesNoFurtherCallAndCanBeRetried) {
  FakeSerialApi api;
  SerialPort port(api);
  EXPECT_FALSE(port.OpenPort("COM9"));
  EXPECT_EQ(port.FPortHandle, kInvalidPortHandle);
  EXPECT_EQ(api.calls, std::vector<std::string>{"createFile"});
  api.failing = "setCommState";
  EXPECT_FALSE(port.OpenPort("COM3"));
  api.failing.clear();
  EXPECT_TRUE(port.OpenPort("COM3")) << "a refused port was closed, so it opens again";
}

TEST(InQueueCount, WithoutAnOpenPortMakesNoCall) {
  FakeSerialApi api;
  api.queue({1, 2, 3});
  SerialPort port(api);
  ASSERT_TRUE(port.OpenPort("COM3"));
  api.calls.clear();
  EXPECT_EQ(port.InQueueCount(), 0);
  EXPECT_TRUE(api.calls.empty());
  port.FPortOpen = true;
  EXPECT_EQ(port.InQueueCount(), 3);
  api.failing = "clearCommError";
  EXPECT_EQ(port.InQueueCount(), 0) << "a failed query counts as nothing waiting";
}

TEST(PurgeInput, DrainsInRxBufSizedReadsAndNeverPastIt) {
  FakeSerialApi api;
  api.queue(std::vector<std::uint8_t>(5000, 0xAB));
  SerialPort port(api);
  ASSERT_TRUE(port.OpenPort("COM3"));
  port.FPortOpen = true;
  port.PurgeInput();
  ASSERT_EQ(api.reads.size(), 2u);
  EXPECT_EQ(api.reads[0].count, 4096u);
  EXPECT_EQ(api.reads[1].count, 904u);
  for (const auto& r : api.reads) EXPECT_EQ(r.buffer, static_cast<const void*>(RxBuf));
  EXPECT_TRUE(api.incoming.empty());
}

TEST(PurgeInput, StopsWhenAReadDeliversNothingAndReadsNothingWhenIdle) {
  FakeSerialApi api;
  SerialPort port(api);
  ASSERT_TRUE(port.OpenPort("COM3"));
  port.FPortOpen = true;
  port.PurgeInput();
  EXPECT_TRUE(api.reads.empty());

  api.queue(std::vector<std::uint8_t>(10, 1));
  api.failing = "readFile";
  port.PurgeInput();
  EXPECT_EQ(api.reads.size(), 1u) << "a failing read must not loop";
}

TEST(WaitForBytes, CountsTriesAndSleepsBeforeEachPoll) {
  struct Row {
    std::uint32_t tries;
    std::uint16_t count;
    std::size_t waiting;
    bool result;
    unsigned sleeps;
  };
  const Row rows[] = {
      {0, 1, 5, false, 0},      // no tries: at once, no sleep
      {200, 1, 1, true, 1},     // already waiting: seen after the first sleep
      {200, 129, 128, false, 200},
      {5, 0, 0, true, 1},
  };
  for (const auto& row : rows) {
    FakeSerialApi api;
    api.queue(std::vector<std::uint8_t>(row.waiting, 0));
    SerialPort port(api);
    ASSERT_TRUE(port.OpenPort("COM3"));
    port.FPortOpen = true;
    EXPECT_EQ(port.WaitForBytes(row.tries, row.count), row.result) << row.tries << "/" << row.count;
    EXPECT_EQ(api.sleeps, row.sleeps) << row.tries << "/" << row.count;
  }
}

TEST(WaitForBytes, RunsOutWhenNoPortIsOpen) {
  FakeSerialApi api;
  api.queue({0x79});
  SerialPort port(api);
  ASSERT_TRUE(port.OpenPort("COM3"));
  EXPECT_FALSE(port.WaitForBytes(3, 1));
  EXPECT_EQ(api.sleeps, 3u);
}

TEST(WaitForBytes, RunsItsHookEveryFewTriesNotInsideItselfAndEndsWhenThePortClosesInIt) {
  constexpr std::uint32_t k = kTriesPerWaitHook;
  enum class Hook { Nothing, ClosesThePort, WaitsItself };
  struct Row {
    const char* name;
    std::uint32_t tries;
    unsigned byteAfter;  // sleeps until a byte comes; 0: none comes
    Hook hook;
    bool open;
    bool result;
    unsigned sleeps;
    int hooks;
  };
  const Row rows[] = {
      {"nothing comes", 3 * k, 0, Hook::Nothing, true, false, 3 * k, 2},
      {"the byte comes", 10 * k, 2 * k + 1, Hook::Nothing, true, true, 2 * k + 1, 2},
      {"the hook closes the port", 10 * k, 0, Hook::ClosesThePort, true, false, k, 1},
      {"the port closed before the wait", 10 * k, 0, Hook::Nothing, false, false, k, 0},
      {"a wait inside the hook runs none", 2 * k, 0, Hook::WaitsItself, true, false, 3 * k, 1},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    FakeSerialApi api;
    SerialPort port(api);
    ASSERT_TRUE(port.OpenPort("COM3"));
    port.FPortOpen = true;
    api.onSleep = [&](FakeSerialApi& a) {
      if (a.sleeps == row.byteAfter) a.queue({0x79});
    };
    int hooks = 0;
    port.SetWaitHook([&] {
      ++hooks;
      if (row.hook == Hook::ClosesThePort) port.ClosePort();
      if (row.hook == Hook::WaitsItself) port.WaitForBytes(k, 1);
    });
    if (!row.open) port.ClosePort();
    EXPECT_EQ(port.WaitForBytes(row.tries, 1), row.result);
    EXPECT_EQ(api.sleeps, row.sleeps);
    EXPECT_EQ(hooks, row.hooks);
    EXPECT_EQ(api.calls.back(), row.open && row.hook != Hook::ClosesThePort ? "clearCommError"
                                                                             : "closeHandle")
        << "nothing touches a closed port";
  }
}

TEST(WaitForBytes, CountsTheTriesForItsHookAcrossWaitsAndRunsNoneOnceItIsCleared) {
  FakeSerialApi api;
  SerialPort port(api);
  ASSERT_TRUE(port.OpenPort("COM3"));
  port.FPortOpen = true;
  int hooks = 0;
  port.SetWaitHook([&] { ++hooks; });
  for (std::uint32_t i = 0; i <= kTriesPerWaitHook; ++i) port.WaitForBytes(1, 1);
  EXPECT_EQ(hooks, 1) << "short waits in a row still let the window answer";
  port.SetWaitHook(nullptr);
  port.WaitForBytes(3 * kTriesPerWaitHook, 1);
  EXPECT_EQ(hooks, 1);
}

TEST(ReadWriteBytes, ReportShortCountsAndKeepTheRestOfTheBuffer) {
  FakeSerialApi api;
  SerialPort port(api);
  ASSERT_TRUE(port.OpenPort("COM3"));
  api.queue({1, 2, 3, 4, 5});
  std::uint8_t buffer[10];
  std::memset(buffer, 0xEE, sizeof buffer);
  std::uint32_t received = 99;
  EXPECT_FALSE(port.ReadBytes(buffer, 10, received));
  EXPECT_EQ(received, 5u);
  EXPECT_EQ(buffer[4], 5);
  EXPECT_EQ(buffer[5], 0xEE);

  api.queue({9, 8});
  EXPECT_TRUE(port.ReadBytes(buffer, 2, received));
  EXPECT_EQ(received, 2u);

  const std::uint8_t frame[] = {0x7F};
  api.calls.clear();
  EXPECT_TRUE(port.WriteBytes(frame, 0));
  EXPECT_TRUE(api.calls.empty()) << "a count of 0 makes no call";
  EXPECT_TRUE(port.WriteBytes(frame, 1));
  EXPECT_EQ(api.written, std::vector<std::uint8_t>{0x7F});
}

TEST(ClosePort, ClosesOnceAndForgetsTheHandle) {
  FakeSerialApi api;
  SerialPort port(api);
  ASSERT_TRUE(port.OpenPort("COM3"));
  port.FPortOpen = true;
  port.ClosePort();
  port.ClosePort();
  EXPECT_EQ(api.closed.size(), 1u);
  EXPECT_FALSE(port.FPortOpen);
  EXPECT_EQ(port.FPortHandle, kInvalidPortHandle);
  const std::uint8_t byte = 0x7F;
  EXPECT_FALSE(port.WriteBytes(&byte, 1)) << "nothing may be written after the close";
  EXPECT_TRUE(api.written.empty());
}

}  // namespace
}  // namespace tarvik
