#include "text_lists.h"

#include <commctrl.h>

#include "wide_text.h"

namespace tarvik::win32 {
namespace {

constexpr UINT_PTR kFocusCuesSubclassId = 1;

}  // namespace

DWORD TextListStyle() { return LBS_NOINTEGRALHEIGHT | LBS_HASSTRINGS | WS_VSCROLL; }

void FillTextList(HWND list, std::span<const char* const> lines) {
  for (const char* line : lines)
    ::SendMessageW(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(Widen(line).c_str()));
}

void FocusCues::Follow(HWND list) {
  if (list != nullptr)
    ::SetWindowSubclass(list, ListProc, kFocusCuesSubclassId, reinterpret_cast<DWORD_PTR>(this));
}

FocusCues::Tabbing::Tabbing(FocusCues& cues, bool moves) : cues_(cues), was_(cues.tabbing_) {
  cues_.tabbing_ = was_ || moves;
}

FocusCues::Tabbing::~Tabbing() { cues_.tabbing_ = was_; }

LRESULT CALLBACK FocusCues::ListProc(HWND list, UINT message, WPARAM wParam, LPARAM lParam,
                                     UINT_PTR, DWORD_PTR data) {
  auto* cues = reinterpret_cast<FocusCues*>(data);
  switch (message) {
    case WM_SETFOCUS: {
      // Windows' list box leaves the frame out by the list's UI state.
      // Wine's keeps none (the query still answers "all shown") and frames
      // the caret's line whenever it knows it has the focus: there the list
      // is not told of a focus whose frame must not show.
      const bool shows = cues->tabbing_;
      ::SendMessageW(list, WM_UPDATEUISTATE,
                     MAKEWPARAM(shows ? UIS_CLEAR : UIS_SET, UISF_HIDEFOCUS), 0);
      if (!shows && (::SendMessageW(list, WM_QUERYUISTATE, 0, 0) & UISF_HIDEFOCUS) == 0) {
        cues->untold_ = list;
        return 0;
      }
      break;
    }
    case WM_KILLFOCUS:
      // Told of the loss of a focus it never knew of, Wine's list box would
      // draw the frame: it inverts the frame's dots to take it away.
      if (cues->untold_ == list) {
        cues->untold_ = nullptr;
        return 0;
      }
      break;
    case WM_NCDESTROY:
      if (cues->untold_ == list) cues->untold_ = nullptr;
      ::RemoveWindowSubclass(list, ListProc, kFocusCuesSubclassId);
      break;
    default:
      break;
  }
  return ::DefSubclassProc(list, message, wParam, lParam);
}

}  // namespace tarvik::win32
