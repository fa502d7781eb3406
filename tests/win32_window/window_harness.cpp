#include "window_harness.h"

#include <commctrl.h>

#include <cstring>

#include "device_link/device_broadcast.h"
#include "window_win32/control_ids.h"
#include "window_win32/message_loop.h"
#include "window_win32/wide_text.h"

namespace tarvik::testing {

using win32::Narrow;
using win32::Widen;

// --- the directory --------------------------------------------------------

WelcomeDirectory::WelcomeDirectory() {
  wchar_t previous[MAX_PATH] = {};
  ::GetCurrentDirectoryW(MAX_PATH, previous);
  previous_ = previous;
  wchar_t temp[MAX_PATH] = {};
  ::GetTempPathW(MAX_PATH, temp);
  static int counter = 0;
  for (;;) {
    path_ = std::wstring(temp) + L"tarvik-window-" + std::to_wstring(::GetCurrentProcessId()) +
            L"-" + std::to_wstring(++counter);
    if (::CreateDirectoryW(path_.c_str(), nullptr)) break;
  }
  ::SetCurrentDirectoryW(path_.c_str());
}

WelcomeDirectory::WelcomeDirectory(const std::string& welcomeBytes) : WelcomeDirectory() {
  Write("text.rtf", welcomeBytes);
}

WelcomeDirectory::~WelcomeDirectory() {
  ::SetCurrentDirectoryW(previous_.c_str());
  WIN32_FIND_DATAW found{};
  HANDLE search = ::FindFirstFileW((path_ + L"\\*").c_str(), &found);
  if (search != INVALID_HANDLE_VALUE) {
    do {
      const std::wstring name = found.cFileName;
      if (name == L"." || name == L"..") continue;
      const std::wstring full = path_ + L"\\" + name;
      if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
        ::RemoveDirectoryW(full.c_str());
      else
        ::DeleteFileW(full.c_str());
    } while (::FindNextFileW(search, &found));
    ::FindClose(search);
  }
  ::RemoveDirectoryW(path_.c_str());
}

void WelcomeDirectory::Write(const std::string& name, const std::string& bytes) const {
  const std::wstring full = path_ + L"\\" + Widen(name);
  HANDLE file = ::CreateFileW(full.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return;
  DWORD written = 0;
  ::WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
  ::CloseHandle(file);
}

// --- reading controls ------------------------------------------------------

std::wstring TextOf(HWND control) {
  const auto length = ::SendMessageW(control, WM_GETTEXTLENGTH, 0, 0);
  std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
  const auto got = ::SendMessageW(control, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()));
  text.resize(static_cast<std::size_t>(got));
  return text;
}

std::vector<std::wstring> LinesOf(HWND list) {
  std::vector<std::wstring> lines;
  const auto count = ::SendMessageW(list, LB_GETCOUNT, 0, 0);
  for (LRESULT i = 0; i < count; ++i) {
    std::wstring line(static_cast<std::size_t>(::SendMessageW(list, LB_GETTEXTLEN, i, 0)) + 1, L'\0');
    const auto got = ::SendMessageW(list, LB_GETTEXT, i, reinterpret_cast<LPARAM>(line.data()));
    line.resize(got < 0 ? 0 : static_cast<std::size_t>(got));
    lines.push_back(line);
  }
  return lines;
}

std::wstring ClassOf(HWND control) {
  wchar_t name[64] = {};
  ::GetClassNameW(control, name, 64);
  return name;
}

bool Shown(HWND control) {
  return control != nullptr && (::GetWindowLongPtrW(control, GWL_STYLE) & WS_VISIBLE) != 0;
}

bool Enabled(HWND control) { return control != nullptr && ::IsWindowEnabled(control) != FALSE; }

int BarOf(HWND bar) { return static_cast<int>(::SendMessageW(bar, PBM_GETPOS, 0, 0)); }

RECT PlaceOf(HWND control) {
  RECT rect{};
  ::GetWindowRect(control, &rect);
  ::MapWindowPoints(HWND_DESKTOP, ::GetParent(control), reinterpret_cast<POINT*>(&rect), 2);
  return rect;
}

// --- the error box ----------------------------------------------------------

ErrorBoxWatcher::ErrorBoxWatcher() : thread_([this] { Watch(); }) {}

ErrorBoxWatcher::~ErrorBoxWatcher() { Finish(); }

bool ErrorBoxWatcher::Finish() {
  stop_ = true;
  if (thread_.joinable()) thread_.join();
  return boxes_ > 0;
}

namespace {

// A top-level window of this process, of a class.
struct WindowSearch {
  DWORD process;
  const wchar_t* className;
  HWND found = nullptr;
};

BOOL CALLBACK FindOwnWindow(HWND window, LPARAM param) {
  auto& search = *reinterpret_cast<WindowSearch*>(param);
  DWORD process = 0;
  ::GetWindowThreadProcessId(window, &process);
  if (process != search.process || ClassOf(window) != search.className) return TRUE;
  search.found = window;
  return FALSE;
}

HWND OwnWindow(const wchar_t* className) {
  WindowSearch search{::GetCurrentProcessId(), className};
  ::EnumWindows(FindOwnWindow, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

struct BoxParts {
  bool icon = false;
  int buttons = 0;
  bool ok = false;
};

BOOL CALLBACK ReadPart(HWND child, LPARAM param) {
  auto& parts = *reinterpret_cast<BoxParts*>(param);
  const auto style = ::GetWindowLongPtrW(child, GWL_STYLE);
  if (ClassOf(child) == L"Static" && (style & SS_TYPEMASK) == SS_ICON &&
      ::SendMessageW(child, STM_GETICON, 0, 0) != 0)
    parts.icon = true;
  if (_wcsicmp(ClassOf(child).c_str(), L"Button") == 0 && (style & WS_VISIBLE)) {
    ++parts.buttons;
    parts.ok = parts.ok || ::GetDlgCtrlID(child) == IDOK;
  }
  return TRUE;
}

}  // namespace

void ErrorBoxWatcher::Watch() {
  // Polls until told to stop; a box is read, then closed with its OK.
  while (!stop_) {
    HWND box = OwnWindow(L"#32770");
    if (box == nullptr || !::IsWindowVisible(box)) {
      ::Sleep(5);
      continue;
    }
    ++boxes_;
    text = TextOf(::GetDlgItem(box, 0xFFFF));
    caption = TextOf(box);
    BoxParts parts;
    ::EnumChildWindows(box, ReadPart, reinterpret_cast<LPARAM>(&parts));
    stopIcon = parts.icon;
    onlyOk = parts.buttons == 1 && parts.ok;
    HWND form = OwnWindow(win32::kFormWindowClass);
    formVisibleMeanwhile = form != nullptr && ::IsWindowVisible(form);
    ::PostMessageW(box, WM_COMMAND, IDOK, 0);
    while (!stop_ && ::IsWindow(box)) ::Sleep(5);
  }
}

// --- the window -------------------------------------------------------------

WindowHarness::WindowHarness(const std::string& welcomeBytes) : directory(welcomeBytes) {
  serial.ports.clear();  // no port opens until a test plugs the bridge in
  window = std::make_unique<win32::FormWindow>(serial, devices);
  window->Show(SW_SHOWNORMAL);
  RunUntilIdle();
}

WindowHarness::~WindowHarness() {
  window.reset();
  // Whatever the window left in the thread's queue goes with it.
  MSG msg;
  while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
  }
  bootloader.reset();
}

void WindowHarness::PlugInBridge() {
  serial.ports = {"COM3"};
  devices.devices = {FakeDevice{std::string(kBridgeName), std::string("CP2102")}};
  if (!bootloader) bootloader = std::make_unique<FakeBootloader>(serial);
}

void WindowHarness::Click(form::Id id) const { ::SendMessageW(Control(id), BM_CLICK, 0, 0); }

bool WindowHarness::RunUntilIdle() { return win32::RunUntilIdle(*window); }

std::vector<std::uint8_t> DeviceRecord(const std::string& path, bool wide, std::uint32_t type) {
  // The name with its terminating zero, one or two bytes a character.
  const std::size_t unit = wide ? 2 : 1;
  std::vector<std::uint8_t> record(kBroadcastHeaderSize + unit * (path.size() + 1), 0);
  for (std::size_t i = 0; i < path.size(); ++i)
    record[kBroadcastHeaderSize + unit * i] = static_cast<std::uint8_t>(path[i]);
  const auto size = static_cast<std::uint32_t>(record.size());
  std::memcpy(record.data(), &size, 4);
  std::memcpy(record.data() + 4, &type, 4);
  return record;
}

LRESULT WindowHarness::SendDeviceChange(std::uint32_t code, const std::string& path, bool wide) const {
  const std::vector<std::uint8_t> record = DeviceRecord(path, wide);
  return ::SendMessageW(window->Handle(), WM_DEVICECHANGE, code, reinterpret_cast<LPARAM>(record.data()));
}

void WindowHarness::ConnectOnPage3() {
  Click(form::Id::btnNEXT);
  Click(form::Id::btnNEXT);
  Click(form::Id::btnConnect);
}

}  // namespace tarvik::testing
