#pragma once
// The native window in the test's own process, over fake platform layers,
// in a directory of its own that holds a plain-text "text.rtf"; and the
// means to drive it as a user or a screen reader would: find a control,
// click it, read its text and state.
#include <atomic>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "tests/fakes/fake_bootloader.h"
#include "tests/fakes/fake_device_info_api.h"
#include "tests/fakes/fake_serial_api.h"
#include "window_win32/form_window.h"
#include "window_win32/win32_headers.h"

namespace tarvik::testing {

inline constexpr char kTestWelcomeText[] = "Welcome text of the tests";
inline constexpr char kBridgePath[] =
    "\\\\?\\USB#VID_10C4&PID_EA60#0001#{a5dcbf10-6530-11d2-901f-00c04fb951ed}";
inline constexpr char kBridgeName[] = "Silicon Labs CP210x USB to UART Bridge (COM3)";

// A fresh directory made the current one; "text.rtf" in it when given.
// The previous current directory comes back, and the directory goes, at the end.
class WelcomeDirectory {
 public:
  WelcomeDirectory();
  explicit WelcomeDirectory(const std::string& welcomeBytes);
  ~WelcomeDirectory();
  WelcomeDirectory(const WelcomeDirectory&) = delete;
  WelcomeDirectory& operator=(const WelcomeDirectory&) = delete;

  void Write(const std::string& name, const std::string& bytes) const;
  std::wstring Path() const { return path_; }  // without a trailing backslash
  std::wstring WelcomePath() const { return path_ + L"\\text.rtf"; }

 private:
  std::wstring path_;
  std::wstring previous_;
};

// What a control shows, through the messages a screen reader uses.
std::wstring TextOf(HWND control);
std::vector<std::wstring> LinesOf(HWND list);
std::wstring ClassOf(HWND control);
// Shown: the control's own visibility (its page may be hidden).
bool Shown(HWND control);
bool Enabled(HWND control);
int BarOf(HWND bar);
// Place and size in the parent's client area.
RECT PlaceOf(HWND control);

// The error box, found from another thread of the process, read and closed
// with OK.
class ErrorBoxWatcher {
 public:
  ErrorBoxWatcher();
  ~ErrorBoxWatcher();
  ErrorBoxWatcher(const ErrorBoxWatcher&) = delete;
  ErrorBoxWatcher& operator=(const ErrorBoxWatcher&) = delete;

  // Waits for the thread; true when it found a box (and closed it).
  bool Finish();
  int boxes() const { return boxes_; }
  std::wstring text;
  std::wstring caption;
  bool stopIcon = false;
  bool onlyOk = false;
  bool formVisibleMeanwhile = false;  // the main window showed while the box did

 private:
  void Watch();
  std::thread thread_;
  int boxes_ = 0;
  std::atomic<bool> stop_ = false;
};

// The window over fakes: no port opens and no device is present until the
// test plugs the bridge in. Shown, as the program shows it.
struct WindowHarness {
  explicit WindowHarness(const std::string& welcomeBytes = kTestWelcomeText);
  ~WindowHarness();

  // The bridge on COM3 with a bootloader that answers everything.
  void PlugInBridge();

  HWND Control(form::Id id) const { return window->Control(id); }
  bool Shown(form::Id id) const { return testing::Shown(Control(id)); }
  bool Enabled(form::Id id) const { return testing::Enabled(Control(id)); }
  std::wstring Text(form::Id id) const { return TextOf(Control(id)); }
  // BM_CLICK, as a mouse click or a screen reader's "press" does it.
  void Click(form::Id id) const;
  // One round of the main loop: every waiting message, then the idle step.
  bool RunUntilIdle();
  // Sends WM_DEVICECHANGE with a record as the system does (8-bit or UTF-16 name).
  LRESULT SendDeviceChange(std::uint32_t code, const std::string& path, bool wide) const;
  // Next from page 1 to page 3, then Connect.
  void ConnectOnPage3();

  WelcomeDirectory directory;
  FakeSerialApi serial;
  FakeDeviceInfoApi devices;
  std::unique_ptr<FakeBootloader> bootloader;
  std::unique_ptr<win32::FormWindow> window;
};

// A device-interface record as the window receives it.
std::vector<std::uint8_t> DeviceRecord(const std::string& path, bool wide, std::uint32_t type = 5);

}  // namespace tarvik::testing
