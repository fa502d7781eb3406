// The program entry on Windows: the check of the embedded firmware, the
// native window over the Win32 platform layers, and the message loop. The
// program ends when the window closes. It reads no command line.
#include "Update_Main/welcome_messages.h"
#include "platform_layers.h"
#include "sha256.h"
#include "window_win32/dpi.h"
#include "window_win32/error_box.h"
#include "window_win32/form_window.h"
#include "window_win32/message_loop.h"
#include "window_win32/win32_headers.h"

#include <commctrl.h>
#include <cstdlib>
#include <string>

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int showCommand) {
  tarvik::win32::EnableDpiAwareness();
  INITCOMMONCONTROLSEX controls{sizeof controls,
                                ICC_STANDARD_CLASSES | ICC_TAB_CLASSES | ICC_PROGRESS_CLASS |
                                    ICC_BAR_CLASSES};
  ::InitCommonControlsEx(&controls);

  // A damaged program file would write damaged firmware: say so and end,
  // before any window and without touching a port.
  const std::string damaged = tarvik::DamagedProgramText(PlatformSha256);
  if (!damaged.empty()) {
    tarvik::win32::ShowErrorBox(damaged);
    return EXIT_FAILURE;
  }

  PlatformLayers platform;
  tarvik::win32::FormWindow Form1(platform.serial(), platform.devices(), instance);
  Form1.Show(showCommand);
  return tarvik::win32::RunMessageLoop(Form1);
}
