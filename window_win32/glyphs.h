#pragma once
// The big check mark and cross of the connection and loading pages. The form
// draws them as the Wingdings characters 0xFC and 0xFB; where Wingdings is
// missing (Wine has none) a font with the Unicode heavy check mark and heavy
// ballot X (U+2714, U+2718) stands in, and failing that they are drawn as
// polygons.
#include <string>

#include "Update_Main/form_description.h"
#include "win32_headers.h"

namespace tarvik::win32 {

struct GlyphFace {
  enum class Source { Wingdings, Unicode, Polygon };
  Source source = Source::Polygon;
  std::wstring family;  // empty for Polygon
};

// Looked up once: Wingdings, else the first font found with both Unicode
// characters (a few likely ones first, then every family the system has).
const GlyphFace& ChosenGlyphFace();

// True when the family's font has both U+2714 and U+2718 of its own (no
// font linking).
bool HasUnicodeGlyphs(const std::wstring& family);

// The glyph font at dpi; null for Polygon.
HFONT CreateGlyphFont(const GlyphFace& face, UINT dpi);

// Fills rect with the face colour and draws the glyph centred in it.
void DrawGlyph(HDC dc, const RECT& rect, form::Glyph glyph, COLORREF colour,
               const GlyphFace& face, HFONT font);

}  // namespace tarvik::win32
