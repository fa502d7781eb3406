#include "rtf_reader.h"

#include <gtest/gtest.h>

#include <string>
#include <string_view>

#include "rtf_test_support.h"

namespace tarvik::rtf {
namespace {

using testing::FlatText;
using testing::ParagraphText;
using testing::ReadSample;

Document Parse(std::string_view bytes) {
  std::optional<Document> doc = ParseRtf(bytes);
  EXPECT_TRUE(doc.has_value()) << bytes;
  return doc ? *doc : Document{};
}

std::u16string TextOf(std::string_view bytes) { return FlatText(Parse(bytes)); }

TEST(RtfReaderTest, RejectsWhatIsNotRichText) {
  for (std::string_view bytes : {"", "{", "{\\rt", "Hello", " {\\rtf1 x}", "\xEF\xBB\xBF{\\rtf1 x}",
                                 "{\\RTF1 x}", "\\rtf1 x"}) {
    EXPECT_FALSE(ParseRtf(bytes).has_value()) << bytes;
    EXPECT_FALSE(LooksLikeRtf(bytes)) << bytes;
  }
  EXPECT_TRUE(ParseRtf("{\\rtf").has_value());
  EXPECT_TRUE(ParseRtf("{\\rtf1}").value().paragraphs.empty());
}

struct TextCase {
  const char* name;
  std::string_view rtf;
  std::u16string_view text;
};

class RtfTextTest : public ::testing::TestWithParam<TextCase> {};

TEST_P(RtfTextTest, GivesTheText) { EXPECT_EQ(TextOf(GetParam().rtf), GetParam().text); }

// clang-format off
const TextCase kTextCases[] = {
    {"ParagraphsAndTrailingMark", R"({\rtf1 Hello\par World\par})", u"Hello\nWorld"},
    {"FinalParagraphWithoutMark", R"({\rtf1 Hello\par World})", u"Hello\nWorld"},
    {"EmptyParagraphsKept", R"({\rtf1 a\par\par b})", u"a\n\nb"},
    {"LineEndsInTheFileAreNotText", "{\\rtf1 one\r\ntwo\nthree\rfour}", u"onetwothreefour"},
    {"BackslashLineEndIsParagraph", "{\\rtf1 one\\\ntwo\\\r\nthree}", u"one\ntwo\nthree"},
    {"DelimitingBlankBelongsToTheWord", R"({\rtf1 \b bold\b0  plain})", u"bold plain"},
    {"UnknownWordsAndTheirParameters", R"({\rtf1 \foo a\bar12 b\baz-7 c\qux-x})", u"abc-x"},
    {"EscapedSpecials", R"({\rtf1 a\\b\{c\}d})", u"a\\b{c}d"},
    {"SpecialSymbols", R"({\rtf1 a\~b\-c\_d})", u"a\u00A0b\u00ADc\u2011d"},
    {"NamedCharacters", R"({\rtf1 \lquote x\rquote \ldblquote y\rdblquote \emdash\endash\bullet})",
     u"\u2018x\u2019\u201Cy\u201D\u2014\u2013\u2022"},
    {"LineTabAndLiteralTab", "{\\rtf1 a\\line b\\tab c\td}", u"a\vb\tc\td"},
    {"TableCellsAndRows", R"({\rtf1 \trowd a\cell b\cell\row c})", u"a\tb\t\nc"},
    {"HexInWesternByDefault", R"({\rtf1\ansi caf\'e9 \'80})", u"caf\u00E9 \u20AC"},
    {"HexInDocumentCodePage", R"({\rtf1\ansi\ansicpg1251 \'cf\'f0\'e8\'e2\'e5\'f2})", u"Привет"},
    {"HexUpperCaseAndOneDigit", R"({\rtf1\ansicpg1251 \'C4\'4 \'})", u"Д "},
    {"CyrillicFontInWesternDocument",
     R"({\rtf1\ansi\ansicpg1252{\fonttbl{\f0\fcharset0 Arial;}{\f1\fcharset204 Arial CYR;}}\f0\'e9\f1\'e9})",
     u"\u00E9й"},
    {"AnsiFontFollowsDocumentCodePage",
     R"({\rtf1\ansi\ansicpg1251\deff0{\fonttbl{\f0\fcharset0 Arial;}}\'e4\'e0})", u"да"},
    {"FontCodePageOverridesCharset",
     R"({\rtf1\ansi{\fonttbl{\f0\fcharset0\cpg1251 X;}}\f0\'e4})", u"д"},
    {"UnicodeSkipsOneFallbackByDefault", R"({\rtf1 \u1044?\u1072\'e0!})", u"Да!"},
    {"UnicodeNegativeAsWordWrites", R"({\rtf1\uc1 \u-3913\'b7 \u-1\'3f})", u"\uF0B7 \uFFFF"},
    {"UnicodeSkipTwo", R"({\rtf1\uc2 \u20320\'c4\'e3\u22909ab!})", u"你好!"},
    {"UnicodeSkipZero", R"({\rtf1\uc0 \u1044\u1072!})", u"Да!"},
    {"UnicodeSkipCountsControlWords", R"({\rtf1\uc2 \u1044\par\'3fx})", u"Дx"},
    {"UnicodeFallbackEndsAtBrace", R"({\rtf1\uc3 \u1044{a}b})", u"Дab"},
    {"UnicodeSkipIsGroupScoped", R"({\rtf1\uc1 {\uc2 \u1044??}\u1072?b})", u"Даb"},
    {"UnicodeOutOfRange", R"({\rtf1 \u70000?\u-70000?x})", u"\uFFFD\uFFFDx"},
    {"UnicodeSurrogatePair", R"({\rtf1 \u-10179?\u-8704?})", u"\U0001F600"},
    {"UnicodeLoneSurrogates", R"({\rtf1 \u-10179?x\u-8704?})", u"\uFFFDx\uFFFD"},
    {"UnicodeControlCharactersDropped", R"({\rtf1 a\u0?b\u9?c})", u"ab\tc"},
    {"UnknownIgnorableDestination", R"({\rtf1 a{\*\foo hidden {nested} text}b})", u"ab"},
    {"IgnorableKnownWordIsSkippedToo", R"({\rtf1 a{\*\b hidden}b})", u"ab"},
    {"DocumentInformation", R"({\rtf1{\info{\title T}{\author A}{\creatim\yr2011}}x})", u"x"},
    {"StyleSheet", R"({\rtf1{\stylesheet{\s0 Normal;}{\s1\b heading 1;}}x})", u"x"},
    {"HeaderFooterFootnote",
     R"({\rtf1{\header h\par}{\footerl f}a{\footnote\ftnalt n}b})", u"ab"},
    {"FieldShowsResultOnly",
     R"({\rtf1{\field{\*\fldinst HYPERLINK "http://x/"}{\fldrslt link}}})", u"link"},
    {"OldFieldInstructionWithoutStar", R"({\rtf1{\field{\fldinst PAGE}{\fldrslt 1}}})", u"1"},
    {"Picture", "{\\rtf1 a{\\pict\\wmetafile8\\picw10 0100090000 abcdef}b}", u"ab"},
    {"PictureWithBinaryBraces", "{\\rtf1 a{\\pict\\bin6 }}{\\x{}bc}", u"abc"},
    {"BinaryLongerThanTheFile", "{\\rtf1 a\\bin999999999 xyz}", u"a"},
    {"BinaryNegativeOrMissingLength", "{\\rtf1 a\\bin-5 b\\bin c}", u"abc"},
    {"EmbeddedObject",
     R"({\rtf1 a{\object\objemb{\*\objclass Paint}{\*\objdata 0102}{\result{\pict 00}}}b})", u"ab"},
    {"ShapeWithPictures",
     R"({\rtf1 a{\*\shppict{\pict 00}}{\nonshppict{\pict 00}}{\shp{\*\shpinst x}{\shprslt y}}b})", u"ab"},
    {"OldListNumberingShown", R"({\rtf1{\pntext 1.\tab}{\*\pn\pnlvlbody{\pntxta .}}Item})",
     u"1.\tItem"},
    {"HiddenText", R"({\rtf1 a\v hidden\v0 b{\v c}d})", u"abd"},
    {"TextAfterTheDocumentIgnored", R"({\rtf1 a}b{c})", u"a"},
    {"ExtraClosingBraces", R"({\rtf1 a}}}}b)", u"a"},
    {"MissingClosingBraces", R"({\rtf1 {{{a\par b)", u"a\nb"},
    {"TruncatedInControlWord", "{\\rtf1 a\\par", u"a"},
    {"TruncatedAfterBackslash", "{\\rtf1 a\\", u"a"},
    {"TruncatedInHex", "{\\rtf1 a\\'", u"a"},
    {"ZeroBytesIgnored", std::string_view("{\\rtf1 a\0b}\0", 12), u"ab"},
    {"RawHighBytesDecoded", "{\\rtf1\\ansicpg1251 \xc4\xe0}", u"Да"},
    {"FontTableNamesNotShown",
     R"({\rtf1{\fonttbl{\f0\fnil\fcharset0 Arial;}{\f1\froman Times New Roman;}}x})", u"x"},
    {"ColourTableNotShown", R"({\rtf1{\colortbl;\red255\green0\blue0;}x})", u"x"},
};
// clang-format on

INSTANTIATE_TEST_SUITE_P(Cases, RtfTextTest, ::testing::ValuesIn(kTextCases),
                         [](const auto& info) { return std::string(info.param.name); });

// ------------------------------------------------------------- formatting

CharFormat Plain() { return CharFormat{}; }

TEST(RtfReaderTest, FormattingSplitsAndMergesRuns) {
  const Document doc = Parse(R"({\rtf1 a{\b b}c\b d\b0 e{\i}f})");
  ASSERT_EQ(doc.paragraphs.size(), 1u);
  const auto& runs = doc.paragraphs[0].runs;
  ASSERT_EQ(runs.size(), 5u);
  const char16_t* texts[] = {u"a", u"b", u"c", u"d", u"ef"};
  const bool bold[] = {false, true, false, true, false};
  for (std::size_t i = 0; i < runs.size(); ++i) {
    EXPECT_EQ(runs[i].text, texts[i]) << i;
    EXPECT_EQ(runs[i].format.bold, bold[i]) << i;
  }
}

struct FormatCase {
  const char* name;
  std::string_view rtf;  // the formatted run is the text "x"
  CharFormat expected;
};

CharFormat With(void (*change)(CharFormat&)) {
  CharFormat f;
  change(f);
  return f;
}

class RtfFormatTest : public ::testing::TestWithParam<FormatCase> {};

TEST_P(RtfFormatTest, GivesTheFormat) {
  const Document doc = Parse(GetParam().rtf);
  ASSERT_EQ(doc.paragraphs.size(), 1u);
  const Paragraph& p = doc.paragraphs[0];
  ASSERT_FALSE(p.runs.empty());
  const rtf::Run& run = p.runs.back();
  EXPECT_EQ(run.text, u"x");
  const CharFormat& got = run.format;
  const CharFormat& want = GetParam().expected;
  EXPECT_EQ(got.bold, want.bold);
  EXPECT_EQ(got.italic, want.italic);
  EXPECT_EQ(got.underline, want.underline);
  EXPECT_EQ(got.strikeOut, want.strikeOut);
  EXPECT_EQ(got.fontSize, want.fontSize);
  EXPECT_EQ(got.color.has_value(), want.color.has_value());
  if (got.color && want.color) {
    EXPECT_EQ(got.color->red, want.color->red);
    EXPECT_EQ(got.color->green, want.color->green);
    EXPECT_EQ(got.color->blue, want.color->blue);
  }
  EXPECT_EQ(got.fontName, want.fontName);
}

#define RTF_COLORS R"({\colortbl;\red255\green0\blue0;\red0\green128\blue0;})"
#define RTF_FONTS R"({\fonttbl{\f0\fswiss\fcharset204 Arial;}{\f1\froman{\*\panose 0202}Times New Roman;}{\f2 Courier New}})"

// clang-format off
const FormatCase kFormatCases[] = {
    {"Default", R"({\rtf1 x})", Plain()},
    {"Bold", R"({\rtf1\b x})", With([](CharFormat& f) { f.bold = true; })},
    {"BoldOff", R"({\rtf1\b\b0 x})", Plain()},
    {"Italic", R"({\rtf1\i x})", With([](CharFormat& f) { f.italic = true; })},
    {"Underline", R"({\rtf1\ul x})", With([](CharFormat& f) { f.underline = true; })},
    {"UnderlineStyles", R"({\rtf1\uldb\ulw\ulwave x})", With([](CharFormat& f) { f.underline = true; })},
    {"UnderlineColourKeepsUnderline", R"({\rtf1\ul\ulc0 x})", With([](CharFormat& f) { f.underline = true; })},
    {"UnderlineNone", R"({\rtf1\ul\ulnone x})", Plain()},
    {"UnderlineZero", R"({\rtf1\ul\ul0 x})", Plain()},
    {"StrikeOut", R"({\rtf1\strike x})", With([](CharFormat& f) { f.strikeOut = true; })},
    {"FontSize", R"({\rtf1\fs36 x})", With([](CharFormat& f) { f.fontSize = 36; })},
    {"FontSizeHuge", R"({\rtf1\fs999999999 x})", With([](CharFormat& f) { f.fontSize = kMaxFontSize; })},
    {"FontSizeEndlessDigits", R"({\rtf1\fs99999999999999999999999999999 x})",
     With([](CharFormat& f) { f.fontSize = kMaxFontSize; })},
    {"FontSizeNegative", R"({\rtf1\fs-20 x})", With([](CharFormat& f) { f.fontSize = kMinFontSize; })},
    {"FontSizeWithoutNumber", R"({\rtf1\fs40\fs x})", Plain()},
    {"Colour", "{\\rtf1" RTF_COLORS "\\cf2 x}", With([](CharFormat& f) { f.color = Color{0, 128, 0}; })},
    {"ColourZeroIsAutomatic", "{\\rtf1" RTF_COLORS "\\cf1\\cf0 x}", Plain()},
    {"ColourOutOfRange", "{\\rtf1" RTF_COLORS "\\cf7 x}", Plain()},
    {"ColourNegative", "{\\rtf1" RTF_COLORS "\\cf-1 x}", Plain()},
    {"ColourComponentsClamped", R"({\rtf1{\colortbl;\red999\green-4\blue7;}\cf1 x})",
     With([](CharFormat& f) { f.color = Color{255, 0, 7}; })},
    {"ColourTableWithoutAutomaticEntry", R"({\rtf1{\colortbl\red1\green2\blue3;}\cf0 x})",
     With([](CharFormat& f) { f.color = Color{1, 2, 3}; })},
    {"FontByNumber", "{\\rtf1" RTF_FONTS "\\f1 x}", With([](CharFormat& f) { f.fontName = u"Times New Roman"; })},
    {"FontEntryEndingWithItsGroup", "{\\rtf1" RTF_FONTS "\\f2 x}", With([](CharFormat& f) { f.fontName = u"Courier New"; })},
    {"DefaultFont", "{\\rtf1\\deff1" RTF_FONTS "x}", With([](CharFormat& f) { f.fontName = u"Times New Roman"; })},
    {"UnknownFontNumber", "{\\rtf1" RTF_FONTS "\\f9 x}", Plain()},
    {"FontNameInCodePage", R"({\rtf1{\fonttbl{\f0\fcharset204 \'c0\'f0\'e8\'e0\'eb;}}\f0 x})",
     With([](CharFormat& f) { f.fontName = u"Ариал"; })},
    {"FontTableWithoutGroups", R"({\rtf1{\fonttbl\f0\fnil Arial;\f1\fnil Tahoma;}\f1 x})",
     With([](CharFormat& f) { f.fontName = u"Tahoma"; })},
    {"PlainResetsCharacterFormat", "{\\rtf1\\deff0" RTF_FONTS RTF_COLORS "\\b\\i\\ul\\strike\\fs40\\cf1\\f1\\plain x}",
     With([](CharFormat& f) { f.fontName = u"Arial"; })},
    {"GroupRestoresFormat", R"({\rtf1\b{\i\fs40 y}x})", With([](CharFormat& f) { f.bold = true; })},
    {"ParagraphDefaultKeepsCharacterFormat", R"({\rtf1\b\pard x})", With([](CharFormat& f) { f.bold = true; })},
};
// clang-format on

INSTANTIATE_TEST_SUITE_P(Cases, RtfFormatTest, ::testing::ValuesIn(kFormatCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(RtfReaderTest, LongFontNamesAreCut) {
  const std::string name(500, 'N');
  const Document doc = Parse("{\\rtf1{\\fonttbl{\\f0 " + name + ";}}\\f0 x}");
  ASSERT_EQ(doc.paragraphs.size(), 1u);
  EXPECT_LE(doc.paragraphs[0].runs[0].format.fontName.size(), 64u);
}

// ------------------------------------------------------------- paragraphs

struct AlignmentCase {
  const char* name;
  std::string_view rtf;
  std::vector<Alignment> expected;
};

class RtfAlignmentTest : public ::testing::TestWithParam<AlignmentCase> {};

TEST_P(RtfAlignmentTest, GivesTheAlignments) {
  const Document doc = Parse(GetParam().rtf);
  std::vector<Alignment> got;
  for (const Paragraph& p : doc.paragraphs) got.push_back(p.alignment);
  EXPECT_EQ(got, GetParam().expected);
}

// clang-format off
const AlignmentCase kAlignmentCases[] = {
    {"EachKind", R"({\rtf1\qc a\par\qr b\par\qj c\par\qd d\par\ql e\par})",
     {Alignment::Center, Alignment::Right, Alignment::Justify, Alignment::Justify, Alignment::Left}},
    {"CarriesOverUntilReset", R"({\rtf1\qc a\par b\par\pard c\par})",
     {Alignment::Center, Alignment::Center, Alignment::Left}},
    {"TakenAtTheParagraphMark", R"({\rtf1 a\qr\par})", {Alignment::Right}},
    {"GroupScoped", R"({\rtf1{\qc a\par}b\par})", {Alignment::Center, Alignment::Left}},
    {"FinalParagraphWithoutMark", R"({\rtf1\qc a\par{\qr b}})", {Alignment::Center, Alignment::Right}},
};
// clang-format on

INSTANTIATE_TEST_SUITE_P(Cases, RtfAlignmentTest, ::testing::ValuesIn(kAlignmentCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(RtfReaderTest, ParagraphMarkCarriesTheFormatOfAnEmptyLine) {
  const Document doc = Parse(R"({\rtf1\fs40\b\par\fs20 x\par})");
  ASSERT_EQ(doc.paragraphs.size(), 2u);
  EXPECT_TRUE(doc.paragraphs[0].runs.empty());
  EXPECT_EQ(doc.paragraphs[0].markFormat.fontSize, 40);
  EXPECT_TRUE(doc.paragraphs[0].markFormat.bold);
  EXPECT_EQ(doc.paragraphs[1].markFormat.fontSize, 20);
}

TEST(RtfReaderTest, BreaksCarryTheirFormat) {
  const Document doc = Parse(R"({\rtf1 a{\fs40\line}{\b\tab}})");
  ASSERT_EQ(doc.paragraphs.size(), 1u);
  const auto& runs = doc.paragraphs[0].runs;
  ASSERT_EQ(runs.size(), 3u);
  EXPECT_EQ(runs[1].kind, rtf::Run::Kind::LineBreak);
  EXPECT_EQ(runs[1].format.fontSize, 40);
  EXPECT_EQ(runs[2].kind, rtf::Run::Kind::Tab);
  EXPECT_TRUE(runs[2].format.bold);
}

// ------------------------------------------------------------- real writers

TEST(RtfReaderTest, ReadsWhatWordPadWrites) {
  const Document doc = Parse(ReadSample("wordpad.rtf"));
  EXPECT_EQ(FlatText(doc),
            u"Спасибо за Выбор!\n"
            u"GPS Tarvik - с нами безопасно!\n"
            u"ВНИМАНИЕ! Для работы данной программы необходимо установить драйвер.\n"
            u"Silicon Laboratories\tCP210x\vдрайвер\n");
  ASSERT_EQ(doc.paragraphs.size(), 5u);
  const Paragraph& title = doc.paragraphs[0];
  EXPECT_EQ(title.alignment, Alignment::Center);
  ASSERT_EQ(title.runs.size(), 1u);
  EXPECT_TRUE(title.runs[0].format.bold);
  EXPECT_EQ(title.runs[0].format.fontSize, 28);
  EXPECT_EQ(title.runs[0].format.fontName, u"Arial CYR");
  EXPECT_EQ(title.markFormat.fontSize, 22);
  EXPECT_EQ(doc.paragraphs[1].alignment, Alignment::Left);
  const auto& warning = doc.paragraphs[2].runs;
  ASSERT_EQ(warning.size(), 2u);
  EXPECT_EQ(warning[0].text, u"ВНИМАНИЕ!");
  EXPECT_TRUE(warning[0].format.bold);
  EXPECT_EQ(warning[0].format.color, (Color{255, 0, 0}));
  EXPECT_FALSE(warning[1].format.bold);
  EXPECT_FALSE(warning[1].format.color.has_value());
  EXPECT_EQ(doc.paragraphs[3].runs[0].format.fontName, u"Calibri");
  EXPECT_TRUE(doc.paragraphs[3].runs[0].format.italic);
}

TEST(RtfReaderTest, ReadsWhatWordWrites) {
  const Document doc = Parse(ReadSample("word.rtf"));
  EXPECT_EQ(FlatText(doc),
            u"Обновление\n"
            u"программного обеспечения v.1.3.1\u2013你好\u201COK\u201D \uF0B7 www.silabs.com");
  ASSERT_EQ(doc.paragraphs.size(), 2u);
  const Paragraph& title = doc.paragraphs[0];
  EXPECT_EQ(title.alignment, Alignment::Center);
  ASSERT_EQ(title.runs.size(), 1u);
  EXPECT_TRUE(title.runs[0].format.bold);
  EXPECT_EQ(title.runs[0].format.fontSize, 32);
  EXPECT_EQ(title.runs[0].format.fontName, u"Calibri");
  EXPECT_EQ(title.runs[0].format.color, (Color{0, 128, 0}));

  const Paragraph& body = doc.paragraphs[1];
  EXPECT_EQ(body.alignment, Alignment::Justify);
  bool sawVersion = false;
  bool sawLink = false;
  for (const rtf::Run& run : body.runs) {
    if (run.text == u"v.1.3.1") {
      sawVersion = true;
      EXPECT_TRUE(run.format.italic);
      EXPECT_TRUE(run.format.underline);
    }
    if (run.text == u"你好") {
      EXPECT_EQ(run.format.fontName, u"SimSun");
    }
    if (run.text == u"www.silabs.com") {
      sawLink = true;
      EXPECT_TRUE(run.format.underline);
      EXPECT_EQ(run.format.color, (Color{0, 0, 255}));
    }
  }
  EXPECT_TRUE(sawVersion);
  EXPECT_TRUE(sawLink);
}

TEST(RtfReaderTest, ReadsWhatLibreOfficeWrites) {
  const Document doc = Parse(ReadSample("libreoffice.rtf"));
  EXPECT_EQ(FlatText(doc),
            u"Добро пожаловать!\n"
            u"Красный текст and underlined\u00A0«кавычки»\n"
            u"№ 1");
  ASSERT_EQ(doc.paragraphs.size(), 3u);
  EXPECT_EQ(doc.paragraphs[0].alignment, Alignment::Right);
  EXPECT_EQ(doc.paragraphs[1].alignment, Alignment::Left);
  EXPECT_EQ(doc.paragraphs[2].alignment, Alignment::Center);
  const rtf::Run& title = doc.paragraphs[0].runs.at(0);
  EXPECT_TRUE(title.format.bold);
  EXPECT_EQ(title.format.fontSize, 36);
  EXPECT_EQ(title.format.fontName, u"Liberation Serif");
  const auto& second = doc.paragraphs[1].runs;
  ASSERT_GE(second.size(), 3u);
  EXPECT_EQ(second[0].text, u"Красный текст");
  EXPECT_EQ(second[0].format.color, (Color{255, 0, 0}));
  EXPECT_EQ(second[1].text, u" and ");
  EXPECT_EQ(second[2].text, u"underlined");
  EXPECT_TRUE(second[2].format.underline);
  EXPECT_TRUE(doc.paragraphs[2].runs.at(0).format.italic);
}

// ------------------------------------------------------------- hostile input

TEST(RtfReaderTest, EveryPrefixOfARealFileParses) {
  for (const char* name : {"wordpad.rtf", "word.rtf", "libreoffice.rtf"}) {
    const std::string whole = ReadSample(name);
    ASSERT_FALSE(whole.empty()) << name;
    // Every third cut point keeps the test quick and still cuts every kind of token.
    for (std::size_t n = 5; n <= whole.size(); n += 3) {
      ASSERT_TRUE(ParseRtf(std::string_view(whole).substr(0, n)).has_value()) << name << " " << n;
    }
  }
}

TEST(RtfReaderTest, DeepNestingIsReadWithoutGrowingWithoutBound) {
  constexpr std::size_t kDepth = 100000;
  const std::string deep = "{\\rtf1 a" + std::string(kDepth, '{') + "\\b lost" +
                           std::string(kDepth, '}') + "b}";
  EXPECT_EQ(TextOf(deep), u"ab");
  // Unclosed: the text within the reachable depth still shows.
  EXPECT_EQ(TextOf("{\\rtf1 {{{{x" + std::string(kDepth, '{')), u"x");
  // More closing than opening braces after the deep part.
  EXPECT_EQ(TextOf("{\\rtf1 a" + std::string(kDepth, '{') + std::string(2 * kDepth, '}') + "b"), u"a");
}

TEST(RtfReaderTest, FormatRestoredAfterDeepNesting) {
  const std::string deep = "{\\rtf1 " + std::string(300, '{') + "\\b a" + std::string(300, '}') + "b}";
  const Document doc = Parse(deep);
  ASSERT_EQ(doc.paragraphs.size(), 1u);
  ASSERT_EQ(doc.paragraphs[0].runs.size(), 2u);
  EXPECT_TRUE(doc.paragraphs[0].runs[0].format.bold);
  EXPECT_FALSE(doc.paragraphs[0].runs[1].format.bold);
}

TEST(RtfReaderTest, LongTokensAreReadWhole) {
  const std::string longWord = "{\\rtf1 a\\" + std::string(100000, 'q') + "1 b\\par" +
                               std::string(1000, 'x') + "12 c\\fs" + std::string(100000, '9') + " d}";
  const Document doc = Parse(longWord);
  EXPECT_EQ(FlatText(doc), u"abcd");
  EXPECT_EQ(doc.paragraphs[0].runs.back().format.fontSize, kMaxFontSize);
}

TEST(RtfReaderTest, LargeInputsOfEveryKindFinish) {
  // Each would be quadratic (or unbounded) in a careless reader.
  std::string manyGroups = "{\\rtf1";
  for (int i = 0; i < 30000; ++i) manyGroups += "{\\b}x";
  std::string manyFonts = "{\\rtf1{\\fonttbl";
  for (int i = 0; i < 5000; ++i) manyFonts += "{\\f" + std::to_string(i) + " " + std::string(60, 'F') + ";}";
  manyFonts += "}";
  for (int i = 0; i < 20000; ++i) manyFonts += "{\\f" + std::to_string(i % 5000) + " y}";
  std::string manyUnicode = "{\\rtf1\\uc1 ";
  for (int i = 0; i < 30000; ++i) manyUnicode += "\\u1044?";
  EXPECT_EQ(TextOf(manyGroups).size(), 30000u);
  EXPECT_EQ(TextOf(manyFonts).size(), 20000u);
  EXPECT_EQ(TextOf(manyUnicode).size(), 30000u);
}

}  // namespace
}  // namespace tarvik::rtf
