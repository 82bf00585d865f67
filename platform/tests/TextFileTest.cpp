#include "platform/TextFile.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "platform/Errors.h"

namespace {

using namespace std::string_literals;
namespace fs = std::filesystem;

class TextFileTest : public testing::Test {
 protected:
  TextFileTest() {
    std::string pattern = (fs::temp_directory_path() / "morvi-textfile-XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
    folder = pattern;
  }
  ~TextFileTest() override {
    std::error_code ignored;
    fs::remove_all(folder, ignored);
  }

  std::string Write(const std::string& name, const std::string& bytes) const {
    const fs::path path = folder / name;
    std::ofstream(path, std::ios::binary)
        .write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    return path.string();
  }

  static std::vector<std::string> ReadAll(const std::string& fileName) {
    platform::TTextFileReader reader(fileName);
    std::vector<std::string> lines;
    std::string line = "stale";
    while (reader.ReadLine(line)) lines.push_back(line);
    EXPECT_EQ(line, "");
    EXPECT_FALSE(reader.ReadLine(line)) << "the end must stay the end";
    return lines;
  }

  fs::path folder;
};

TEST_F(TextFileTest, SplitsLinesAsStoryFilesNeed) {
  const struct {
    std::string bytes;
    std::vector<std::string> lines;
  } cases[] = {
      {"", {}},
      {"Hello\nWorld", {"Hello", "World"}},
      {"Hello\nWorld\n", {"Hello", "World"}},
      {"Hello\r\nWorld\r\n", {"Hello", "World"}},
      {"\n", {""}},
      {"\n\n", {"", ""}},
      {"ab\rcd\n", {"abcd"}},
      {"a\r\r\nb", {"a", "b"}},
      {"\r", {""}},
      {"a\n\x1A", {"a"}},
      {"a\n\x1A"
       "b\nc\n",
       {"a"}},
      {"\x1A", {}},
      {"\x1A\n", {}},
      {"a\x1A"
       "b\n\x1A",
       {"a\x1A"
        "b"}},
      {"a\0b\n\0"s, {"a\0b"s, "\0"s}},
      {"\x81\n\x95\x5C\n", {"\x81", "\x95\x5C"}},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ReadAll(Write("story.txt", c.bytes)), c.lines) << testing::PrintToString(c.bytes);
  }
}

TEST_F(TextFileTest, LinesRunAcrossBufferLoads) {
  // The reader fetches 64 KiB at a time: put a CR LF and a Ctrl-Z right on a load boundary, and
  // a line far longer than one load.
  const std::string first(65535, 'x');
  const std::string longLine(300000, 'y');
  EXPECT_EQ(ReadAll(Write("a.txt", first + "\r\n" + longLine + "\r\nz")),
            (std::vector<std::string>{first, longLine, "z"}));
  EXPECT_EQ(ReadAll(Write("b.txt", first + "\n\x1A" + "after")), (std::vector<std::string>{first}));
  EXPECT_EQ(ReadAll(Write("c.txt", std::string(65536, 'x') + "\x1A")),
            (std::vector<std::string>{std::string(65536, 'x') + "\x1A"}));
}

TEST_F(TextFileTest, FileExistsOnlyForFiles) {
  const std::string file = Write("story.txt", "x");
  fs::create_directory(folder / "dat");
  Write("dat/inner.txt", "x");
  EXPECT_TRUE(platform::FileExists(file));
  EXPECT_FALSE(platform::FileExists((folder / "missing.txt").string()));
  EXPECT_FALSE(platform::FileExists((folder / "dat").string()));
  EXPECT_FALSE(platform::FileExists(""));
  // Names are written the program's way, with backslashes between folders.
  EXPECT_TRUE(platform::FileExists(folder.string() + "/dat\\inner.txt"));
}

TEST_F(TextFileTest, FailuresNameTheFile) {
  const std::string missing = (folder / "missing.txt").string();
  try {
    platform::TTextFileReader reader(missing);
    FAIL() << "opened a missing file";
  } catch (const platform::EInOutError& e) {
    EXPECT_EQ(std::string(e.what()), missing + ": cannot open the file: No such file or directory");
  }
  // A folder opens but cannot be read.
  try {
    ReadAll(folder.string());
    FAIL() << "read a folder";
  } catch (const platform::EInOutError& e) {
    EXPECT_EQ(std::string(e.what()), folder.string() + ": cannot read the file: Is a directory");
  }
}

}  // namespace
