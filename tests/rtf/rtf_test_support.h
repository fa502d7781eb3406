#pragma once
// Helpers shared by the rich-text tests: the sample files and a flat view
// of a parsed document.
#include <fstream>
#include <iterator>
#include <string>

#include "rtf_reader.h"

namespace tarvik::rtf::testing {

// Paragraphs joined by '\n'; a line break shows as '\v', a tab as '\t'.
inline std::u16string FlatText(const Document& doc) {
  std::u16string text;
  for (std::size_t i = 0; i < doc.paragraphs.size(); ++i) {
    if (i > 0) text += u'\n';
    for (const Run& run : doc.paragraphs[i].runs) {
      switch (run.kind) {
        case Run::Kind::Text: text += run.text; break;
        case Run::Kind::LineBreak: text += u'\v'; break;
        case Run::Kind::Tab: text += u'\t'; break;
      }
    }
  }
  return text;
}

inline std::u16string ParagraphText(const Paragraph& paragraph) {
  Document one;
  one.paragraphs.push_back(paragraph);
  return FlatText(one);
}

inline std::string ReadSample(const std::string& name) {
  std::ifstream in(std::string(TARVIK_RTF_SAMPLES) + "/" + name, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

}  // namespace tarvik::rtf::testing
