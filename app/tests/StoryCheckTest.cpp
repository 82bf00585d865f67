// The story checker: one story per case, written into a scratch folder with the files it names,
// and the checker's whole report compared with what an author should read.

#include "app/StoryCheck.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "platform/tests/PictureFixtures.h"
#include "platform/tests/SmfWriter.h"

namespace {

namespace fs = std::filesystem;

struct TCheckCase {
  const char* what;
  std::string story;                                                // Shift-JIS, CR LF line ends
  std::vector<std::pair<std::string, std::vector<uint8_t>>> files;  // below dat/
  std::string expected;
  int errors;
};

std::vector<uint8_t> Bytes(const std::string& text) {
  return {text.begin(), text.end()};
}

class StoryCheckTest : public ::testing::Test {
 protected:
  void SetUp() override { previous_ = fs::current_path(); }
  void TearDown() override { fs::current_path(previous_); }

  fs::path previous_;
};

TEST_F(StoryCheckTest, ReportsEachProblemWhereItIs) {
  const auto picture = fixtures::TrueColourBmp(8, 8, [](int, int) {
    return fixtures::TRgb{1, 2, 3};
  });
  const auto music = smf::Make(0, {{0, 480, 60, 100}}, 960);
  const std::string end = "#end\r\n// the last line\r\n";
  const TCheckCase cases[] = {
      {"a sound story",
       "#image bg.bmp\r\n#midi m.mid\r\nHello\r\n#midi\r\nWorld\r\n" + end,
       {{"bg.bmp", picture}, {"m.mid", music}},
       "dat/story.txt: no problems found\n",
       0},
      {"jumps that go nowhere",
       "a\r\n#goto\r\n#goto start\r\n#goto @nowhere\r\n#goto @Start\r\n@start\r\nb\r\n" + end,
       {},
       "dat/story.txt:2: error: #goto needs a label to jump to, e.g. #goto @start\n"
       "dat/story.txt:3: error: #goto start: the target is no label (labels begin with @); the "
       "line is passed over\n"
       "dat/story.txt:4: error: #goto @nowhere: no line holds the label @nowhere\n"
       "dat/story.txt:5: error: #goto @Start: no line holds the label @Start (line 6 has "
       "@start; labels must match in case)\n"
       "4 errors, 0 warnings\n",
       4},
      {"a label defined twice, and where each jump lands",
       "@a\r\none\r\n#goto @a\r\n@a\r\ntwo\r\n#goto @a\r\n" + end,
       {},
       "dat/story.txt:4: warning: label @a is defined 2 times (lines 1 and 4); #goto on line 3 "
       "reaches line 1; #goto on line 6 reaches line 1\n"
       "dat/story.txt:5: warning: lines 5 to 7 are never reached: no path through the story "
       "leads here\n"
       "0 errors, 2 warnings\n",
       0},
      {"a loop of jumps without text",
       "one\r\n@x\r\n#goto @y\r\n@y\r\n#goto @x\r\n" + end,
       {},
       "dat/story.txt:5: error: #goto @x goes round in a loop that never reaches a line of text; "
       "the player reports an error here\n"
       "1 error, 0 warnings\n",
       1},
      {"pictures and music: missing, wrong case, undecodable, not MIDI",
       "#image\r\n#image gone.jpg\r\n#image BG.bmp\r\n#image bad.jpg\r\n#image up.JPG\r\n"
       "#midi noise.mid\r\n#midi\r\ntext\r\n" +
           end,
       {{"bg.bmp", picture},
        {"bad.jpg", Bytes("not a picture")},
        {"up.JPG", Bytes("not a bitmap")},
        {"noise.mid", Bytes("RIFF....")}},
       "dat/story.txt:1: error: #image needs a file name, e.g. #image bg.jpg\n"
       "dat/story.txt:2: error: dat/gone.jpg: no such file\n"
       "dat/story.txt:3: warning: dat/BG.bmp exists only as dat/bg.bmp, in other letter case: "
       "found here, but not on systems where case matters\n"
       "dat/story.txt:4: error: \"dat/bad.jpg\" is not a readable JPEG picture: Not a JPEG "
       "file: starts with 0x6e 0x6f\n"
       "dat/story.txt:5: error: \"dat/up.JPG\" is not a readable bitmap: File is not a Windows "
       "BMP file (only names ending in .jpg or .jpeg in small letters are read as JPEG; this "
       "one is read as a Windows bitmap)\n"
       "dat/story.txt:6: error: dat/noise.mid: not a Standard MIDI File\n"
       "5 errors, 1 warning\n",
       5},
      {"text that cannot be shown as written",
       "bad \x81\x20 byte\r\n" + std::string(60, 'x') + "\r\n\x95\x5C\r\n" + end,
       {},
       "dat/story.txt:1: warning: byte 0x81 in column 5 is not valid Shift-JIS (code page "
       "932); it shows as a replacement mark\n"
       "dat/story.txt:2: warning: this line is 422 pixels wide; the text has room for 305, so "
       "the rest is cut off\n"
       "0 errors, 2 warnings\n",
       0},
      {"the file's last line is never shown",
       "one\r\ntwo\r\n",
       {},
       "dat/story.txt:2: warning: the file's last line is never shown: reading it ends the "
       "story (add #end after it)\n"
       "0 errors, 1 warning\n",
       0},
      {"dead lines after the end",
       "one\r\n#end\r\n@later\r\ntwo\r\n#image x.bmp\r\n\r\n",
       {},
       "dat/story.txt:4: warning: lines 4 to 5 are never reached: no path through the story "
       "leads here\n"
       "dat/story.txt:5: error: dat/x.bmp: no such file\n"
       "1 error, 1 warning\n",
       1},
      {"an empty story",
       "",
       {},
       "dat/story.txt: warning: no line of text is ever shown: the story ends before its first\n"
       "0 errors, 1 warning\n",
       0},
  };
  for (const TCheckCase& c : cases) {
    SCOPED_TRACE(c.what);
    fixtures::TScratchFolder folder;
    fs::create_directories(folder.File("dat"));
    fixtures::WriteFile(folder.File("dat/story.txt"), Bytes(c.story));
    for (const auto& [name, bytes] : c.files)
      fixtures::WriteFile(folder.File("dat/" + name), bytes);
    fs::current_path(folder.File(""));
    std::ostringstream out;
    const TCheckResult result = CheckStory(out);
    fs::current_path(previous_);
    EXPECT_EQ(out.str(), c.expected);
    EXPECT_EQ(result.Errors, c.errors);
  }
}

TEST_F(StoryCheckTest, StoryFileItself) {
  struct TFileCase {
    const char* what;
    const char* folder;  // where the story lies below the story's folder
    std::string expected;
    int errors;
  };
  const TFileCase cases[] = {
      {"no story", "elsewhere/story.txt",
       "dat/story.txt: error: no story here: the file does not exist\n1 error, 0 warnings\n", 1},
      {"found only in other letter case", "DAT/Story.TXT",
       "dat/story.txt: warning: exists only as DAT/Story.TXT, in other letter case: found here, "
       "but not on systems where case matters\n0 errors, 1 warning\n",
       0},
  };
  for (const TFileCase& c : cases) {
    SCOPED_TRACE(c.what);
    fixtures::TScratchFolder folder;
    const fs::path story = folder.File(c.folder);
    fs::create_directories(story.parent_path());
    fixtures::WriteFile(story.string(), Bytes("one\r\n#end\r\n\r\n"));
    fs::current_path(folder.File(""));
    std::ostringstream out;
    EXPECT_EQ(CheckStory(out).Errors, c.errors);
    fs::current_path(previous_);
    EXPECT_EQ(out.str(), c.expected);
  }
}

TEST_F(StoryCheckTest, StoryLongerThanTheLineStoreIsAnError) {
  fixtures::TScratchFolder folder;
  fs::create_directories(folder.File("dat"));
  std::string story;
  for (int i = 0; i < 10000; ++i) story += "line\r\n";
  fixtures::WriteFile(folder.File("dat/story.txt"), Bytes(story));
  fs::current_path(folder.File(""));
  std::ostringstream out;
  EXPECT_EQ(CheckStory(out).Errors, 1);
  fs::current_path(previous_);
  EXPECT_EQ(out.str(),
            "dat/story.txt:10000: error: the story is too long: a story may have at most 9999 "
            "lines, and the player does not start\n1 error, 0 warnings\n");
}

}  // namespace
