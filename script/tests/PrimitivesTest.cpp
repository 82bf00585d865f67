// The script line primitives: tokens, labels and command words.

#include <gtest/gtest.h>

#include <cctype>
#include <string>

#include "platform/ShiftJis.h"
#include "script/tests/ZelkScriptProbe.h"

namespace {

using namespace std::string_literals;
using Probe = TZelkScriptProbe;

const std::string kFullWidthSpace = "\x81\x40";

TEST(TokenizeTest, NormalisesBlanksAndCutsAtSpaces) {
  const struct {
    std::string line;
    TStringDynArray expected;
  } cases[] = {
      {"  #image\tbg.jpg  ", {"#image", "bg.jpg"}},
      {"one" + kFullWidthSpace + " \ttwo", {"one", "two"}},
      {"", {""}},
      {"   \t " + kFullWidthSpace, {""}},
      {"a", {"a"}},
      {"a      b", {"a", "b"}},
      {"a \t \t b", {"a", "b"}},
      // 0x88 0x81 is one character, so the "@" after it does not make a full-width space.
      {"\x88\x81\x40", {"\x88\x81\x40"}},
      {"x\x88\x81\x40y z", {"x\x88\x81\x40y", "z"}},
      // A space or TAB that is the second byte of a two-byte character is no blank.
      {"a\x81 b", {"a\x81 b"}},
      {"a\x81\tb", {"a\x81\tb"}},
      {"a\x81  b", {"a\x81 ", "b"}},
      // Control bytes go at the ends only, and by byte.
      {"\x01\x02 #end \x03", {"#end"}},
      {"a\x01"
       "b c",
       {"a\x01"
        "b",
        "c"}},
      {"\x01 a", {"a"}},
      {"a \x01", {"a"}},
      {"a \x01 b", {"a", "\x01", "b"}},
      // A trailing second byte at or below 0x20 is trimmed like any such byte; the lead byte
      // left alone at the end is still one token.
      {"ab\x81 ", {"ab\x81"}},
      {"ab\x81", {"ab\x81"}},
      {"\x81", {"\x81"}},
      // NUL is a control byte like any other.
      {"\0a b\0"s, {"a", "b"}},
      {"a\0b"s, {"a\0b"s}},
      // Full-width letters are no blanks.
      {"\x82\x60 \x82\x81", {"\x82\x60", "\x82\x81"}},
  };
  for (const auto& c : cases) EXPECT_EQ(Probe::Tokenize(c.line), c.expected) << c.line;
}

// The normalisation done the long way: each replacement in turn, then trimming and cutting. The
// one-pass tokeniser must agree with it on every short line over the troublesome bytes.
TStringDynArray TokenizeStepByStep(const std::string& line) {
  std::string text = platform::ReplaceAll(line, kFullWidthSpace, " ");
  text = platform::ReplaceAll(text, "\t", " ");
  while (platform::Find(text, "  ") != std::string::npos)
    text = platform::ReplaceAll(text, "  ", " ");
  const auto blank = [](char c) { return static_cast<unsigned char>(c) <= 0x20; };
  while (!text.empty() && blank(text.front())) text.erase(0, 1);
  while (!text.empty() && blank(text.back())) text.pop_back();
  TStringDynArray tokens;
  Split(text, " ", tokens);
  return tokens;
}

TEST(TokenizeTest, AgreesWithStepByStepNormalisation) {
  const std::string alphabet = " \t\x81@a\x01\x95\x5C\xFC\0"s;
  std::string line;
  // Every line of up to 5 bytes over the alphabet: 111,111 lines.
  const auto visit = [&](auto&& self, std::size_t length) -> void {
    if (length == line.size()) {
      const TStringDynArray expected = TokenizeStepByStep(line);
      const TStringDynArray tokens = Probe::Tokenize(line);
      ASSERT_EQ(tokens, expected) << testing::PrintToString(line);
      ASSERT_EQ(Probe::BeginsWithLabel(line), Probe::IsLabel(tokens.front(), 1))
          << testing::PrintToString(line);
      return;
    }
    for (char c : alphabet) {
      line.push_back(c);
      self(self, length);
      line.pop_back();
    }
  };
  for (std::size_t length = 0; length <= 5; ++length) visit(visit, length);
}

TEST(TokenizeTest, LongRunsOfBlanksStayLinear) {
  // A million blanks between two words: replacing pairs over and over would take minutes.
  const std::string line = "a" + std::string(1000000, ' ') + "\t" + kFullWidthSpace + "b";
  EXPECT_EQ(Probe::Tokenize(line), (TStringDynArray{"a", "b"}));
}

TEST(IsLabelTest, FindsTheMarkOnACharacterOfItsOwn) {
  const struct {
    std::string text;
    int32_t index;
    bool expected;
  } cases[] = {
      {"@", 1, true},         {"@start", 1, true},
      {"", 1, false},         {"\x81\x97start", 1, false},  // the full-width at sign
      {"a@", 2, true},        {"a@", 3, false},
      {"@", 0, false},        {"@", -1, false},
      {"\x81@", 2, false},  // second byte of a two-byte character
      {"\x81\x81@", 3, true}, {" @a", 1, false},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(Probe::IsLabel(c.text, c.index), c.expected) << c.text << " at " << c.index;
  }
}

TEST(IsCommandTest, ComparesTheFirstTokenIgnoringCase) {
  const struct {
    std::string line;
    std::string word;
    bool expected;
    TStringDynArray tokens;
  } cases[] = {
      {"#ending", "#end", false, {"#ending"}},
      {"   #END   now", "#end", true, {"#END", "now"}},
      {"#End", "#end", true, {"#End"}},
      {"#end", "#END", true, {"#end"}},
      {"#en", "#end", false, {"#en"}},
      {"", "#end", false, {""}},
      {"", "", true, {""}},
      {"#goto @a", "#goto", true, {"#goto", "@a"}},
      {"\t#GoTo\x81\x40@a", "#goto", true, {"#GoTo", "@a"}},
      // Full-width and one-byte letters never match, in either direction.
      {"#\x82\x85\x82\x8E\x82\x84", "#end", false, {"#\x82\x85\x82\x8E\x82\x84"}},
      {"#end", "#\x82\x85\x82\x8E\x82\x84", false, {"#end"}},
      // Full-width Latin: upper 0x8260-0x8279 against lower 0x8281-0x829A.
      {"\x82\x60\x82\x79", "\x82\x81\x82\x9A", true, {"\x82\x60\x82\x79"}},
      {"\x82\x81", "\x82\x61", false, {"\x82\x81"}},  // a against B
      // Greek: 0x839F-0x83B6 against 0x83BF-0x83D6.
      {"\x83\x9F\x83\xB6", "\x83\xBF\x83\xD6", true, {"\x83\x9F\x83\xB6"}},
      // Cyrillic: the lower row skips 0x847F, so Н (0x844E) pairs with 0x847E and О (0x844F)
      // with 0x8480.
      {"\x84\x40\x84\x4E\x84\x4F\x84\x60",
       "\x84\x70\x84\x7E\x84\x80\x84\x91",
       true,
       {"\x84\x40\x84\x4E\x84\x4F\x84\x60"}},
      {"\x84\x4F", "\x84\x7F", false, {"\x84\x4F"}},
      // Bytes that only look like letters as second bytes are not folded.
      {"\x81\x41", "\x81\x61", false, {"\x81\x41"}},
      // Katakana and kanji compare exactly.
      {"\x83\x41", "\x83\x41", true, {"\x83\x41"}},
      // A lone lead byte at the end is compared as a byte of its own.
      {"#end\x81", "#end", false, {"#end\x81"}},
      {"#END\x81", "#end\x81", true, {"#END\x81"}},
  };
  for (const auto& c : cases) {
    TStringDynArray tokens{"stale", "stale"};
    EXPECT_EQ(Probe::IsCommand(c.line, c.word, tokens), c.expected) << c.line << " / " << c.word;
    EXPECT_EQ(tokens, c.tokens) << c.line;
  }
}

TEST(IsCommandTest, FoldsExactlyTheAsciiLetters) {
  for (int b = 0x21; b < 0x80; ++b) {
    for (int d = 0x21; d < 0x80; ++d) {
      const std::string x = "#" + std::string(1, static_cast<char>(b));
      const std::string y = "#" + std::string(1, static_cast<char>(d));
      const bool sameLetter = std::tolower(b) == std::tolower(d) && std::isalpha(b);
      TStringDynArray tokens;
      ASSERT_EQ(Probe::IsCommand(x, y, tokens), b == d || sameLetter) << b << " " << d;
    }
  }
}

}  // namespace
