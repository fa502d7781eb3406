// What the window draws itself: the colours of labels and lists, the logo
// and the glyphs.
#include "control_ids.h"
#include "dpi.h"
#include "form_window.h"
#include "glyphs.h"

namespace tarvik::win32 {
namespace {

using form::ControlDescription;
using form::Id;

constexpr UINT kLargeLogoFromDpi = 144;  // 150 % and up draw from the double-size logo

COLORREF ColourOf(const ControlDescription& c) {
  if (c.colour == form::Colour::Text) return ::GetSysColor(COLOR_WINDOWTEXT);
  const form::Rgb rgb = form::ColourValue(c.colour);
  return RGB(rgb.red, rgb.green, rgb.blue);
}

}  // namespace

LRESULT FormWindow::OnControlColour(HDC dc, HWND control) {
  // Labels, lists, the panel and the check box sit on the face colour, so
  // the lists read as printed text; labels have their own text colours.
  Id which = Id::Form1;
  const bool ours = FormIdOf(::GetDlgCtrlID(control), which);
  ::SetTextColor(dc, ours ? ColourOf(form::Describe(which)) : ::GetSysColor(COLOR_WINDOWTEXT));
  ::SetBkColor(dc, ::GetSysColor(COLOR_BTNFACE));
  return reinterpret_cast<LRESULT>(::GetSysColorBrush(COLOR_BTNFACE));
}

void FormWindow::OnDrawItem(const DRAWITEMSTRUCT& item) {
  Id which = Id::Form1;
  if (item.CtlType != ODT_STATIC || !FormIdOf(static_cast<int>(item.CtlID), which)) return;
  const ControlDescription& c = form::Describe(which);
  if (c.kind == form::Kind::Picture)
    DrawLogo(item.hDC, item.rcItem);
  else if (c.kind == form::Kind::Glyph)
    DrawGlyph(item.hDC, item.rcItem, c.glyph, ColourOf(c), ChosenGlyphFace(), glyphFont_.get());
}

void FormWindow::LoadLogo() {
  logo_ = static_cast<HBITMAP>(::LoadImageW(instance_, L"LOGO", IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION));
  logoLarge_ =
      static_cast<HBITMAP>(::LoadImageW(instance_, L"LOGO2X", IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION));
}

void FormWindow::DrawLogo(HDC dc, const RECT& rect) {
  ::FillRect(dc, &rect, ::GetSysColorBrush(COLOR_BTNFACE));
  // Drawn at its own size at the control's top-left corner, as the form
  // has it, scaled with the window from the sharper of the two bitmaps.
  if (logo_ == nullptr) return;
  BITMAP natural{};
  ::GetObjectW(logo_, sizeof natural, &natural);
  const int width = Scale(natural.bmWidth, dpi_);
  const int height = Scale(natural.bmHeight, dpi_);
  HBITMAP source = dpi_ >= kLargeLogoFromDpi && logoLarge_ != nullptr ? logoLarge_ : logo_;
  BITMAP info{};
  ::GetObjectW(source, sizeof info, &info);
  HDC memory = ::CreateCompatibleDC(dc);
  HGDIOBJ old = ::SelectObject(memory, source);
  if (info.bmWidth == width && info.bmHeight == height) {
    ::BitBlt(dc, rect.left, rect.top, width, height, memory, 0, 0, SRCCOPY);
  } else {
    ::SetStretchBltMode(dc, HALFTONE);
    ::SetBrushOrgEx(dc, 0, 0, nullptr);
    ::StretchBlt(dc, rect.left, rect.top, width, height, memory, 0, 0, info.bmWidth, info.bmHeight,
                 SRCCOPY);
  }
  ::SelectObject(memory, old);
  ::DeleteDC(memory);
}

}  // namespace tarvik::win32
