// The native side of the main window on Windows, on a real (message-only,
// Unicode) window: the registration for device interfaces, the fixed border,
// and the device-change message from lParam to the handler.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "device_link/device_broadcast.h"
#include "device_window_win32.h"

namespace tarvik {
namespace {

using Bytes = std::vector<std::uint8_t>;

struct Received {
  int calls = 0;
  std::uint32_t code = 0;
  std::string name;
};
Received received;

LRESULT CALLBACK Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  const bool taken = win32::TakeDeviceChange(
      message, wParam, lParam, [](std::uint32_t code, const std::uint8_t* record, std::size_t size) {
        ++received.calls;
        received.code = code;
        const auto info = ParseBroadcastRecord(record, size);
        received.name = info ? info->name : "<unreadable>";
      });
  return taken ? 0 : ::DefWindowProcW(window, message, wParam, lParam);
}

// Created as Qt creates its top-level windows: Unicode, with a sizing frame.
class Win32DeviceWindow : public ::testing::Test {
 protected:
  void SetUp() override {
    WNDCLASSW windowClass{};
    windowClass.lpfnWndProc = Procedure;
    windowClass.hInstance = ::GetModuleHandleW(nullptr);
    windowClass.lpszClassName = L"TarvikDeviceWindowTest";
    ::RegisterClassW(&windowClass);  // fails harmlessly when it exists
    window = ::CreateWindowExW(0, windowClass.lpszClassName, L"", kQtStyle, 0, 0, 622, 409,
                               HWND_MESSAGE, nullptr, windowClass.hInstance, nullptr);
    ASSERT_NE(window, nullptr);
    received = {};
  }
  void TearDown() override {
    if (window != nullptr) ::DestroyWindow(window);
  }

  static constexpr DWORD kQtStyle =
      WS_POPUP | WS_CAPTION | WS_THICKFRAME | WS_SYSMENU | WS_MINIMIZEBOX | WS_MAXIMIZEBOX;
  HWND window = nullptr;
};

// DEV_BROADCAST_DEVICEINTERFACE_W as a Unicode window receives it.
Bytes WideRecord(std::uint32_t type, const wchar_t* name) {
  const std::size_t units = std::wcslen(name) + 1;
  Bytes bytes(kBroadcastHeaderSize + 2 * units, 0);
  const auto size = static_cast<std::uint32_t>(bytes.size());
  std::memcpy(bytes.data(), &size, 4);
  std::memcpy(bytes.data() + 4, &type, 4);
  std::memcpy(bytes.data() + kBroadcastHeaderSize, name, 2 * units);
  return bytes;
}

TEST_F(Win32DeviceWindow, RegistersForDeviceInterfaces) {
  EXPECT_TRUE(::IsWindowUnicode(window));
  EXPECT_TRUE(win32::RegisterForDeviceInterfaces(window));
}

TEST_F(Win32DeviceWindow, DeviceChangeMessagesReachTheHandlerNarrowedAndAreAnsweredWithZero) {
  const wchar_t* bridge = L"\\\\?\\USB#VID_10C4&PID_EA60#0001#{a5dcbf10-6530-11d2-901f-00c04fb951ed}";
  const Bytes wide = WideRecord(kDbtDevtypDeviceInterface, bridge);
  const BroadcastRecord narrow = BuildBroadcastRecord(kDbtDevtypDeviceInterface, "\\\\?\\usb#x#2");
  Bytes cut = wide;
  const std::uint32_t cutSize = kBroadcastHeaderSize + 2 * 8;  // 8 characters
  std::memcpy(cut.data(), &cutSize, 4);
  struct Row {
    const char* what;
    WPARAM code;
    const std::uint8_t* record;
    int calls;
    std::string name;
  };
  const Row rows[] = {
      {"arrival, UTF-16 name", 0x8000, wide.data(), 1,
       "\\\\?\\USB#VID_10C4&PID_EA60#0001#{a5dcbf10-6530-11d2-901f-00c04fb951ed}"},
      {"removal, 8-bit name", 0x8004, narrow.data(), 1, "\\\\?\\usb#x#2"},
      {"size field ends the name", 0x8000, cut.data(), 1, "\\\\?\\USB#"},
      {"arrival without a record", 0x8000, nullptr, 0, ""},
      {"query remove", 0x8001, wide.data(), 0, ""},
      {"device nodes changed", 0x0007, nullptr, 0, ""},
  };
  for (const auto& row : rows) {
    received = {};
    const LRESULT result = ::SendMessageW(window, WM_DEVICECHANGE, row.code,
                                          reinterpret_cast<LPARAM>(row.record));
    EXPECT_EQ(result, 0) << row.what;
    EXPECT_EQ(received.calls, row.calls) << row.what;
    if (row.calls == 0) continue;
    EXPECT_EQ(received.code, row.code) << row.what;
    EXPECT_EQ(received.name, row.name) << row.what;
  }
}

TEST_F(Win32DeviceWindow, OtherMessagesAreNotTaken) {
  const Bytes wide = WideRecord(kDbtDevtypDeviceInterface, L"USB#VID_10C4&PID_EA60");
  int calls = 0;
  for (const UINT message : {UINT{WM_USER}, UINT{WM_SIZE}, UINT{WM_DEVICECHANGE + 1}}) {
    EXPECT_FALSE(win32::TakeDeviceChange(message, 0x8000, reinterpret_cast<LPARAM>(wide.data()),
                                         [&calls](auto, auto, auto) { ++calls; }));
  }
  EXPECT_EQ(calls, 0);
}

}  // namespace
}  // namespace tarvik
