// The window at other scales: a change of DPI (a move to another screen, or
// a new setting) lays every control out and makes every font again, from
// the form's 96-dpi values; and the fonts the window picks.
#include <gtest/gtest.h>

#include "window_harness.h"
#include "window_win32/dpi.h"
#include "window_win32/fonts.h"
#include "window_win32/glyphs.h"

namespace tarvik::testing {
namespace {

using form::ControlDescription;
using form::Id;
using form::Kind;

int FontHeight(HWND control) {
  HFONT font = reinterpret_cast<HFONT>(::SendMessageW(control, WM_GETFONT, 0, 0));
  LOGFONTW info{};
  ::GetObjectW(font, sizeof info, &info);
  return info.lfHeight;
}

class WindowScaled : public ::testing::TestWithParam<UINT> {};

TEST_P(WindowScaled, EveryPlaceSizeAndFontFollowsTheNewDpi) {
  const UINT dpi = GetParam();
  WindowHarness h;
  RECT suggested{368, 173, 368 + 2000, 173 + 1500};
  ::SendMessageW(h.window->Handle(), WM_DPICHANGED, MAKEWPARAM(dpi, dpi), reinterpret_cast<LPARAM>(&suggested));
  ASSERT_EQ(h.window->Dpi(), dpi);
  RECT client{};
  ::GetClientRect(h.window->Handle(), &client);
  EXPECT_EQ(client.right, win32::Scale(622, dpi));
  EXPECT_EQ(client.bottom, win32::Scale(409, dpi));
  for (const ControlDescription& c : form::Controls()) {
    if (c.kind == Kind::Window || c.kind == Kind::Page) continue;
    SCOPED_TRACE(c.name);
    const RECT place = PlaceOf(h.Control(c.id));
    EXPECT_EQ(place.top, win32::Scale(c.rect.top, dpi));
    EXPECT_EQ(place.bottom, win32::Scale(c.rect.bottom(), dpi));
    if (c.kind != Kind::Label) {
      EXPECT_EQ(place.left, win32::Scale(c.rect.left, dpi));
      EXPECT_EQ(place.right, win32::Scale(c.rect.right(), dpi));
    }
    if (c.kind == Kind::Label || c.kind == Kind::TextList || c.kind == Kind::Button ||
        c.kind == Kind::CheckBox) {
      EXPECT_EQ(FontHeight(h.Control(c.id)), -win32::Scale(c.font.pixelHeight, dpi));
    }
  }
}

// (A window is never larger than the screen, and Wine's headless screen is
// 1024 x 768: 200 % is checked on the screenshots instead.)
INSTANTIATE_TEST_SUITE_P(Dpi, WindowScaled, ::testing::Values(120u, 144u, 96u),
                         [](const auto& info) { return std::to_string(info.param) + "dpi"; });

TEST(WindowFonts, TheTextsUseTheFirstFamilyTheSystemHasAndTheGlyphsAFontWithThem) {
  const std::wstring& family = win32::TextFamily();
  EXPECT_TRUE(win32::HasFontFamily(family)) << "some family of the list is there";
  WindowHarness h;
  HFONT font = reinterpret_cast<HFONT>(::SendMessageW(h.Control(Id::Label1), WM_GETFONT, 0, 0));
  LOGFONTW info{};
  ::GetObjectW(font, sizeof info, &info);
  EXPECT_EQ(std::wstring(info.lfFaceName), family);
  EXPECT_EQ(info.lfWeight, FW_BOLD);

  const win32::GlyphFace& face = win32::ChosenGlyphFace();
  if (win32::HasFontFamily(L"Wingdings")) {
    EXPECT_EQ(face.source, win32::GlyphFace::Source::Wingdings);
  } else if (win32::HasFontFamily(L"DejaVu Sans")) {
    // Wine sees the host's fonts, and has no Wingdings of its own.
    EXPECT_EQ(face.source, win32::GlyphFace::Source::Unicode);
    EXPECT_TRUE(win32::HasUnicodeGlyphs(face.family));
  }
  EXPECT_FALSE(win32::HasUnicodeGlyphs(L"No Such Font Family"));
}

}  // namespace
}  // namespace tarvik::testing

namespace tarvik::testing {
namespace {

// Draws a glyph into a bitmap of its box and counts the pixels in its colour.
int GlyphPixels(const win32::GlyphFace& face, form::Glyph glyph, COLORREF colour) {
  BITMAPINFO info{};
  info.bmiHeader = {sizeof(BITMAPINFOHEADER), 54, -75, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
  void* bits = nullptr;
  HDC dc = ::CreateCompatibleDC(nullptr);
  HBITMAP bitmap = ::CreateDIBSection(dc, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  HGDIOBJ old = ::SelectObject(dc, bitmap);
  HFONT font = win32::CreateGlyphFont(face, 96);
  const RECT box{0, 0, 54, 75};
  win32::DrawGlyph(dc, box, glyph, colour, face, font);
  ::GdiFlush();
  int count = 0;
  const auto* pixels = static_cast<const std::uint32_t*>(bits);
  const std::uint32_t wanted = (GetRValue(colour) << 16) | (GetGValue(colour) << 8) | GetBValue(colour);
  for (int i = 0; i < 54 * 75; ++i) count += (pixels[i] & 0xFFFFFF) == wanted;
  ::SelectObject(dc, old);
  ::DeleteObject(bitmap);
  ::DeleteDC(dc);
  if (font != nullptr) ::DeleteObject(font);
  return count;
}

TEST(WindowGlyphs, TheCheckMarkAndTheCrossShowInTheirColoursWhicheverWayTheyAreDrawn) {
  const win32::GlyphFace polygon{};
  std::vector<win32::GlyphFace> faces = {polygon, win32::ChosenGlyphFace()};
  for (const win32::GlyphFace& face : faces) {
    SCOPED_TRACE(static_cast<int>(face.source));
    for (const auto glyph : {form::Glyph::Check, form::Glyph::Cross}) {
      const COLORREF colour = glyph == form::Glyph::Check ? RGB(0, 128, 0) : RGB(255, 0, 0);
      // A solid mark: a good part of the box, and not all of it.
      const int pixels = GlyphPixels(face, glyph, colour);
      EXPECT_GT(pixels, 54 * 75 / 10);
      EXPECT_LT(pixels, 54 * 75 / 2);
    }
  }
}

}  // namespace
}  // namespace tarvik::testing
