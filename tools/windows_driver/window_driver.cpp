// Drives a running TarvikUpdate.exe from outside, for the screenshots of
// scripts/windows-screenshots.sh (under Wine with an X display): waits for
// the window or its error box, reports where they are, and presses buttons
// by their names on the form. One command a run:
//
//   window_driver wait          the window is shown: prints "RECT x y width height"
//   window_driver box           the error box is shown: prints its RECT, then
//                               "CAPTION ...", "TEXT ..." (UTF-8) and "FORM none",
//                               "FORM hidden" or "FORM shown" for the window
//   window_driver box-ok        presses OK in the error box
//   window_driver click NAME    presses the form's button NAME (btnNEXT, ...)
//   window_driver page          prints the active page, 1 to 5
//   window_driver wait-update   waits until page 4 shows the outcome: prints ok or failed
//   window_driver unplug        tells the window the bridge was pulled out, as
//                               Windows does (WM_DEVICECHANGE, removal complete)
//   window_driver dpi           prints the window's DPI
//   window_driver close         asks the window to close, as its close box does
//
// Exit status 0 on success, 1 when the window (or box) did not come within
// 30 seconds, 2 on a bad command.
#include <cstddef>
#include <cstdio>
#include <cstring>
#include <string>

#include "Update_Main/form_description.h"
#include "window_win32/control_ids.h"
#include "window_win32/dpi.h"
#include "window_win32/wide_text.h"
#include "window_win32/win32_headers.h"

#include <dbt.h>

namespace {

using tarvik::form::Id;

constexpr int kTries = 3000;  // of 10 ms

HWND FindForm() { return ::FindWindowW(tarvik::win32::kFormWindowClass, nullptr); }

struct ControlSearch {
  int id;
  HWND found = nullptr;
};

BOOL CALLBACK MatchId(HWND child, LPARAM param) {
  auto& search = *reinterpret_cast<ControlSearch*>(param);
  if (::GetDlgCtrlID(child) != search.id) return TRUE;
  search.found = child;
  return FALSE;
}

HWND FindControl(HWND form, Id id) {
  ControlSearch search{tarvik::win32::ControlIdOf(id)};
  ::EnumChildWindows(form, MatchId, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

bool IsShown(HWND control) {
  return control != nullptr && (::GetWindowLongPtrW(control, GWL_STYLE) & WS_VISIBLE) != 0;
}

HWND WaitFor(HWND (*find)()) {
  for (int i = 0; i < kTries; ++i) {
    HWND window = find();
    if (window != nullptr && ::IsWindowVisible(window)) return window;
    ::Sleep(10);
  }
  return nullptr;
}

HWND FindBox() { return ::FindWindowW(L"#32770", nullptr); }

void PrintRect(HWND window) {
  RECT rect{};
  ::GetWindowRect(window, &rect);
  std::printf("RECT %ld %ld %ld %ld\n", rect.left, rect.top, rect.right - rect.left,
              rect.bottom - rect.top);
}

void PrintClientRect(HWND window) {
  RECT rect{};
  ::GetClientRect(window, &rect);
  ::MapWindowPoints(window, HWND_DESKTOP, reinterpret_cast<POINT*>(&rect), 2);
  std::printf("RECT %ld %ld %ld %ld\n", rect.left, rect.top, rect.right - rect.left,
              rect.bottom - rect.top);
}

std::string TextOf(HWND window) {
  std::wstring text(static_cast<std::size_t>(::GetWindowTextLengthW(window)) + 1, L'\0');
  text.resize(static_cast<std::size_t>(::GetWindowTextW(window, text.data(),
                                                        static_cast<int>(text.size()))));
  return tarvik::win32::Narrow(text);
}

int ActivePage(HWND form) {
  for (int page = 1; page <= tarvik::form::kPageCount; ++page)
    if (IsShown(FindControl(form, tarvik::form::PageId(page)))) return page;
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) return 2;
  tarvik::win32::EnableDpiAwareness();  // coordinates in real pixels
  const std::string command = argv[1];
  if (command == "box" || command == "box-ok") {
    HWND box = WaitFor(FindBox);
    if (box == nullptr) return 1;
    if (command == "box") {
      PrintRect(box);
      // A message box shows its text in the static control 0xFFFF.
      std::printf("CAPTION %s\nTEXT %s\n", TextOf(box).c_str(),
                  TextOf(::GetDlgItem(box, 0xFFFF)).c_str());
      HWND form = FindForm();
      const char* shown = ::IsWindowVisible(form) ? "shown" : "hidden";
      std::printf("FORM %s\n", form == nullptr ? "none" : shown);
      return 0;
    }
    ::PostMessageW(box, WM_COMMAND, IDOK, 0);
    for (int i = 0; i < kTries && ::IsWindow(box); ++i) ::Sleep(10);
    return 0;
  }
  HWND form = WaitFor(FindForm);
  if (form == nullptr) return 1;
  if (command == "wait") {
    PrintClientRect(form);
    return 0;
  }
  if (command == "dpi") {
    std::printf("%u\n", tarvik::win32::DpiOfWindow(form));
    return 0;
  }
  if (command == "close") {
    ::PostMessageW(form, WM_SYSCOMMAND, SC_CLOSE, 0);
    return 0;
  }
  if (command == "page") {
    std::printf("%d\n", ActivePage(form));
    return 0;
  }
  if (command == "wait-update") {
    for (int i = 0; i < kTries; ++i) {
      const bool ok = IsShown(FindControl(form, Id::txtWriteOK));
      const bool failed = IsShown(FindControl(form, Id::txtWriteFail));
      // Back comes back once the update has ended, whatever its outcome.
      if ((ok || failed) && ::IsWindowEnabled(FindControl(form, Id::btnBACK))) {
        std::printf("%s\n", ok ? "ok" : "failed");
        return 0;
      }
      ::Sleep(10);
    }
    return 1;
  }
  if (command == "unplug") {
    static const wchar_t kPath[] =
        L"\\\\?\\USB#VID_10C4&PID_EA60#0001#{a5dcbf10-6530-11d2-901f-00c04fb951ed}";
    alignas(DEV_BROADCAST_DEVICEINTERFACE_W) unsigned char
        record[offsetof(DEV_BROADCAST_DEVICEINTERFACE_W, dbcc_name) + sizeof kPath] = {};
    auto& header = *reinterpret_cast<DEV_BROADCAST_DEVICEINTERFACE_W*>(record);
    header.dbcc_size = sizeof record;
    header.dbcc_devicetype = DBT_DEVTYP_DEVICEINTERFACE;
    std::memcpy(record + offsetof(DEV_BROADCAST_DEVICEINTERFACE_W, dbcc_name), kPath, sizeof kPath);
    ::SendMessageW(form, WM_DEVICECHANGE, DBT_DEVICEREMOVECOMPLETE, reinterpret_cast<LPARAM>(record));
    return 0;
  }
  if (command == "click" && argc == 3) {
    for (const auto& control : tarvik::form::Controls()) {
      if (control.name != argv[2]) continue;
      HWND button = FindControl(form, control.id);
      if (button == nullptr) return 1;
      ::PostMessageW(button, BM_CLICK, 0, 0);
      return 0;
    }
  }
  return 2;
}
