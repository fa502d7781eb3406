#pragma once
// The form's fonts at the window's DPI. The form was drawn in "MS Sans
// Serif", a bitmap font that has only a few sizes and so blurs or jumps when
// scaled; its TrueType twin comes first, then fonts of the same build that
// every Windows, or Wine through the host's fonts, has.
#include <string>
#include <vector>

#include "win32_headers.h"

namespace tarvik::win32 {

// The families tried for the texts, in order.
const std::vector<std::wstring>& TextFamilies();

// The first of TextFamilies() the system has (looked up once).
const std::wstring& TextFamily();

// True when the system has a font of that family.
bool HasFontFamily(const std::wstring& family);

// A font of the text family whose characters are pixelHeight96 pixels high
// at 96 dpi, scaled to dpi.
HFONT CreateTextFont(int pixelHeight96, bool bold, UINT dpi);

// Deletes a font on leaving scope.
class FontHandle {
 public:
  FontHandle() = default;
  explicit FontHandle(HFONT font) : font_(font) {}
  ~FontHandle() { Reset(); }
  FontHandle(FontHandle&& other) noexcept : font_(other.font_) { other.font_ = nullptr; }
  FontHandle& operator=(FontHandle&& other) noexcept {
    if (this != &other) {
      Reset();
      font_ = other.font_;
      other.font_ = nullptr;
    }
    return *this;
  }
  FontHandle(const FontHandle&) = delete;
  FontHandle& operator=(const FontHandle&) = delete;
  HFONT get() const { return font_; }
  void Reset() {
    if (font_ != nullptr) ::DeleteObject(font_);
    font_ = nullptr;
  }

 private:
  HFONT font_ = nullptr;
};

}  // namespace tarvik::win32
