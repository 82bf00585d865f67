// Looking up story file names made on a case-blind system with '\' separators and Shift-JIS
// names, against real folders made in a temporary directory.

#include "platform/FileNames.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "platform/ShiftJis.h"
#include "platform/TextFile.h"

namespace {

namespace fs = std::filesystem;
using platform::TNameMatch;

// A fresh folder holding the given files (UTF-8 names, '/' between parts); folders that end in
// '/' are made empty. Removed again at the end of the test.
class FileNamesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string pattern = (fs::temp_directory_path() / "morvi-names-XXXXXX").string();
    ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
    root_ = pattern;
  }
  void TearDown() override {
    std::error_code ignored;
    fs::remove_all(root_, ignored);
  }

  void Make(const std::vector<std::string>& entries) {
    for (const std::string& entry : entries) {
      const fs::path path = root_ / fs::u8path(entry);
      if (entry.back() == '/') {
        fs::create_directories(path);
      } else {
        fs::create_directories(path.parent_path());
        std::ofstream(path) << entry;
      }
    }
  }

  // The root in the form a story name takes: the tests' temporary folder has an ASCII path.
  std::string Root() const { return root_.string(); }

  fs::path root_;
};

struct TCase {
  const char* what;
  std::vector<std::string> files;  // on disk, UTF-8
  std::string name;                // as a story writes it, Shift-JIS, below the root
  std::string expected;            // the path found (or, when missing, asked for), UTF-8
  TNameMatch match;
};

TEST_F(FileNamesTest, ResolvesEachRule) {
  // 表 is 0x95 0x5C and ソ is 0x83 0x5C: their second byte is '\' but no separator.
  const TCase cases[] = {
      {"exact name", {"dat/story.txt"}, "dat\\story.txt", "dat/story.txt", TNameMatch::Exact},
      {"upper-case file and folder",
       {"DAT/STORY.TXT"},
       "dat\\story.txt",
       "DAT/STORY.TXT",
       TNameMatch::IgnoringCase},
      {"mixed case",
       {"Dat/Story.Txt"},
       "dAT\\sTORY.tXT",
       "Dat/Story.Txt",
       TNameMatch::IgnoringCase},
      {"nested folders",
       {"dat/Pics/Night/BG.JPG"},
       "dat\\pics\\NIGHT\\bg.jpg",
       "dat/Pics/Night/BG.JPG",
       TNameMatch::IgnoringCase},
      {"forward slashes as well",
       {"DAT/a.bmp"},
       "dat/A.BMP",
       "DAT/a.bmp",
       TNameMatch::IgnoringCase},
      {"Japanese name with 0x5C second byte",
       {"dat/表紙.bmp"},
       "dat\\\x95\x5C\x8E\x86.bmp",
       "dat/表紙.bmp",
       TNameMatch::Exact},
      {"Japanese folder with 0x5C second byte, file in another case",
       {"dat/ソラ/Umi.JPG"},
       "dat\\\x83\x5C\x83\x89\\umi.jpg",
       "dat/ソラ/Umi.JPG",
       TNameMatch::IgnoringCase},
      {"full-width letters",
       {"dat/ＢＧ.bmp"},
       "dat\\\x82\x82\x82\x87.bmp",
       "dat/ＢＧ.bmp",
       TNameMatch::IgnoringCase},
      {"an exact match wins over other cases",
       {"dat/BG.jpg", "dat/bg.jpg", "dat/Bg.jpg"},
       "dat\\bg.jpg",
       "dat/bg.jpg",
       TNameMatch::Exact},
      {"of several other cases the least in byte order wins",
       {"dat/bg.jpg", "dat/Bg.jpg"},
       "dat\\BG.JPG",
       "dat/Bg.jpg",
       TNameMatch::IgnoringCase},
      {"a folder part skips a file of the same name",
       {"dat", "DAT/x.mid"},
       "dat\\x.mid",
       "DAT/x.mid",
       TNameMatch::IgnoringCase},
      {"full-width and ASCII letters are different letters",
       {"dat/BG.bmp"},
       "dat\\\x82\x82\x82\x87.bmp",
       "dat/ｂｇ.bmp",
       TNameMatch::Missing},
      {"missing file", {"dat/a.bmp"}, "dat\\b.bmp", "dat/b.bmp", TNameMatch::Missing},
      {"missing folder", {"dat/a.bmp"}, "pic\\a.bmp", "pic/a.bmp", TNameMatch::Missing},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.what);
    TearDown();
    fs::create_directories(root_);
    Make(c.files);
    const platform::TResolvedName found = platform::ResolveFileName(Root() + "\\" + c.name);
    EXPECT_EQ(found.Match, c.match);
    // A missing file keeps the name as converted, so that messages show what was asked for.
    EXPECT_EQ(found.Path, Root() + "/" + c.expected);
  }
}

TEST(FileNameCaseTest, FoldsAsciiAndFullWidthLettersOnly) {
  EXPECT_EQ(platform::FoldFileNameCase("Dat/STORY.txt"), "dat/story.txt");
  EXPECT_EQ(platform::FoldFileNameCase("ＡＺａｚ"), "ａｚａｚ");
  // Kana, kanji, Greek and the characters just outside the full-width capitals stay.
  EXPECT_EQ(platform::FoldFileNameCase("表ソΩ＠［"), "表ソΩ＠［");
  // A cut-off sequence at the end is left alone and read no further.
  EXPECT_EQ(platform::FoldFileNameCase("A\xEF\xBC"), "a\xEF\xBC");
}

// The story file itself, named relative to the working folder as the program names it, is found
// through the same look-up by every reader of files.
TEST_F(FileNamesTest, StoryFileIsFoundInAnUpperCaseFolder) {
  Make({"DAT/STORY.TXT"});
  const fs::path previous = fs::current_path();
  fs::current_path(root_);
  EXPECT_TRUE(platform::FileExists("dat\\story.txt"));
  EXPECT_FALSE(platform::FileExists("dat\\other.txt"));
  EXPECT_EQ(platform::NativeFileName("dat\\story.txt"), "DAT/STORY.TXT");
  std::string line;
  platform::TTextFileReader reader("dat\\story.txt");
  EXPECT_TRUE(reader.ReadLine(line));
  EXPECT_EQ(line, "DAT/STORY.TXT");
  fs::current_path(previous);
}

}  // namespace
