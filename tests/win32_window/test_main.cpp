// The window tests start as the program does: DPI awareness and the common
// controls first. The test programs carry the program's resources (icon,
// logo, manifest), so the controls are the same version as the program's.
#include <gtest/gtest.h>

#include "window_win32/dpi.h"
#include "window_win32/win32_headers.h"

#include <commctrl.h>

int main(int argc, char** argv) {
  tarvik::win32::EnableDpiAwareness();
  INITCOMMONCONTROLSEX controls{sizeof controls, ICC_STANDARD_CLASSES | ICC_TAB_CLASSES |
                                                     ICC_PROGRESS_CLASS | ICC_BAR_CLASSES};
  ::InitCommonControlsEx(&controls);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
