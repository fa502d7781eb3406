// The program entry on Windows: the native window over the Win32 platform
// layers, and the message loop. The program ends when the window closes. It
// reads no command line.
#include "platform_layers.h"
#include "window_win32/dpi.h"
#include "window_win32/form_window.h"
#include "window_win32/message_loop.h"
#include "window_win32/win32_headers.h"

#include <commctrl.h>

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int showCommand) {
  tarvik::win32::EnableDpiAwareness();
  INITCOMMONCONTROLSEX controls{sizeof controls,
                                ICC_STANDARD_CLASSES | ICC_TAB_CLASSES | ICC_PROGRESS_CLASS |
                                    ICC_BAR_CLASSES};
  ::InitCommonControlsEx(&controls);

  PlatformLayers platform;
  tarvik::win32::FormWindow Form1(platform.serial(), platform.devices(), instance);
  Form1.Show(showCommand);
  return tarvik::win32::RunMessageLoop(Form1);
}
