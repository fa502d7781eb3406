#pragma once
// The program's error box: the toolkit's critical icon, OK, and the
// application title (made from the program file's name) as its caption.
#include <string_view>

namespace tarvik::ui {

// Shows the box without a parent (no window is shown yet) and returns when
// it is closed. The application object must exist.
void ShowErrorBox(std::string_view utf8);

}  // namespace tarvik::ui
