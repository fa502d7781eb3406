#include "glyphs.h"

#include <array>
#include <cwchar>
#include <vector>

#include "dpi.h"
#include "fonts.h"

namespace tarvik::win32 {
namespace {

constexpr wchar_t kHeavyCheck = 0x2714;
constexpr wchar_t kHeavyBallotX = 0x2718;

int CALLBACK CollectFamily(const LOGFONTW* font, const TEXTMETRICW*, DWORD, LPARAM list) {
  auto& families = *reinterpret_cast<std::vector<std::wstring>*>(list);
  // "@" families are the vertical variants of East Asian fonts.
  if (font->lfFaceName[0] != L'@') families.emplace_back(font->lfFaceName);
  return 1;
}

std::vector<std::wstring> AllFamilies() {
  std::vector<std::wstring> families;
  LOGFONTW query{};
  query.lfCharSet = DEFAULT_CHARSET;
  HDC screen = ::GetDC(nullptr);
  ::EnumFontFamiliesExW(screen, &query, CollectFamily, reinterpret_cast<LPARAM>(&families), 0);
  ::ReleaseDC(nullptr, screen);
  return families;
}

GlyphFace FindGlyphFace() {
  if (HasFontFamily(L"Wingdings")) return {GlyphFace::Source::Wingdings, L"Wingdings"};
  // Windows 7 and later have Segoe UI Symbol; DejaVu Sans is the usual
  // source under Wine.
  for (const wchar_t* likely : {L"Segoe UI Symbol", L"DejaVu Sans", L"Arial Unicode MS"})
    if (HasFontFamily(likely) && HasUnicodeGlyphs(likely)) return {GlyphFace::Source::Unicode, likely};
  for (const std::wstring& family : AllFamilies())
    if (HasUnicodeGlyphs(family)) return {GlyphFace::Source::Unicode, family};
  return {};
}

// The two shapes on a 64-unit square, after the heavy check mark and the
// heavy ballot X.
constexpr std::array<POINT, 6> kCheckOutline = {
    {{4, 36}, {14, 26}, {24, 38}, {50, 8}, {58, 16}, {24, 56}}};
constexpr std::array<POINT, 12> kCrossOutline = {{{6, 14}, {14, 6}, {24, 18}, {34, 6},
                                                  {42, 14}, {31, 27}, {42, 40}, {34, 48},
                                                  {24, 36}, {14, 48}, {6, 40}, {17, 27}}};

void DrawPolygon(HDC dc, const RECT& rect, form::Glyph glyph, COLORREF colour) {
  const int width = rect.right - rect.left;
  const int height = rect.bottom - rect.top;
  const int side = width < height ? width : height;
  const int left = rect.left + (width - side) / 2;
  const int top = rect.top + (height - side) / 2;
  std::vector<POINT> points;
  auto add = [&](const auto& outline) {
    for (const POINT& p : outline)
      points.push_back({left + ::MulDiv(p.x, side, 64), top + ::MulDiv(p.y, side, 64)});
  };
  if (glyph == form::Glyph::Check)
    add(kCheckOutline);
  else
    add(kCrossOutline);
  HBRUSH brush = ::CreateSolidBrush(colour);
  HGDIOBJ oldBrush = ::SelectObject(dc, brush);
  HGDIOBJ oldPen = ::SelectObject(dc, ::GetStockObject(NULL_PEN));
  ::SetPolyFillMode(dc, WINDING);
  ::Polygon(dc, points.data(), static_cast<int>(points.size()));
  ::SelectObject(dc, oldPen);
  ::SelectObject(dc, oldBrush);
  ::DeleteObject(brush);
}

}  // namespace

bool HasUnicodeGlyphs(const std::wstring& family) {
  if (family.empty() || family.size() >= LF_FACESIZE) return false;
  HFONT font = ::CreateFontW(-64, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET,
                             OUT_TT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH,
                             family.c_str());
  if (font == nullptr) return false;
  HDC dc = ::CreateCompatibleDC(nullptr);
  HGDIOBJ old = ::SelectObject(dc, font);
  // The font mapper may have picked another family for a name it lacks.
  wchar_t chosen[LF_FACESIZE] = {};
  ::GetTextFaceW(dc, LF_FACESIZE, chosen);
  const wchar_t probe[] = {kHeavyCheck, kHeavyBallotX};
  WORD indices[2] = {};
  const bool has = _wcsicmp(chosen, family.c_str()) == 0 &&
                   ::GetGlyphIndicesW(dc, probe, 2, indices, GGI_MARK_NONEXISTING_GLYPHS) == 2 &&
                   indices[0] != 0xFFFF && indices[1] != 0xFFFF;
  ::SelectObject(dc, old);
  ::DeleteDC(dc);
  ::DeleteObject(font);
  return has;
}

const GlyphFace& ChosenGlyphFace() {
  static const GlyphFace face = FindGlyphFace();
  return face;
}

HFONT CreateGlyphFont(const GlyphFace& face, UINT dpi) {
  if (face.source == GlyphFace::Source::Polygon) return nullptr;
  const bool symbol = face.source == GlyphFace::Source::Wingdings;
  return ::CreateFontW(-Scale(form::kGlyphPixelHeight, dpi), 0, 0, 0, FW_NORMAL, FALSE, FALSE,
                       FALSE, symbol ? SYMBOL_CHARSET : DEFAULT_CHARSET, OUT_TT_PRECIS,
                       CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH, face.family.c_str());
}

void DrawGlyph(HDC dc, const RECT& rect, form::Glyph glyph, COLORREF colour,
               const GlyphFace& face, HFONT font) {
  ::FillRect(dc, &rect, ::GetSysColorBrush(COLOR_BTNFACE));
  if (glyph == form::Glyph::None) return;
  if (face.source == GlyphFace::Source::Polygon || font == nullptr) {
    DrawPolygon(dc, rect, glyph, colour);
    return;
  }
  wchar_t character[2] = {};
  if (face.source == GlyphFace::Source::Wingdings)
    character[0] = glyph == form::Glyph::Check ? form::kWingdingsCheck : form::kWingdingsCross;
  else
    character[0] = glyph == form::Glyph::Check ? kHeavyCheck : kHeavyBallotX;
  HGDIOBJ old = ::SelectObject(dc, font);
  ::SetTextColor(dc, colour);
  ::SetBkMode(dc, TRANSPARENT);
  RECT box = rect;
  ::DrawTextW(dc, character, 1, &box, DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
  ::SelectObject(dc, old);
}

}  // namespace tarvik::win32
