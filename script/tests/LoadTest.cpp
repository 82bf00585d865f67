// Reading story files into the line store.

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "platform/Errors.h"
#include "platform/HeadlessBackend.h"
#include "script/MyCrypt.h"
#include "script/tests/ZelkScriptProbe.h"

namespace {

using namespace std::string_literals;
using Probe = TZelkScriptProbe;

class LoadTest : public testing::Test {
 protected:
  platform::THeadlessBackend& backend = platform::UseHeadlessBackend();
  TStoryFolder folder;
};

std::string Lines(int count) {
  std::string text;
  for (int i = 1; i <= count; ++i) text += "line " + std::to_string(i) + "\n";
  return text;
}

TEST_F(LoadTest, StoresLinesAsTheFormatSays) {
  const struct {
    std::string file;
    TStringDynArray stored;
  } cases[] = {
      {"Hello\nWorld", {"Hello", "World", "World"}},
      {"Hello\nWorld\n", {"Hello", "World", "World"}},
      {"Hello\r\nWorld\r\n", {"Hello", "World", "World"}},
      {"", {""}},
      {"\n", {"", ""}},
      {"// note", {"", ""}},
      {"   // note\nx", {"   ", "x", "x"}},
      {"  @start   here // x\nx", {"@start", "x", "x"}},
      {"\t\x81\x40@a b\nx", {"@a", "x", "x"}},
      {"#image bg.jpg // note\nx", {"#image bg.jpg ", "x", "x"}},
      {"ab//cd\nx", {"ab", "x", "x"}},
      {"ab\rcd\n", {"abcd", "abcd"}},
      {"a\nb\n\x1A", {"a", "b", "b"}},
      {"a\n\x1A"
       "b\nc\n",
       {"a", "a"}},
      {"a\x1A"
       "b\n",
       {"a\x1A"
        "b",
        "a\x1A"
        "b"}},
      // The full-width at sign is no label mark; a label is cut to its first token only.
      {"\x81\x97x y\n", {"\x81\x97x y", "\x81\x97x y"}},
      // A "//" whose first '/' is a second byte does not start a comment.
      {"\x81//x\n", {"\x81//x", "\x81//x"}},
      // No byte-order mark is recognised.
      {"\xEF\xBB\xBF@a\n", {"\xEF\xBB\xBF@a", "\xEF\xBB\xBF@a"}},
      // NUL is kept like any other byte.
      {"a\0b\n"s, {"a\0b"s, "a\0b"s}},
  };
  for (const auto& c : cases) {
    TStoryFolder::Write("dat/story.txt", c.file);
    TZelkScript script("dat\\story.txt", false);
    const auto& units = Probe::Units(script);
    ASSERT_EQ(units.size(), 1u) << c.file;
    EXPECT_EQ(units[0].Count, static_cast<int32_t>(c.stored.size())) << c.file;
    EXPECT_EQ(units[0].Lines, c.stored) << testing::PrintToString(c.file);
    EXPECT_EQ(units[0].Position, 0);
  }
  EXPECT_EQ(backend.beeps, 0);
}

TEST_F(LoadTest, ScrambledStoryGivesThePlainLines) {
  const std::string plain[] = {"@start", "  #image\tbg.jpg // x", "\x82\xA0\x82\xA2 // c", "",
                               "end"};
  std::string plainFile, scrambledFile;
  for (const auto& line : plain) {
    plainFile += line + "\r\n";
    scrambledFile += Crypt(line) + "\r\n";
  }
  scrambledFile += "\x1A junk after the end";
  TStoryFolder::Write("dat/plain.txt", plainFile);
  TStoryFolder::Write("dat/scrambled.txt", scrambledFile);
  TZelkScript plainScript("dat\\plain.txt", false);
  TZelkScript scrambledScript("dat\\scrambled.txt", true);
  EXPECT_NE(plainFile, scrambledFile);
  EXPECT_EQ(Probe::Units(scrambledScript)[0].Lines, Probe::Units(plainScript)[0].Lines);
  EXPECT_EQ(Probe::Units(plainScript)[0].Lines[1], "  #image\tbg.jpg ");
}

TEST_F(LoadTest, HoldsAtMost9999Lines) {
  TStoryFolder::Write("dat/story.txt", Lines(9999));
  TZelkScript script("dat\\story.txt", false);
  const TScriptUnit& unit = Probe::Units(script)[0];
  EXPECT_EQ(unit.Count, 10000);
  EXPECT_EQ(unit.Lines[9998], "line 9999");
  EXPECT_EQ(unit.Lines[9999], "line 9999");

  const struct {
    int lines;
    std::string message;
  } tooLong[] = {
      // Exactly 10,000 lines fail at the second copy of the last line.
      {10000, "dat/story.txt:10000: the story is too long; a story may have at most 9999 lines"},
      {10001, "dat/story.txt:10001: the story is too long; a story may have at most 9999 lines"},
  };
  for (const auto& c : tooLong) {
    TStoryFolder::Write("dat/story.txt", Lines(c.lines));
    try {
      TZelkScript failed("dat\\story.txt", false);
      ADD_FAILURE() << c.lines << " lines were accepted";
    } catch (const platform::ERangeError& e) {
      EXPECT_EQ(std::string(e.what()), c.message);
    }
  }
}

TEST_F(LoadTest, RangeErrorLeavesTheFilledUnit) {
  TStoryFolder::Write("dat/story.txt", "a\n");
  TZelkScript script("dat\\story.txt", false);
  TStoryFolder::Write("dat/long.txt", Lines(10000));
  EXPECT_THROW(script.LoadScript("dat\\long.txt", false), platform::ERangeError);
  const auto& units = Probe::Units(script);
  ASSERT_EQ(units.size(), 2u);
  EXPECT_EQ(units[1].Count, 10000);
  EXPECT_THROW(script.AddLine("more"), platform::ERangeError);
}

TEST_F(LoadTest, MissingFileOnlyBeeps) {
  std::filesystem::create_directory("dat/folder.txt");
  for (const std::string name : {"dat\\missing.txt", "dat\\folder.txt", "dat\\"}) {
    const int beeps = backend.beeps;
    TZelkScript script(name, false);
    EXPECT_TRUE(Probe::Units(script).empty()) << name;
    EXPECT_EQ(backend.beeps, beeps + 1) << name;
    EXPECT_FALSE(script.LoadScript(name, false));
    EXPECT_TRUE(Probe::Units(script).empty());
  }
  EXPECT_EQ(backend.quitRequests, 0);
}

TEST_F(LoadTest, SecondLoadAppendsTheCurrentUnit) {
  TStoryFolder::Write("dat/one.txt", "A\nB\nC\n");
  TStoryFolder::Write("dat/two.txt", "X\nY\n");
  TZelkScript script("dat\\one.txt", false);
  script.SetLinesPerPage(1);
  script.Step();  // moves the first unit's position; no page handler is needed for that
  EXPECT_TRUE(script.LoadScript("dat\\two.txt", false));
  EXPECT_FALSE(script.LoadScript("dat\\three.txt", false));
  const auto& units = Probe::Units(script);
  ASSERT_EQ(units.size(), 2u);
  EXPECT_EQ(units[0].Lines, (TStringDynArray{"A", "B", "C", "C"}));
  EXPECT_EQ(units[0].Position, 1);
  EXPECT_EQ(units[1].Lines, (TStringDynArray{"X", "Y", "Y"}));
  EXPECT_EQ(units[1].Position, 0);
}

TEST_F(LoadTest, UnreadableFileRaisesAndKeepsItsUnit) {
  // Reading this process's memory at address 0 fails, though the file exists and opens.
  TStoryFolder::Write("dat/story.txt", "a\n");
  TZelkScript script("dat\\story.txt", false);
  try {
    script.LoadScript("/proc/self/mem", false);
    FAIL() << "no error";
  } catch (const platform::EInOutError& e) {
    EXPECT_NE(std::string(e.what()).find("/proc/self/mem"), std::string::npos) << e.what();
  }
  const auto& units = Probe::Units(script);
  ASSERT_EQ(units.size(), 2u);
  EXPECT_EQ(units[1].Count, 0);
  EXPECT_THROW(TZelkScript("/proc/self/mem", false), platform::EInOutError);
}

TEST_F(LoadTest, AddLineAppendsToTheCurrentUnit) {
  TStoryFolder::Write("dat/story.txt", "a\n");
  TZelkScript script("dat\\story.txt", false);
  script.AddLine("@x");
  EXPECT_EQ(Probe::Units(script)[0].Lines, (TStringDynArray{"a", "a", "@x"}));
  script.ClearUnits();
  EXPECT_THROW(script.AddLine("b"), platform::ERangeError);
}

}  // namespace
