#pragma once
// The program's error box: a stop icon, OK, and the application title (made
// from the program file's name) as its caption.
#include <string>
#include <string_view>

namespace tarvik::win32 {

// The full path of the running program's file, UTF-8.
std::string ProgramFilePath();

// Shows the box without an owner (the window is not shown yet) and returns
// when it is closed.
void ShowErrorBox(std::string_view utf8);

}  // namespace tarvik::win32
