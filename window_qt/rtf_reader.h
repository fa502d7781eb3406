#pragma once
// A small reader for the rich text that WordPad, Word and LibreOffice write:
// the bytes become paragraphs of formatted runs, with no toolkit involved, so
// the reader can be tested and fuzzed on its own. Anything it does not
// understand (pictures, objects, style sheets, document information, unknown
// destinations) is skipped; malformed input gives whatever text could be
// recovered. Time is linear in the input, memory bounded by it.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tarvik::rtf {

enum class Alignment { Left, Center, Right, Justify };

struct Color {
  std::uint8_t red = 0;
  std::uint8_t green = 0;
  std::uint8_t blue = 0;
  friend bool operator==(const Color&, const Color&) = default;
};

inline constexpr int kDefaultFontSize = 24;  // half-points: 12 pt
inline constexpr int kMinFontSize = 2;
inline constexpr int kMaxFontSize = 3276;    // 1638 pt, the largest Word offers

struct CharFormat {
  bool bold = false;
  bool italic = false;
  bool underline = false;
  bool strikeOut = false;
  int fontSize = kDefaultFontSize;  // half-points, within kMinFontSize..kMaxFontSize
  std::optional<Color> color;       // none: the automatic (window text) colour
  std::u16string fontName;          // empty: the document's base font
  friend bool operator==(const CharFormat&, const CharFormat&) = default;
};

struct Run {
  enum class Kind { Text, LineBreak, Tab };
  Kind kind = Kind::Text;
  std::u16string text;  // UTF-16, surrogates paired; empty unless kind is Text
  CharFormat format;
};

struct Paragraph {
  Alignment alignment = Alignment::Left;
  CharFormat markFormat;  // the format at the paragraph mark: gives an empty line its height
  std::vector<Run> runs;  // adjacent text of one format is one run
};

struct Document {
  std::vector<Paragraph> paragraphs;
};

// True when the bytes start the way every rich-text file does ("{\rtf").
bool LooksLikeRtf(std::string_view bytes);

// nullopt when the bytes are not rich text at all; otherwise the document.
// A final paragraph without a paragraph mark is kept if it holds anything.
std::optional<Document> ParseRtf(std::string_view bytes);

}  // namespace tarvik::rtf
