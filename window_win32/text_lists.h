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

// Whether a text list shows that it has the focus. Printed text has no focus
// frame: a list draws none when the focus came with a page change, from the
// program or from a click, and draws it when the user moved there with Tab
// or Shift+Tab, so that the keyboard's user sees where the focus is.
class FocusCues {
 public:
  FocusCues() = default;
  FocusCues(const FocusCues&) = delete;
  FocusCues& operator=(const FocusCues&) = delete;

  // The list follows these cues until it is destroyed.
  void Follow(HWND list);

  // While one that moves lives, the focus moves by Tab or Shift+Tab.
  class Tabbing {
   public:
    Tabbing(FocusCues& cues, bool moves);
    ~Tabbing();
    Tabbing(const Tabbing&) = delete;
    Tabbing& operator=(const Tabbing&) = delete;

   private:
    FocusCues& cues_;
    bool was_;
  };

 private:
  static LRESULT CALLBACK ListProc(HWND list, UINT message, WPARAM wParam, LPARAM lParam,
                                   UINT_PTR id, DWORD_PTR cues);
  bool tabbing_ = false;
  HWND untold_ = nullptr;  // has the focus, but was not told: draws no frame
};

}  // namespace tarvik::win32
