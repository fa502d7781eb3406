#include "cp1251.h"

#include <gtest/gtest.h>

namespace tarvik {
namespace {

struct ByteCase {
  unsigned char byte;
  char16_t cyrillic;
  char16_t western;
};

// clang-format off
const ByteCase kByteCases[] = {
    {0x00, 0x0000, 0x0000}, {0x41, u'A', u'A'}, {0x7F, 0x007F, 0x007F},
    {0x80, u'Ђ', u'€'},     {0x81, u'Ѓ', 0xFFFD}, {0x88, u'€', 0x02C6},
    {0x98, 0xFFFD, 0x02DC}, {0x9F, u'џ', u'Ÿ'},   {0xA0, 0x00A0, 0x00A0},
    {0xA8, u'Ё', 0x00A8},   {0xB8, u'ё', 0x00B8}, {0xB9, u'№', 0x00B9},
    {0xC0, u'А', u'À'},     {0xDF, u'Я', u'ß'},   {0xE0, u'а', u'à'},
    {0xFF, u'я', u'ÿ'},
};
// clang-format on

TEST(Cp1251Test, DecodesBothCodePages) {
  for (const ByteCase& c : kByteCases) {
    EXPECT_EQ(Cp1251ToUnicode(c.byte), c.cyrillic) << int(c.byte);
    EXPECT_EQ(Cp1252ToUnicode(c.byte), c.western) << int(c.byte);
    EXPECT_EQ(SingleByteToUnicode(1251, c.byte), c.cyrillic) << int(c.byte);
    EXPECT_EQ(SingleByteToUnicode(1252, c.byte), c.western) << int(c.byte);
    // Code pages without a table of their own read as Western.
    EXPECT_EQ(SingleByteToUnicode(1250, c.byte), c.western) << int(c.byte);
  }
}

TEST(Cp1251Test, UpperHalfOfCyrillicIsTheAlphabet) {
  for (int b = 0xC0; b <= 0xFF; ++b) {
    EXPECT_EQ(Cp1251ToUnicode(static_cast<unsigned char>(b)), 0x0410 + (b - 0xC0)) << b;
  }
}

TEST(Cp1251Test, DecodesStrings) {
  EXPECT_EQ(DecodeSingleByte(1251, "\xcf\xf0\xe8\xe2\xe5\xf2, GPS Tarvik!"), u"Привет, GPS Tarvik!");
  EXPECT_EQ(DecodeSingleByte(1252, "caf\xe9"), u"café");
  EXPECT_EQ(DecodeSingleByte(1251, ""), u"");
}

}  // namespace
}  // namespace tarvik
