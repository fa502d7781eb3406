// Wine's thread for device notifications, running before the first test.
//
// Under Wine the first RegisterDeviceNotification of a process starts a
// thread that listens to Wine's plug-and-play service. A 32-bit process that
// ends while that thread is still starting dies with SIGSEGV (Wine 8: about
// one process in thirty that ends right after registering; none once the
// thread runs). A test program linked with this file registers once before
// its tests and waits, at most five seconds, until the thread runs: it names
// itself first thing. Every later registration in the process uses the same
// thread. Nothing happens on Windows.
#include <gtest/gtest.h>

#include <cstdio>
#include <cwchar>

#include "window_win32/device_window_win32.h"

#include <tlhelp32.h>

namespace {

using GetDescription = HRESULT(WINAPI*)(HANDLE, PWSTR*);

FARPROC Export(const wchar_t* module, const char* name) {
  const HMODULE handle = ::GetModuleHandleW(module);
  return handle != nullptr ? ::GetProcAddress(handle, name) : nullptr;
}

bool NotificationThreadRuns(GetDescription describe) {
  const HANDLE snapshot = ::CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
  if (snapshot == INVALID_HANDLE_VALUE) return false;
  THREADENTRY32 entry{};
  entry.dwSize = sizeof entry;
  bool found = false;
  for (BOOL more = ::Thread32First(snapshot, &entry); more && !found;
       more = ::Thread32Next(snapshot, &entry)) {
    if (entry.th32OwnerProcessID != ::GetCurrentProcessId()) continue;
    const HANDLE thread = ::OpenThread(THREAD_QUERY_LIMITED_INFORMATION, FALSE, entry.th32ThreadID);
    if (thread == nullptr) continue;
    wchar_t* name = nullptr;
    if (SUCCEEDED(describe(thread, &name)) && name != nullptr) {
      found = std::wcscmp(name, L"wine_sechost_device_notify") == 0;
      ::LocalFree(name);
    }
    ::CloseHandle(thread);
  }
  ::CloseHandle(snapshot);
  return found;
}

class WineDeviceThread : public ::testing::Environment {
 public:
  void SetUp() override {
    if (Export(L"ntdll.dll", "wine_get_version") == nullptr) return;  // Windows
    const auto describe = reinterpret_cast<GetDescription>(
        reinterpret_cast<void*>(Export(L"kernel32.dll", "GetThreadDescription")));
    const HWND window = ::CreateWindowExW(0, L"STATIC", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                          nullptr, nullptr);
    bool runs = false;
    if (describe != nullptr && tarvik::win32::RegisterForDeviceInterfaces(window)) {
      const ULONGLONG deadline = ::GetTickCount64() + 5000;
      while (!(runs = NotificationThreadRuns(describe)) && ::GetTickCount64() < deadline)
        ::Sleep(1);
    }
    if (!runs) std::fputs("Wine's device-notification thread was not seen running\n", stderr);
    ::DestroyWindow(window);
  }
};

[[maybe_unused]] const auto* const kWineDeviceThread =
    ::testing::AddGlobalTestEnvironment(new WineDeviceThread);

}  // namespace
