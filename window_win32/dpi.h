#pragma once
// The screen's scale. The form is drawn in pixels at 96 dpi; the window
// multiplies every place, size and font height by its own DPI / 96. The
// functions newer than Windows 7 are looked up at run time, each with a
// fallback, so the program runs on Windows 7 to 11.
#include "win32_headers.h"

namespace tarvik::win32 {

inline constexpr UINT kDesignDpi = 96;

// Per-monitor (v2 where there is one) DPI awareness for the process, else
// system awareness. The manifest asks for the same; this covers systems
// that do not read it. Call before the first window exists.
void EnableDpiAwareness();

// The window's DPI: GetDpiForWindow (Windows 10), else the screen's
// LOGPIXELSY.
UINT DpiOfWindow(HWND window);

// A 96-dpi length at dpi, rounded to the nearest pixel.
inline int Scale(int length96, UINT dpi) {
  return ::MulDiv(length96, static_cast<int>(dpi), static_cast<int>(kDesignDpi));
}

// The outer size of a window whose client area is width x height:
// AdjustWindowRectExForDpi (Windows 10), else AdjustWindowRectEx.
SIZE OuterSize(int width, int height, DWORD style, DWORD exStyle, UINT dpi);

}  // namespace tarvik::win32
