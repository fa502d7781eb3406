#include "rtf_reader.h"

#include <algorithm>
#include <cstddef>
#include <unordered_map>
#include <utility>

#include "cp1251.h"

namespace tarvik::rtf {
namespace {

// Real documents nest a few dozen groups at most. Groups beyond this depth
// are still counted, so the braces stay balanced, but what they hold is
// ignored: the group-state stack never grows past it, whatever the input.
constexpr std::size_t kMaxGroupDepth = 512;
// Windows font names have at most 31 characters; a longer "name" is garbage,
// and capping it keeps every format comparison cheap.
constexpr std::size_t kMaxFontNameLength = 64;
// A control word has at most 32 letters; longer ones are read whole but can
// never match a known word.
constexpr std::size_t kMaxKeywordLength = 32;
// Parameters are 16- or 32-bit numbers; longer digit strings saturate here.
constexpr long long kParamLimit = 1'000'000'000;
constexpr int kMaxUnicodeSkip = 255;

// ---------------------------------------------------------------- tokens

struct Token {
  enum class Kind { End, GroupOpen, GroupClose, ControlWord, ControlSymbol, HexByte, Text };
  Kind kind = Kind::End;
  std::string_view word;  // ControlWord: its letters
  bool hasParam = false;
  int param = 0;
  unsigned char byte = 0;  // ControlSymbol, HexByte, Text
};

bool IsLetter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// Splits the input into braces, control words, control symbols, \'hh
// escapes and plain bytes. Every call consumes at least one byte, so a
// caller that loops until End runs in linear time.
class Lexer {
 public:
  explicit Lexer(std::string_view input) : in_(input) {}

  Token Next() {
    while (pos_ < in_.size()) {
      const char c = in_[pos_++];
      if (c == '{') return Simple(Token::Kind::GroupOpen);
      if (c == '}') return Simple(Token::Kind::GroupClose);
      if (c != '\\') return Byte(Token::Kind::Text, static_cast<unsigned char>(c));
      if (pos_ >= in_.size()) break;  // a lone backslash at the very end
      const char d = in_[pos_];
      if (IsLetter(d)) return ControlWord();
      ++pos_;
      if (d == '\'') {
        int value = 0;
        int digits = 0;
        while (digits < 2 && pos_ < in_.size() && HexValue(in_[pos_]) >= 0) {
          value = value * 16 + HexValue(in_[pos_++]);
          ++digits;
        }
        if (digits == 0) continue;  // "\'" without hex digits means nothing
        return Byte(Token::Kind::HexByte, static_cast<unsigned char>(value));
      }
      // A backslash before a line end is an old spelling of \par.
      if (d == '\r' || d == '\n') {
        Token t = Simple(Token::Kind::ControlWord);
        t.word = "par";
        return t;
      }
      return Byte(Token::Kind::ControlSymbol, static_cast<unsigned char>(d));
    }
    return Simple(Token::Kind::End);
  }

  // The data of \binN: raw bytes that must not be read as text.
  void SkipBytes(int count) {
    if (count <= 0) return;
    pos_ += std::min<std::size_t>(static_cast<std::size_t>(count), in_.size() - pos_);
  }

 private:
  static Token Simple(Token::Kind kind) {
    Token t;
    t.kind = kind;
    return t;
  }
  static Token Byte(Token::Kind kind, unsigned char byte) {
    Token t = Simple(kind);
    t.byte = byte;
    return t;
  }

  Token ControlWord() {
    Token t = Simple(Token::Kind::ControlWord);
    const std::size_t start = pos_;
    while (pos_ < in_.size() && IsLetter(in_[pos_])) ++pos_;
    t.word = in_.substr(start, std::min(pos_ - start, kMaxKeywordLength + 1));
    const bool negative =
        pos_ + 1 < in_.size() && in_[pos_] == '-' && IsDigit(in_[pos_ + 1]);
    if (negative) ++pos_;
    if (pos_ < in_.size() && IsDigit(in_[pos_])) {
      long long value = 0;
      while (pos_ < in_.size() && IsDigit(in_[pos_])) {
        if (value < kParamLimit) value = value * 10 + (in_[pos_] - '0');
        ++pos_;
      }
      value = std::min(value, kParamLimit);
      t.hasParam = true;
      t.param = static_cast<int>(negative ? -value : value);
    }
    if (pos_ < in_.size() && in_[pos_] == ' ') ++pos_;  // the delimiting blank belongs to the word
    return t;
  }

  std::string_view in_;
  std::size_t pos_ = 0;
};

// ---------------------------------------------------------------- keywords

enum class Keyword {
  // document and tables
  AnsiCodePage, DefaultFont, FontTable, ColorTable, Font, FontCharset, FontCodePage,
  Red, Green, Blue, Bin, UnicodeSkip, Unicode,
  // character formatting
  Plain, Bold, Italic, Underline, UnderlineNone, StrikeOut, Hidden, FontSize, ColorIndex,
  // paragraphs
  ParagraphDefault, AlignLeft, AlignCenter, AlignRight, AlignJustify,
  // breaks
  Paragraph, Line, Tab, Cell,
  // characters
  Character,
  // destinations whose content never shows
  SkipDestination,
};

struct KeywordInfo {
  Keyword keyword;
  char16_t character = 0;  // Keyword::Character only
};

const std::unordered_map<std::string_view, KeywordInfo>& Keywords() {
  static const std::unordered_map<std::string_view, KeywordInfo> table = [] {
    std::unordered_map<std::string_view, KeywordInfo> t;
    auto add = [&t](std::string_view word, Keyword k, char16_t ch = 0) { t.emplace(word, KeywordInfo{k, ch}); };
    add("ansicpg", Keyword::AnsiCodePage);
    add("deff", Keyword::DefaultFont);
    add("fonttbl", Keyword::FontTable);
    add("colortbl", Keyword::ColorTable);
    add("f", Keyword::Font);
    add("fcharset", Keyword::FontCharset);
    add("cpg", Keyword::FontCodePage);
    add("red", Keyword::Red);
    add("green", Keyword::Green);
    add("blue", Keyword::Blue);
    add("bin", Keyword::Bin);
    add("uc", Keyword::UnicodeSkip);
    add("u", Keyword::Unicode);

    add("plain", Keyword::Plain);
    add("b", Keyword::Bold);
    add("i", Keyword::Italic);
    // Every underline style shows as a plain underline; \ulc (its colour) is
    // deliberately absent.
    for (std::string_view w : {"ul", "uld", "uldash", "uldashd", "uldashdd", "uldb", "ulhwave",
                               "ulldash", "ulth", "ulthd", "ulthdash", "ulthdashd", "ulthdashdd",
                               "ulthldash", "ululdbwave", "ulw", "ulwave"}) {
      add(w, Keyword::Underline);
    }
    add("ulnone", Keyword::UnderlineNone);
    add("strike", Keyword::StrikeOut);
    add("striked", Keyword::StrikeOut);
    add("v", Keyword::Hidden);
    add("fs", Keyword::FontSize);
    add("cf", Keyword::ColorIndex);

    add("pard", Keyword::ParagraphDefault);
    add("ql", Keyword::AlignLeft);
    add("qc", Keyword::AlignCenter);
    add("qr", Keyword::AlignRight);
    add("qj", Keyword::AlignJustify);
    add("qd", Keyword::AlignJustify);

    for (std::string_view w : {"par", "page", "sect", "row", "nestrow"}) add(w, Keyword::Paragraph);
    add("line", Keyword::Line);
    add("lbr", Keyword::Line);
    add("tab", Keyword::Tab);
    add("cell", Keyword::Cell);
    add("nestcell", Keyword::Cell);

    add("emdash", Keyword::Character, u'\u2014');
    add("endash", Keyword::Character, u'\u2013');
    add("emspace", Keyword::Character, u'\u2003');
    add("enspace", Keyword::Character, u'\u2002');
    add("qmspace", Keyword::Character, u'\u2005');
    add("bullet", Keyword::Character, u'\u2022');
    add("lquote", Keyword::Character, u'\u2018');
    add("rquote", Keyword::Character, u'\u2019');
    add("ldblquote", Keyword::Character, u'\u201C');
    add("rdblquote", Keyword::Character, u'\u201D');
    add("zwj", Keyword::Character, u'\u200D');
    add("zwnj", Keyword::Character, u'\u200C');
    add("zwbo", Keyword::Character, u'\u200B');
    add("ltrmark", Keyword::Character, u'\u200E');
    add("rtlmark", Keyword::Character, u'\u200F');

    // Destinations that hold no visible body text (or text only a full word
    // processor would place: headers, notes, field codes, pictures).
    for (std::string_view w :
         {"stylesheet", "info", "pict", "object", "objdata", "objclass", "header", "headerl",
          "headerr", "headerf", "footer", "footerl", "footerr", "footerf", "footnote", "annotation",
          "atnid", "atnauthor", "atndate", "atnref", "fldinst", "xe", "tc", "txe", "rxe", "pn",
          "pnseclvl", "listtable", "listoverridetable", "revtbl", "rsidtbl", "filetbl", "themedata",
          "colorschememapping", "latentstyles", "datastore", "generator", "pgdsctbl", "shp",
          "shpinst", "shprslt", "nonshppict", "template", "docvar", "private", "fontemb", "fontfile",
          "falt", "panose", "fname", "comment", "title", "subject", "author", "operator", "keywords",
          "doccomm", "company", "manager", "category", "creatim", "revtim", "printim", "buptim",
          "userprops", "xmlnstbl", "mmathPr", "ftnsep", "ftnsepc", "ftncn", "aftnsep", "aftnsepc",
          "aftncn", "do", "background", "upr", "ud", "bkmkstart", "bkmkend", "blipuid",
          "listpicture", "passwordhash", "wgrffmtfilter", "hlinkbase"}) {
      add(w, Keyword::SkipDestination);
    }
    return t;
  }();
  return table;
}

// ---------------------------------------------------------------- reader

enum class Destination { Body, FontTable, ColorTable, Skip };

// Everything a closing brace restores.
struct GroupState {
  Destination destination = Destination::Body;
  bool bold = false;
  bool italic = false;
  bool underline = false;
  bool strikeOut = false;
  bool hidden = false;
  int fontSize = kDefaultFontSize;
  int colorIndex = 0;
  int font = -1;  // -1: the default font named by \deff
  int unicodeSkip = 1;
  Alignment alignment = Alignment::Left;
};

struct FontEntry {
  std::u16string name;
  int charset = -1;  // -1: not given
  int codePage = 0;  // from \cpg; 0: follow the charset
};

// Windows character sets and the code page each implies; 0 (ANSI) and 1
// (default) follow the document's \ansicpg.
int CodePageOfCharset(int charset, int documentCodePage) {
  switch (charset) {
    case 204: return kCodePageCyrillic;
    case 238: return 1250;
    case 161: return 1253;
    case 162: return 1254;
    case 177: return 1255;
    case 178: return 1256;
    case 186: return 1257;
    case 163: return 1258;
    case 222: return 874;
    default: return documentCodePage;
  }
}

void FixLoneSurrogates(std::u16string& text) {
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char16_t c = text[i];
    const bool high = c >= 0xD800 && c <= 0xDBFF;
    const bool low = c >= 0xDC00 && c <= 0xDFFF;
    if (high && i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF) {
      ++i;  // a proper pair
    } else if (high || low) {
      text[i] = u'\uFFFD';
    }
  }
}

class Reader {
 public:
  explicit Reader(std::string_view bytes) : lexer_(bytes) { stack_.emplace_back(); }

  Document Read() {
    while (!finished_) {
      const Token t = lexer_.Next();
      if (t.kind == Token::Kind::End) break;
      if (t.kind == Token::Kind::ControlWord && t.word == "bin") lexer_.SkipBytes(t.param);
      if (SkippedAsUnicodeFallback(t)) continue;
      switch (t.kind) {
        case Token::Kind::GroupOpen: OpenGroup(); break;
        case Token::Kind::GroupClose: CloseGroup(); break;
        case Token::Kind::ControlWord: OnControlWord(t); break;
        case Token::Kind::ControlSymbol: OnControlSymbol(static_cast<char>(t.byte)); break;
        case Token::Kind::HexByte: OnByte(t.byte, true); break;
        case Token::Kind::Text: OnByte(t.byte, false); break;
        case Token::Kind::End: break;
      }
    }
    if (state().destination == Destination::FontTable) CommitFontName();
    if (!paragraph_.runs.empty()) {
      paragraph_.alignment = lastContentAlignment_;
      paragraph_.markFormat = paragraph_.runs.back().format;
      document_.paragraphs.push_back(std::move(paragraph_));
    }
    for (Paragraph& p : document_.paragraphs) {
      for (Run& r : p.runs) FixLoneSurrogates(r.text);
    }
    return std::move(document_);
  }

 private:
  GroupState& state() { return stack_.back(); }

  // After \uN the next \ucN characters are the fallback for readers without
  // Unicode; a \'hh escape, a plain byte, a control word or symbol each
  // count as one, and a brace ends the fallback early.
  bool SkippedAsUnicodeFallback(const Token& t) {
    if (fallbackToSkip_ == 0) return false;
    switch (t.kind) {
      case Token::Kind::GroupOpen:
      case Token::Kind::GroupClose:
      case Token::Kind::End:
        fallbackToSkip_ = 0;
        return false;
      case Token::Kind::Text:
        if (t.byte == '\r' || t.byte == '\n') return true;  // line ends are never characters
        break;
      default:
        break;
    }
    --fallbackToSkip_;
    return true;
  }

  void OpenGroup() {
    ignoreNextDestination_ = false;
    if (ignoredDepth_ > 0 || stack_.size() > kMaxGroupDepth) {
      ++ignoredDepth_;
      return;
    }
    stack_.push_back(stack_.back());
  }

  void CloseGroup() {
    ignoreNextDestination_ = false;
    if (ignoredDepth_ > 0) {
      --ignoredDepth_;
      return;
    }
    // A font entry may end with its group instead of a semicolon.
    if (state().destination == Destination::FontTable) CommitFontName();
    stack_.pop_back();
    formatDirty_ = true;
    // The group that "{\rtf" opened has closed: whatever follows is not part
    // of the document.
    if (stack_.size() <= 1) finished_ = true;
  }

  void OnControlWord(const Token& t) {
    const bool ignorable = std::exchange(ignoreNextDestination_, false);
    if (ignoredDepth_ > 0 || state().destination == Destination::Skip) return;
    const auto& keywords = Keywords();
    const auto found = keywords.find(t.word);
    if (found == keywords.end()) {
      // "{\*\word": a destination this reader does not know; skip the group.
      if (ignorable) state().destination = Destination::Skip;
      return;
    }
    const KeywordInfo info = found->second;
    if (ignorable && info.keyword != Keyword::FontTable && info.keyword != Keyword::ColorTable) {
      state().destination = Destination::Skip;
      return;
    }
    switch (info.keyword) {
      case Keyword::SkipDestination:
        state().destination = Destination::Skip;
        return;
      case Keyword::UnicodeSkip:
        state().unicodeSkip = std::clamp(t.hasParam ? t.param : 1, 0, kMaxUnicodeSkip);
        return;
      case Keyword::Unicode:
        if (!t.hasParam) return;
        OnUnicode(t.param);
        return;
      case Keyword::Bin:
        return;  // its data is already skipped
      default:
        break;
    }
    switch (state().destination) {
      case Destination::Body: OnBodyWord(info, t); break;
      case Destination::FontTable: OnFontTableWord(info.keyword, t); break;
      case Destination::ColorTable: OnColorTableWord(info.keyword, t); break;
      case Destination::Skip: break;
    }
  }

  void OnUnicode(int value) {
    // Word writes code units above 0x7FFF as negative 16-bit numbers.
    if (value < 0) value += 0x10000;
    AppendCharacter(value >= 0 && value <= 0xFFFF ? static_cast<char16_t>(value) : u'\uFFFD');
    fallbackToSkip_ = state().unicodeSkip;
  }

  void OnBodyWord(const KeywordInfo& info, const Token& t) {
    GroupState& s = state();
    const bool on = !t.hasParam || t.param != 0;
    switch (info.keyword) {
      case Keyword::AnsiCodePage:
        if (t.hasParam) documentCodePage_ = t.param;
        return;
      case Keyword::DefaultFont:
        if (t.hasParam) defaultFont_ = t.param;
        formatDirty_ = true;
        return;
      case Keyword::FontTable:
        CommitFontName();
        s.destination = Destination::FontTable;
        fontTableEntry_ = -1;
        return;
      case Keyword::ColorTable:
        s.destination = Destination::ColorTable;
        colors_.clear();
        pendingColor_ = Color{};
        pendingColorSet_ = false;
        return;
      case Keyword::Character: AppendCharacter(info.character); return;
      case Keyword::Paragraph: EndParagraph(); return;
      case Keyword::Line: AppendBreak(Run::Kind::LineBreak); return;
      case Keyword::Tab:
      case Keyword::Cell: AppendBreak(Run::Kind::Tab); return;
      case Keyword::ParagraphDefault: s.alignment = Alignment::Left; return;
      case Keyword::AlignLeft: s.alignment = Alignment::Left; return;
      case Keyword::AlignCenter: s.alignment = Alignment::Center; return;
      case Keyword::AlignRight: s.alignment = Alignment::Right; return;
      case Keyword::AlignJustify: s.alignment = Alignment::Justify; return;
      default: break;
    }
    formatDirty_ = true;
    switch (info.keyword) {
      case Keyword::Plain:
        s.bold = s.italic = s.underline = s.strikeOut = s.hidden = false;
        s.fontSize = kDefaultFontSize;
        s.colorIndex = 0;
        s.font = -1;
        break;
      case Keyword::Bold: s.bold = on; break;
      case Keyword::Italic: s.italic = on; break;
      case Keyword::Underline: s.underline = on; break;
      case Keyword::UnderlineNone: s.underline = false; break;
      case Keyword::StrikeOut: s.strikeOut = on; break;
      case Keyword::Hidden: s.hidden = on; break;
      case Keyword::FontSize:
        s.fontSize = t.hasParam ? std::clamp(t.param, kMinFontSize, kMaxFontSize) : kDefaultFontSize;
        break;
      case Keyword::ColorIndex: s.colorIndex = t.hasParam ? t.param : 0; break;
      case Keyword::Font:
        if (t.hasParam) s.font = t.param;
        break;
      default: break;
    }
  }

  void OnFontTableWord(Keyword keyword, const Token& t) {
    if (!t.hasParam) return;
    switch (keyword) {
      case Keyword::Font:
        CommitFontName();
        fontTableEntry_ = t.param;
        fonts_[fontTableEntry_];
        break;
      case Keyword::FontCharset:
        if (fontTableEntry_ >= 0) fonts_[fontTableEntry_].charset = t.param;
        break;
      case Keyword::FontCodePage:
        if (fontTableEntry_ >= 0) fonts_[fontTableEntry_].codePage = t.param;
        break;
      default: break;
    }
  }

  void OnColorTableWord(Keyword keyword, const Token& t) {
    const auto component = static_cast<std::uint8_t>(std::clamp(t.hasParam ? t.param : 0, 0, 255));
    switch (keyword) {
      case Keyword::Red: pendingColor_.red = component; break;
      case Keyword::Green: pendingColor_.green = component; break;
      case Keyword::Blue: pendingColor_.blue = component; break;
      default: return;
    }
    pendingColorSet_ = true;
  }

  void OnControlSymbol(char symbol) {
    ignoreNextDestination_ = symbol == '*';
    switch (symbol) {
      case '\\':
      case '{':
      case '}': AppendCharacter(static_cast<char16_t>(symbol)); return;
      case '~': AppendCharacter(u'\u00A0'); return;  // non-breaking space
      case '-': AppendCharacter(u'\u00AD'); return;  // optional hyphen
      case '_': AppendCharacter(u'\u2011'); return;  // non-breaking hyphen
      case '\t': AppendBreak(Run::Kind::Tab); return;
      default: return;  // \* is handled above; \| \: and the like mark up indexes and formulas
    }
  }

  void OnByte(unsigned char byte, bool escaped) {
    if (ignoredDepth_ > 0 || state().destination == Destination::Skip) return;
    if (!escaped && byte == ';') {
      if (state().destination == Destination::FontTable) {
        CommitFontName();
        return;
      }
      if (state().destination == Destination::ColorTable) {
        colors_.push_back(pendingColorSet_ ? std::optional<Color>(pendingColor_) : std::nullopt);
        pendingColor_ = Color{};
        pendingColorSet_ = false;
        formatDirty_ = true;
        return;
      }
    }
    if (byte < 0x20) {
      // Line ends in the file are layout of the file, not of the text.
      if (byte == '\t' && !escaped) AppendBreak(Run::Kind::Tab);
      return;
    }
    AppendCharacter(SingleByteToUnicode(CurrentCodePage(), byte));
  }

  int CurrentCodePage() const {
    const int number = stack_.back().destination == Destination::FontTable
                           ? fontTableEntry_
                           : (stack_.back().font >= 0 ? stack_.back().font : defaultFont_);
    const auto found = fonts_.find(number);
    if (found == fonts_.end()) return documentCodePage_;
    if (found->second.codePage > 0) return found->second.codePage;
    return CodePageOfCharset(found->second.charset, documentCodePage_);
  }

  bool TakesBodyContent() {
    return ignoredDepth_ == 0 && state().destination == Destination::Body && !state().hidden;
  }

  void AppendCharacter(char16_t c) {
    if (ignoredDepth_ > 0) return;
    if (c < 0x20) {
      if (c == u'\t') AppendBreak(Run::Kind::Tab);
      return;
    }
    if (state().destination == Destination::FontTable) {
      if (fontTableEntry_ >= 0 && pendingFontName_.size() < kMaxFontNameLength) {
        pendingFontName_.push_back(c);
      }
      return;
    }
    if (!TakesBodyContent()) return;
    Run& run = CurrentRun(Run::Kind::Text);
    run.text.push_back(c);
  }

  void AppendBreak(Run::Kind kind) {
    if (!TakesBodyContent()) return;
    Paragraph& p = paragraph_;
    p.runs.push_back(Run{kind, {}, ResolvedFormat()});
    lastContentAlignment_ = state().alignment;
  }

  // The text run to append to: the last one if it has the current format,
  // otherwise a new one.
  Run& CurrentRun(Run::Kind kind) {
    lastContentAlignment_ = state().alignment;
    std::vector<Run>& runs = paragraph_.runs;
    if (!runs.empty() && runs.back().kind == kind && !formatDirty_) return runs.back();
    const CharFormat& format = ResolvedFormat();
    if (!runs.empty() && runs.back().kind == kind && runs.back().format == format) {
      return runs.back();
    }
    runs.push_back(Run{kind, {}, format});
    return runs.back();
  }

  const CharFormat& ResolvedFormat() {
    if (!formatDirty_) return format_;
    const GroupState& s = state();
    CharFormat f;
    f.bold = s.bold;
    f.italic = s.italic;
    f.underline = s.underline;
    f.strikeOut = s.strikeOut;
    f.fontSize = s.fontSize;
    if (s.colorIndex >= 0 && static_cast<std::size_t>(s.colorIndex) < colors_.size()) {
      f.color = colors_[static_cast<std::size_t>(s.colorIndex)];
    }
    const auto font = fonts_.find(s.font >= 0 ? s.font : defaultFont_);
    if (font != fonts_.end()) f.fontName = font->second.name;
    format_ = std::move(f);
    formatDirty_ = false;
    return format_;
  }

  void EndParagraph() {
    if (ignoredDepth_ > 0 || state().destination != Destination::Body) return;
    paragraph_.alignment = state().alignment;
    paragraph_.markFormat = ResolvedFormat();
    document_.paragraphs.push_back(std::move(paragraph_));
    paragraph_ = Paragraph{};
  }

  void CommitFontName() {
    if (fontTableEntry_ < 0 || pendingFontName_.empty()) return;
    std::u16string& name = pendingFontName_;
    const auto first = name.find_first_not_of(u' ');
    const auto last = name.find_last_not_of(u' ');
    fonts_[fontTableEntry_].name =
        first == std::u16string::npos ? std::u16string{} : name.substr(first, last - first + 1);
    name.clear();
    formatDirty_ = true;
  }

  Lexer lexer_;
  std::vector<GroupState> stack_;  // front: outside every group; back: the current group
  std::size_t ignoredDepth_ = 0;   // groups open beyond kMaxGroupDepth
  bool finished_ = false;
  bool ignoreNextDestination_ = false;  // after \*
  int fallbackToSkip_ = 0;

  int documentCodePage_ = kCodePageWestern;
  int defaultFont_ = 0;
  std::unordered_map<int, FontEntry> fonts_;
  int fontTableEntry_ = -1;
  std::u16string pendingFontName_;
  std::vector<std::optional<Color>> colors_;
  Color pendingColor_;
  bool pendingColorSet_ = false;

  bool formatDirty_ = true;
  CharFormat format_;
  Alignment lastContentAlignment_ = Alignment::Left;
  Paragraph paragraph_;
  Document document_;
};

}  // namespace

bool LooksLikeRtf(std::string_view bytes) { return bytes.substr(0, 5) == "{\\rtf"; }

std::optional<Document> ParseRtf(std::string_view bytes) {
  if (!LooksLikeRtf(bytes)) return std::nullopt;
  return Reader(bytes).Read();
}

}  // namespace tarvik::rtf
