#pragma once
// Text is UTF-8 inside the program and UTF-16 at the system's W functions:
// converted here, at the boundary, so that the Russian texts show on any
// Windows whatever its ANSI code page.
#include <string>
#include <string_view>

namespace tarvik::win32 {

// Invalid UTF-8 becomes U+FFFD; never fails.
std::wstring Widen(std::string_view utf8);
// Unpaired surrogates become U+FFFD; never fails.
std::string Narrow(std::wstring_view utf16);

}  // namespace tarvik::win32
