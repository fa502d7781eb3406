#include "text_lists.h"

#include "wide_text.h"

namespace tarvik::win32 {

DWORD TextListStyle() { return LBS_NOINTEGRALHEIGHT | LBS_HASSTRINGS | WS_VSCROLL; }

void FillTextList(HWND list, std::span<const char* const> lines) {
  for (const char* line : lines)
    ::SendMessageW(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(Widen(line).c_str()));
}

}  // namespace tarvik::win32
