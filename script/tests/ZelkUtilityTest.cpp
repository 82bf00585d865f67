#include "script/ZelkUtility.h"

#include <gtest/gtest.h>

#include <climits>
#include <string>

#include "script/MyCrypt.h"

namespace {

using namespace std::string_literals;

TEST(CopyLeftTest, CutsAtSizeOrKeepsAll) {
  const struct {
    std::string text;
    int32_t size;
    std::string expected;
  } cases[] = {
      {"abcdef", 3, "abc"},
      {"abcdef", 6, "abcdef"},
      {"abcdef", 7, "abcdef"},
      {"abcdef", INT32_MAX, "abcdef"},
      {"abcdef", 0, ""},
      {"abcdef", -1, ""},
      {"abcdef", INT32_MIN, ""},
      {"", 5, ""},
      // Counts bytes, even through a two-byte character.
      {"\x88\x9F"s + "x", 1, "\x88"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(CopyLeft(c.text, c.size), c.expected) << c.text << " " << c.size;
  }
}

TEST(SplitTest, CutsAtEverySeparator) {
  const struct {
    std::string text;
    std::string separator;
    TStringDynArray expected;
  } cases[] = {
      {"a//b//c", "//", {"a", "b", "c"}},
      {"a//", "//", {"a", ""}},
      {"//x", "//", {"", "x"}},
      {"", "//", {""}},
      {"abc", "//", {"abc"}},
      {"////", "//", {"", "", ""}},
      // The separator appended before cutting pairs with a trailing '/', which is lost.
      {"///", "//", {"", ""}},
      {"a/", "//", {"a"}},
      {"ab//cd/", "//", {"ab", "cd"}},
      {"a b  c", " ", {"a", "b", "", "c"}},
      // 0x5C and 0x40 are second bytes here: kanji 0x955C and 0x8140 (the full-width space).
      {"\x95\x5C\\x", "\\", {"\x95\x5C", "x"}},
      {"a\x81\x40"
       "b",
       "\x40",
       {"a\x81\x40"
        "b"}},
      {"a\x81\x40"
       "b",
       "\x81\x40",
       {"a", "b"}},
      // A two-byte character whose second byte is '/' is not half a separator.
      {"\x81/ /x", "/", {"\x81/ ", "x"}},
      // A lone lead byte at the end is a character of its own, not the first half of the
      // appended separator.
      {"ab\x81", " ", {"ab\x81"}},
      {"a b\x81", " ", {"a", "b\x81"}},
      {"\x81", "//", {"\x81"}},
      // NUL is an ordinary byte.
      {"a\0b//c"s, "//", {"a\0b"s, "c"}},
      {"a\0b"s, "\0"s, {"a", "b"}},
  };
  for (const auto& c : cases) {
    TStringDynArray pieces{"stale"};
    Split(c.text, c.separator, pieces);
    EXPECT_EQ(pieces, c.expected) << "'" << c.text << "' at '" << c.separator << "'";
  }
}

TEST(SplitTest, EmptySeparatorLeavesPiecesAlone) {
  TStringDynArray pieces{"x", "y"};
  Split("a//b", "", pieces);
  EXPECT_EQ(pieces, (TStringDynArray{"x", "y"}));
  TStringDynArray none;
  Split("a//b", "", none);
  EXPECT_TRUE(none.empty());
}

TEST(SplitTest, ManyPiecesStayLinear) {
  // 200,000 separators: a cut that copied the rest of the text each time would take minutes.
  std::string text;
  for (int i = 0; i < 200000; ++i) text += "x ";
  TStringDynArray pieces;
  Split(text, " ", pieces);
  ASSERT_EQ(pieces.size(), 200001u);
  EXPECT_EQ(pieces[199999], "x");
  EXPECT_EQ(pieces.back(), "");
}

TEST(CryptTest, ScramblesPrintableBytesOnly) {
  EXPECT_EQ(Crypt("A"), "\x5A");  // 0x41 ^ 0x1B
  EXPECT_EQ(Crypt("\x20"), "\x3B");
  EXPECT_EQ(Crypt("\xFF"), "\xE4");
  EXPECT_EQ(Crypt(""), "");
  for (int b = 0; b < 256; ++b) {
    const std::string byte(1, static_cast<char>(b));
    const std::string once = Crypt(byte);
    ASSERT_EQ(once.size(), 1u);
    if (b < 0x20) {
      EXPECT_EQ(once, byte) << "control byte " << b << " must pass unchanged";
    } else {
      EXPECT_NE(once, byte) << b;
      EXPECT_GE(static_cast<unsigned char>(once[0]), 0x20) << b;
    }
    EXPECT_EQ(Crypt(once), byte) << "not its own inverse for " << b;
  }
  const std::string line = "#image bg.jpg\t// \x82\xA0\r\n\x1A";
  EXPECT_EQ(Crypt(Crypt(line)), line);
}

}  // namespace
