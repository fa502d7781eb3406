// Feeds arbitrary bytes to the rich-text reader, as they are and behind a
// valid header (so that most inputs reach the body), and checks what every
// result must satisfy whatever the input.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "rtf_reader.h"

namespace {

using namespace tarvik::rtf;

void Require(bool condition) {
  if (!condition) std::abort();
}

bool IsHighSurrogate(char16_t c) { return c >= 0xD800 && c <= 0xDBFF; }
bool IsLowSurrogate(char16_t c) { return c >= 0xDC00 && c <= 0xDFFF; }

void CheckFormat(const CharFormat& f) {
  Require(f.fontSize >= kMinFontSize && f.fontSize <= kMaxFontSize);
  Require(f.fontName.size() <= 64);
}

void Check(std::string_view bytes) {
  const auto doc = ParseRtf(bytes);
  Require(doc.has_value() == LooksLikeRtf(bytes));
  if (!doc) return;
  std::size_t produced = 0;  // every character or break comes from at least one input byte
  for (const Paragraph& p : doc->paragraphs) {
    CheckFormat(p.markFormat);
    ++produced;
    for (const Run& run : p.runs) {
      CheckFormat(run.format);
      if (run.kind != Run::Kind::Text) {
        Require(run.text.empty());
        ++produced;
        continue;
      }
      Require(!run.text.empty());
      produced += run.text.size();
      for (std::size_t i = 0; i < run.text.size(); ++i) {
        const char16_t c = run.text[i];
        Require(c >= 0x20);
        if (IsHighSurrogate(c)) {
          Require(i + 1 < run.text.size() && IsLowSurrogate(run.text[i + 1]));
          ++i;
        } else {
          Require(!IsLowSurrogate(c));
        }
      }
    }
  }
  Require(produced <= bytes.size());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  Check(bytes);
  std::string withHeader = "{\\rtf1\\ansi\\ansicpg1251 ";
  withHeader.append(bytes);
  Check(withHeader);
  return 0;
}
