#include "platform/ShiftJis.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using platform::Find;
using namespace std::string_literals;
constexpr auto npos = std::string_view::npos;

TEST(ShiftJisTest, LeadBytesAreExactlyTheTwoRanges) {
  for (int b = 0; b < 256; ++b) {
    const bool lead = (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC);
    EXPECT_EQ(platform::IsLeadByte(static_cast<unsigned char>(b)), lead) << b;
  }
}

TEST(ShiftJisTest, CharacterStartsWalkFromTheFirstByte) {
  // 0x95 0x5C is one character; 0x81 0x81 0x40 is a character and then "@".
  const struct {
    std::string text;
    std::size_t index;
    bool expected;
  } cases[] = {
      {"a\x95\x5C"
       "b",
       0, true},
      {"a\x95\x5C"
       "b",
       1, true},
      {"a\x95\x5C"
       "b",
       2, false},
      {"a\x95\x5C"
       "b",
       3, true},
      {"a\x95\x5C"
       "b",
       4, false},
      {"\x81\x81@", 1, false},
      {"\x81\x81@", 2, true},
      {"\x81", 0, true},
      {"", 0, false},
      {"\xA0\xDF\xFD", 2, true},  // bytes outside the lead ranges stand alone
  };
  for (const auto& c : cases) {
    EXPECT_EQ(platform::IsCharStart(c.text, c.index), c.expected) << c.text << " " << c.index;
  }
  EXPECT_EQ(platform::CharLength("ab\x81", 2), 1u);  // a lone lead byte at the end
  EXPECT_EQ(platform::CharLength("\x81\x40", 0), 2u);
}

TEST(ShiftJisTest, FindNeverMatchesOnASecondByte) {
  const struct {
    std::string text;
    std::string pattern;
    std::size_t from;
    std::size_t expected;
  } cases[] = {
      {"abc", "b", 0, 1},
      {"abc", "x", 0, npos},
      {"\x95\x5C", "\\", 0, npos},
      {"\x95\x5C\\", "\\", 0, 2},
      {"\x95\x5C\x95\x5C\\x", "\\", 0, 4},
      {"\x88\x81\x40", "\x81\x40", 0, npos},
      {"\x88\x81\x81\x40", "\x81\x40", 0, 2},
      {"\x81\x40\x81\x40", "\x40\x81", 0, npos},
      // A lead byte at the end stands alone, and nothing reads past it.
      {"ab\x81", "\x81", 0, 2},
      {"ab\x81", "\x81\x40", 0, npos},
      {"ab\x81", "b\x81\x40", 0, npos},
      // From is taken as a character start.
      {"\x95\x5C", "\\", 1, 1},
      {"a/b/c", "/", 2, 3},
      {"abc", "", 1, 1},
      {"abc", "", 3, 3},
      {"abc", "a", 4, npos},
      {"ab", "abc", 0, npos},
      {"a\0b"s, "\0"s, 0, 1},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(Find(c.text, c.pattern, c.from), c.expected)
        << testing::PrintToString(c.text) << " / " << testing::PrintToString(c.pattern);
  }
}

TEST(ShiftJisTest, FindStaysLinearOnManySecondByteCandidates) {
  // 500,000 kanji whose second byte is the pattern: a search that re-walked from the start at
  // every candidate would take hours.
  std::string text;
  for (int i = 0; i < 500000; ++i) text += "\x95\x5C";
  EXPECT_EQ(Find(text, "\\"), npos);
  EXPECT_EQ(Find(text + "\\", "\\"), text.size());
}

TEST(ShiftJisTest, FindLastAndReplaceAll) {
  EXPECT_EQ(platform::FindLast("a\\b\x95\x5C", "\\"), 1u);
  EXPECT_EQ(platform::FindLast("\x95\x5C", "\\"), npos);
  EXPECT_EQ(platform::FindLast("abc", ""), 3u);
  EXPECT_EQ(platform::ReplaceAll("dat\\\x95\x5C\\a.bmp", "\\", "/"), "dat/\x95\x5C/a.bmp");
  EXPECT_EQ(platform::ReplaceAll("aaa", "aa", "b"), "ba");
  EXPECT_EQ(platform::ReplaceAll("abc", "", "x"), "abc");
  EXPECT_EQ(platform::ReplaceAll("a\x81\x40"
                                 "b\x81\x40",
                                 "\x81\x40", " "),
            "a b ");
}

TEST(ShiftJisTest, FileNamesUseSlashesAndUtf8) {
  EXPECT_EQ(platform::DisplayFileName("dat\\story.txt"), "dat/story.txt");
  EXPECT_EQ(platform::NativeFileName("dat\\story.txt"), "dat/story.txt");
  // 0x955C is the kanji for "table" (U+8868); its second byte is no separator.
  EXPECT_EQ(platform::DisplayFileName("dat\\\x95\x5C.bmp"), "dat/\x95\x5C.bmp");
  EXPECT_EQ(platform::NativeFileName("dat\\\x95\x5C.bmp"), "dat/\xE8\xA1\xA8.bmp");
}

}  // namespace
