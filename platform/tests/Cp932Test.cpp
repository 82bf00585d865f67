#include "platform/Cp932.h"

#include <gtest/gtest.h>

#include <string>

namespace {

struct TCase {
  const char* name;
  std::string cp932;
  std::string utf8;
};

// What CP932 (as opposed to plain Shift-JIS) must give, and what invalid input must give: one
// U+FFFD per bad byte with everything after it kept.
const TCase kToUtf8[] = {
    {"ascii", "abc #image x.bmp", "abc #image x.bmp"},
    {"backslash stays a backslash", "dat\\story.txt", "dat\\story.txt"},
    {"kanji whose second byte is 0x5C", "\x95\x5C", "\xE8\xA1\xA8"},  // 表
    {"wave dash of Windows", "\x81\x60", "\xEF\xBD\x9E"},             // U+FF5E
    {"NEC circled digit", "\x87\x40", "\xE2\x91\xA0"},                // ①
    {"half-width katakana", "\xB1", "\xEF\xBD\xB1"},                  // ｱ
    {"embedded NUL", std::string("a\0b", 3), std::string("a\0b", 3)},
    {"lone lead byte at the end", "ab\x82", "ab\xEF\xBF\xBD"},
    {"undefined single byte in the middle",
     "a\x80"
     "b",
     "a\xEF\xBF\xBD"
     "b"},
    {"lead byte with a bad second byte keeps that byte", "\x81\x20x", "\xEF\xBF\xBD x"},
    {"several bad bytes, text after them kept", "\xFF\xFD\x82\xA0ok",
     "\xEF\xBF\xBD\xEF\xBF\xBD\xE3\x81\x82ok"},  // the pair 0x82 0xA0 is あ
    {"empty", "", ""},
};

TEST(Cp932, ConvertsToUtf8AndReplacesEveryBadByte) {
  for (const TCase& c : kToUtf8) {
    EXPECT_EQ(platform::Cp932ToUtf8(c.cp932), c.utf8) << c.name;
  }
}

TEST(Cp932, LongTextGrowsTheBufferWithoutLoss) {
  std::string cp932;
  std::string utf8;
  for (int i = 0; i < 20000; ++i) {
    cp932 += "\x82\xA0\x80";  // あ, then a bad byte
    utf8 += "\xE3\x81\x82\xEF\xBF\xBD";
  }
  EXPECT_EQ(platform::Cp932ToUtf8(cp932), utf8);
}

TEST(Cp932, ConvertsFromUtf8WithOneMarkPerUnmappableCharacter) {
  const TCase cases[] = {
      {"round trip", "\x93\xfa\x96\x7b\x8c\xea\x87\x40\x95\x5C", "日本語①表"},
      {"character outside CP932", "caf?", "café"},
      {"invalid UTF-8 byte", "a?b",
       "a\xFF"
       "b"},
  };
  for (const TCase& c : cases) EXPECT_EQ(platform::Utf8ToCp932(c.utf8), c.cp932) << c.name;
}

TEST(Cp932, OneConverterServesManyTexts) {
  platform::TCp932Converter converter(platform::TCp932Converter::TDirection::ToUtf8);
  // A text cut after a lead byte must not leave state behind for the next one.
  EXPECT_EQ(converter.Convert("\x82"), "\xEF\xBF\xBD");
  EXPECT_EQ(converter.Convert("\xA0"), "\xEF\xBF\xBD");  // alone, 0xA0 is no character
  EXPECT_EQ(converter.Convert("\x82\xA0"), "\xE3\x81\x82");
}

}  // namespace
