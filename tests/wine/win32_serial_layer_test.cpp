// The Win32 serial layer on its own, without a serial device: which handles
// it lets through, that a close really closes, and that the 1-ms timer is
// held exactly while a port carries traffic. "NUL" stands in for a port
// where only the handle matters.
#include <gtest/gtest.h>

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

#include "device_link/serial_api_win32.h"
#include "tests/wine/spy_layers.h"

namespace tarvik {
namespace {

using testing::CountingTimer;

constexpr std::uint32_t kReadWrite = kGenericRead | kGenericWrite;
constexpr std::uint32_t kShare = kFileShareRead | kFileShareWrite;

PortHandle OpenNul(SerialApi& api, std::uint32_t access = kReadWrite) {
  return api.createFile("NUL", access, kShare, kOpenExisting, kFileAttributeNormal);
}

bool HandleIsOpen(HANDLE h) {
  DWORD flags = 0;
  return ::GetHandleInformation(h, &flags) != FALSE;
}

struct ForeignCall {
  const char* name;
  std::function<bool(SerialApi&, PortHandle)> call;
};

TEST(Win32SerialLayer, RefusesHandlesItDidNotOpenWithoutTouchingThem) {
  const std::vector<ForeignCall> calls = {
      {"setupComm", [](SerialApi& a, PortHandle h) { return a.setupComm(h, 65536, 8192); }},
      {"getCommState", [](SerialApi& a, PortHandle h) { Dcb d{}; return a.getCommState(h, d); }},
      {"setCommState", [](SerialApi& a, PortHandle h) { return a.setCommState(h, Dcb{}); }},
      {"getCommTimeouts",
       [](SerialApi& a, PortHandle h) { CommTimeouts t{}; return a.getCommTimeouts(h, t); }},
      {"setCommTimeouts",
       [](SerialApi& a, PortHandle h) { return a.setCommTimeouts(h, CommTimeouts{}); }},
      {"setCommMask", [](SerialApi& a, PortHandle h) { return a.setCommMask(h, 5); }},
      {"clearCommError",
       [](SerialApi& a, PortHandle h) {
         std::uint32_t e = 0;
         ComStat s{};
         return a.clearCommError(h, e, s);
       }},
      {"readFile",
       [](SerialApi& a, PortHandle h) {
         char b[4];
         std::uint32_t n = 99;
         const bool ok = a.readFile(h, b, 4, n);
         return ok || n != 0;
       }},
      {"writeFile",
       [](SerialApi& a, PortHandle h) {
         std::uint32_t n = 99;
         const bool ok = a.writeFile(h, "abcd", 4, n);
         return ok || n != 0;
       }},
      {"closeHandle", [](SerialApi& a, PortHandle h) { return a.closeHandle(h); }},
  };
  Win32SerialApi api;
  // A handle of the process's own (an event), and the invalid-handle value,
  // which Windows would read as the current process.
  const HANDLE event = ::CreateEventA(nullptr, TRUE, FALSE, nullptr);
  ASSERT_NE(event, nullptr);
  for (const PortHandle h : {static_cast<PortHandle>(event), kInvalidPortHandle}) {
    for (const auto& c : calls) {
      ::SetLastError(0);
      EXPECT_FALSE(c.call(api, h)) << c.name;
      EXPECT_EQ(::GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE)) << c.name;
    }
  }
  EXPECT_TRUE(HandleIsOpen(event)) << "closeHandle closed a handle that was not its own";
  ::CloseHandle(event);
}

TEST(Win32SerialLayer, AClosedHandleIsClosedAndNeverUsedAgain) {
  Win32SerialApi api;
  const PortHandle port = OpenNul(api);
  ASSERT_NE(port, kInvalidPortHandle);
  std::uint32_t n = 0;
  EXPECT_TRUE(api.writeFile(port, "x", 1, n));
  ASSERT_TRUE(api.closeHandle(port));
  EXPECT_FALSE(HandleIsOpen(port)) << "the system handle was left open";
  EXPECT_FALSE(api.closeHandle(port)) << "a second close must fail";

  // Windows hands the value out again to the next object opened; the layer
  // must not write to that file through the old port's handle.
  char dir[MAX_PATH];
  char path[MAX_PATH];
  ASSERT_NE(::GetTempPathA(MAX_PATH, dir), 0u);
  ASSERT_NE(::GetTempFileNameA(dir, "tvk", 0, path), 0u);
  const HANDLE file = ::CreateFileA(path, GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                    CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(file, INVALID_HANDLE_VALUE);
  EXPECT_FALSE(api.writeFile(port, "stale", 5, n));
  EXPECT_EQ(n, 0u);
  EXPECT_EQ(::GetFileSize(file, nullptr), 0u);
  ::CloseHandle(file);
  ::DeleteFileA(path);
}

TEST(Win32SerialLayer, AMissingPortGivesTheInvalidHandle) {
  CountingTimer timer;
  Win32SerialApi api(timer);
  EXPECT_EQ(api.createFile("\\\\.\\COM249", kReadWrite, kShare, kOpenExisting,
                           kFileAttributeNormal),
            kInvalidPortHandle);
  EXPECT_EQ(timer.raised, 0) << "no port, no fine timer";
}

TEST(Win32SerialLayer, HoldsTheFineTimerWhilePortsCarryTraffic) {
  CountingTimer timer;
  Win32SerialApi api(timer);
  const PortHandle probe = OpenNul(api, 0);
  ASSERT_NE(probe, kInvalidPortHandle);
  EXPECT_EQ(timer.raised, 0) << "a probe moves no bytes";
  const PortHandle a = OpenNul(api);
  const PortHandle b = OpenNul(api);
  ASSERT_NE(a, kInvalidPortHandle);
  ASSERT_NE(b, kInvalidPortHandle);
  EXPECT_EQ(timer.raised, 1);
  EXPECT_TRUE(api.closeHandle(a));
  EXPECT_TRUE(api.closeHandle(probe));
  EXPECT_EQ(timer.held(), 1) << "b still carries traffic";
  EXPECT_TRUE(api.closeHandle(b));
  EXPECT_EQ(timer.raised, 1);
  EXPECT_EQ(timer.restored, 1);
  EXPECT_FALSE(api.closeHandle(b));
  EXPECT_EQ(timer.restored, 1) << "a failed close gives nothing back twice";

  // The next port raises it again.
  const PortHandle c = OpenNul(api);
  EXPECT_EQ(timer.held(), 1);
  EXPECT_TRUE(api.closeHandle(c));
  EXPECT_EQ(timer.held(), 0);
}

TEST(Win32SerialLayer, ARefusedTimerIsNotGivenBack) {
  CountingTimer timer;
  timer.refuse = true;
  Win32SerialApi api(timer);
  const PortHandle port = OpenNul(api);
  ASSERT_NE(port, kInvalidPortHandle) << "the port works without the fine timer";
  EXPECT_TRUE(api.closeHandle(port));
  EXPECT_EQ(timer.restored, 0);
}

TEST(Win32SerialLayer, ClosesWhatIsStillOpenWhenItGoes) {
  CountingTimer timer;
  PortHandle port = kInvalidPortHandle;
  PortHandle probe = kInvalidPortHandle;
  {
    Win32SerialApi api(timer);
    port = OpenNul(api);
    probe = OpenNul(api, 0);
    ASSERT_NE(port, kInvalidPortHandle);
    ASSERT_NE(probe, kInvalidPortHandle);
  }
  EXPECT_FALSE(HandleIsOpen(port));
  EXPECT_FALSE(HandleIsOpen(probe));
  EXPECT_EQ(timer.raised, 1);
  EXPECT_EQ(timer.restored, 1);
}

}  // namespace
}  // namespace tarvik
