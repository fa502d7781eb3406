#pragma once
// What a screen reader (MSAA: Narrator, NVDA) gets of a control beyond what
// Windows' own proxy gives it: a name and a role of the form's choosing. A
// list box used as text reads as static text with its lines joined, not as
// a list; the bars, the glyphs and the logo have names; an announcer is an
// alert whose name is what is said. Everything else (place, state, parent,
// value, focus) is still the system proxy's.
#include <string>

#include "win32_headers.h"

namespace tarvik::win32 {

// The thread's COM apartment, which handing an accessible object to a
// screen reader (LresultFromObject) needs; left as it was at the end.
class ComApartment {
 public:
  ComApartment();
  ~ComApartment();
  ComApartment(const ComApartment&) = delete;
  ComApartment& operator=(const ComApartment&) = delete;

 private:
  bool initialised_ = false;
};

// From now on a screen reader that asks control for its accessible object
// gets this name and role; childless hides the items of a list. Until the
// control is destroyed.
void OverrideAccessible(HWND control, const std::wstring& name, long role, bool childless);

}  // namespace tarvik::win32
