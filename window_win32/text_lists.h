#pragma once
// The multi-line texts of the pages and the side panel: list boxes without a
// border, in the face colour, one line an item, so that they read as printed
// text while every line stays a list item for screen readers (LB_GETTEXT).
#include <span>

#include "win32_headers.h"

namespace tarvik::win32 {

// Window styles of such a list: no border, the exact height the form gives
// it, a scroll bar only should the lines not fit.
DWORD TextListStyle();

// Adds the lines (UTF-8), one item each, in order.
void FillTextList(HWND list, std::span<const char* const> lines);

}  // namespace tarvik::win32
