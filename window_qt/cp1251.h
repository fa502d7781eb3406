#pragma once
// Single-byte Windows code pages as Unicode: Cyrillic (1251), the language of
// the welcome text, and Western (1252), the default of rich text written on a
// non-Russian system. Our own tables, because Qt decodes these code pages only
// where it was built with ICU.
#include <string>
#include <string_view>

namespace tarvik {

inline constexpr int kCodePageCyrillic = 1251;
inline constexpr int kCodePageWestern = 1252;

// Bytes below 0x80 are ASCII in both; the few unassigned bytes give U+FFFD.
char16_t Cp1251ToUnicode(unsigned char byte);
char16_t Cp1252ToUnicode(unsigned char byte);

// 1251 decodes as Cyrillic; every other code page falls back to 1252, which
// at least keeps the ASCII half right.
char16_t SingleByteToUnicode(int codePage, unsigned char byte);

std::u16string DecodeSingleByte(int codePage, std::string_view bytes);

}  // namespace tarvik
