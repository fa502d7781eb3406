#pragma once
// A welcome file that is not rich text, as text: the same decoding as the
// Linux window's.
#include <string>
#include <string_view>

namespace tarvik::win32 {

// A byte-order mark decides (UTF-8, UTF-16 or UTF-32, either byte order);
// without one the bytes are UTF-8 when they are valid UTF-8, else the
// Cyrillic code page 1251. Zero characters are dropped: they are never
// content, and would end the text early in the box.
std::wstring DecodePlainText(std::string_view bytes);

}  // namespace tarvik::win32
