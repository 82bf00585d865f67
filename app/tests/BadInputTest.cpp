// The whole player on the headless backend, run as the program entry runs it (CreateForm, then
// Run with the frame loop), given bad stories, bad pictures, bad music and a bad environment.
// Clicks arrive on the fake clock one second apart, so frames are drawn between them; the
// player's --trace output tells which lines were shown. Every case must end (no hang), report
// each error once in a message box and once on stderr, and go on where the rules let it.

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "app/UnitCommon.h"
#include "app/UnitForm.h"
#include "graphics/UnitBmp.h"
#include "platform/Cp932.h"
#include "platform/HeadlessBackend.h"
#include "platform/MidiLibrary.h"
#include "platform/tests/PictureFixtures.h"
#include "platform/tests/SmfWriter.h"

namespace {

namespace fs = std::filesystem;
using platform::Application;
using Bytes = std::vector<uint8_t>;

Bytes ToBytes(const std::string& text) {
  return Bytes(text.begin(), text.end());
}

Bytes Demo(const char* name) {
  return fixtures::ReadFile(std::string(MORVI_SOURCE_DIR) + "/demo/dat/" + name);
}

Bytes Prefix(const Bytes& bytes, std::size_t size) {
  return Bytes(bytes.begin(), bytes.begin() + static_cast<long>(size));
}

Bytes GoodBmp() {
  return fixtures::TrueColourBmp(32, 24, [](int x, int y) {
    return fixtures::TRgb{static_cast<uint8_t>(x * 8), static_cast<uint8_t>(y * 10), 90};
  });
}

// A JPEG whose frame header claims Width x Height: the decoder must refuse it before it
// allocates anything of that size.
Bytes JpegDeclaring(uint16_t width, uint16_t height) {
  Bytes bytes = Demo("umi.jpg");
  for (std::size_t i = 0; i + 8 < bytes.size(); ++i) {
    if (bytes[i] == 0xFF && (bytes[i + 1] == 0xC0 || bytes[i + 1] == 0xC2)) {
      bytes[i + 5] = static_cast<uint8_t>(height >> 8);
      bytes[i + 6] = static_cast<uint8_t>(height);
      bytes[i + 7] = static_cast<uint8_t>(width >> 8);
      bytes[i + 8] = static_cast<uint8_t>(width);
      return bytes;
    }
  }
  throw std::runtime_error("the demo JPEG has no frame header");
}

Bytes Midi() {
  return smf::Make(0, {{0, 480, 60, 100}, {480, 480, 64, 100}}, 960);
}

enum class TKind { File, Folder, Pipe, LinkToUnreadable, Missing };

struct TFile {
  std::string name;  // below the story folder
  Bytes bytes;
  TKind kind = TKind::File;
};

struct TBadInput {
  const char* name;
  std::string story;  // dat/story.txt as bytes; not written when Files names it
  std::vector<TFile> files;
  int clicks;
  int status;                      // what Run returns
  std::string shown;               // the lines shown, each followed by a line end (UTF-8)
  std::vector<std::string> boxes;  // a piece of each message box's text, in order
  std::string warning;             // a further stderr line that must appear; empty: none
  int presses = 1;                 // clicks that arrive together at each click moment
};

void PrintTo(const TBadInput& c, std::ostream* out) {
  *out << c.name;
}

std::string Lines(int count) {
  std::string text;
  for (int i = 1; i <= count; ++i) text += "line " + std::to_string(i) + "\r\n";
  return text;
}

const std::string kMegabyte(1 << 20, 'x');

// Picture cases: line one, the picture, line two, the end. The error comes with the click that
// passes the picture; the line on display stays, and the next click shows line two.
TBadInput PictureCase(const char* name, const char* file, Bytes bytes, const char* message,
                      TKind kind = TKind::File) {
  return {name,
          std::string("one\r\n#image ") + file + "\r\ntwo\r\n#end\r\n",
          {{std::string("dat/") + file, std::move(bytes), kind}},
          3,
          0,
          "one\ntwo\n",
          {std::string("dat/story.txt:2: ") + message},
          ""};
}

// Music cases: the music cannot sound, which is said once on stderr; the story reads on.
TBadInput MusicCase(const char* name, TFile file, const char* warning) {
  return {name, "#midi song.mid\r\none\r\ntwo\r\n#end\r\n", {std::move(file)}, 2, 0, "one\ntwo\n",
          {},   std::string("morvi: music: ") + warning};
}

const TBadInput kCases[] = {
    // ---- the story file
    {"MissingStory",
     "",
     {{"dat/story.txt", {}, TKind::Missing}},
     0,
     1,
     "",
     {"dat/story.txt: the story file was not found in "},
     ""},
    {"EmptyStory", "", {}, 0, 0, "", {}, ""},
    {"StoryIsAFolder",
     "",
     {{"dat/story.txt", {}, TKind::Folder}},
     0,
     1,
     "",
     {"dat/story.txt: the story file is a folder, not a file ("},
     ""},
    {"StoryIsANamedPipe",
     "",
     {{"dat/story.txt", {}, TKind::Pipe}},
     0,
     1,
     "",
     {"dat/story.txt: the story file is not a regular file ("},
     ""},
    {"StoryCannotBeRead",
     "",
     {{"dat/story.txt", {}, TKind::LinkToUnreadable}},
     0,
     1,
     "",
     {"dat/story.txt: cannot read the file: Input/output error"},
     ""},
    {"TenThousandLines",
     Lines(10000),
     {},
     0,
     1,
     "",
     {"dat/story.txt:10000: the story is too long; a story may have at most 9999 lines"},
     ""},
    {"CrOnlyLineEndsMakeOneLineThatIsNeverShown", "one\rtwo\r#end\r", {}, 1, 0, "", {}, ""},

    // ---- lines and bytes
    {"MegabyteTextLine",
     "one\r\n" + kMegabyte + "\r\n#end\r\n",
     {},
     2,
     0,
     "one\n" + kMegabyte + "\n",
     {},
     ""},
    {"MegabyteLabelAndJump",
     "one\r\n#goto @" + kMegabyte + "\r\nskipped\r\n@" + kMegabyte + "\r\ntwo\r\n#end\r\n",
     {},
     2,
     0,
     "one\ntwo\n",
     {},
     ""},
    {"MegabytePictureName",
     "one\r\n#image " + kMegabyte + ".bmp\r\ntwo\r\n#end\r\n",
     {},
     2,
     0,
     "one\ntwo\n",
     {"dat/story.txt:2: cannot open \"dat/xxxxxxxx"},
     ""},
    {"NulBytesInText",
     std::string("one\r\na\0b\r\n#end\r\n", 15),
     {},
     2,
     0,
     std::string("one\na\0b\n", 8),
     {},
     ""},
    {"NulByteInAPictureNameIsShownInTheReport",
     std::string("one\r\n#image pic.bmp\0.jpg\r\ntwo\r\n#end\r\n", 37),
     {{"dat/pic.bmp", GoodBmp()}},
     3,
     0,
     "one\ntwo\n",
     {"dat/story.txt:2: \"dat/pic.bmp\\0.jpg\" is not a readable JPEG picture: Not a JPEG file"},
     ""},
    {"LoneLeadByteAtTheLineEnd",
     "one\x82\r\ntwo\r\n#end\r\n",
     {},
     2,
     0,
     "one\xEF\xBF\xBD\ntwo\n",
     {},
     ""},
    {"LoneLeadByteInAPictureName",
     "one\r\n#image \x82\r\ntwo\r\n#end\r\n",
     {},
     3,
     0,
     "one\ntwo\n",
     {"dat/story.txt:2: cannot open \"dat/\xEF\xBF\xBD\": No such file"},
     ""},
    {"InvalidCp932InText",
     "\x85\x40 \xFD\xFE ok\r\n#end\r\n",
     {},
     1,
     0,
     "\xEF\xBF\xBD@ \xEF\xBF\xBD\xEF\xBF\xBD ok\n",
     {},
     ""},

    // ---- jumps and commands
    {"GotoLoopWithoutTextAtStartUp",
     "@a\r\n#goto @a\r\none\r\n#end\r\n",
     {},
     0,
     1,
     "",
     {"dat/story.txt:2: #goto @a loops without reaching a line of text"},
     ""},
    {"GotoLoopWithoutTextDuringAClick",
     "one\r\n@a\r\n#image pic.bmp\r\n@b\r\n#goto @a\r\ntwo\r\n#end\r\n",
     {{"dat/pic.bmp", GoodBmp()}},
     3,
     0,
     "one\ntwo\n",
     {"dat/story.txt:5: #goto @a loops without reaching a line of text"},
     ""},
    {"GotoWithoutALabel",
     "one\r\n#goto\r\ntwo\r\n#end\r\n",
     {},
     3,
     0,
     "one\ntwo\n",
     {"dat/story.txt:2: #goto needs a label to jump to"},
     ""},
    {"GotoWithoutALabelAtStartUp",
     "#goto\r\none\r\n#end\r\n",
     {},
     0,
     1,
     "",
     {"dat/story.txt:1: #goto needs a label to jump to"},
     ""},
    // Three clicks in one burst: the first ends the story, the other two are dispatched in the
    // same pass, after the end.
    {"ClicksQueuedAfterTheEnd", "one\r\n#end\r\n", {}, 1, 0, "one\n", {}, "", 3},

    // ---- pictures
    PictureCase("TruncatedBitmap", "half.bmp", Prefix(GoodBmp(), GoodBmp().size() / 2),
                "\"dat/half.bmp\" is not a readable bitmap"),
    PictureCase("TruncatedJpeg", "half.jpg", Prefix(Demo("umi.jpg"), Demo("umi.jpg").size() / 2),
                "\"dat/half.jpg\" is not a readable JPEG picture: Premature end of JPEG file"),
    PictureCase("CorruptJpeg", "noise.jpg", ToBytes("\xFF\xD8\xFF\xE0 this is no picture"),
                "\"dat/noise.jpg\" is not a readable JPEG picture"),
    PictureCase("ZeroByteBitmap", "empty.bmp", {}, "\"dat/empty.bmp\" is not a readable bitmap"),
    PictureCase("ZeroByteJpeg", "empty.jpg", {}, "\"dat/empty.jpg\" is not a readable JPEG"),
    PictureCase("BitmapHeaderClaims60000Square", "huge.bmp",
                fixtures::detail::Headers(60000, 60000, 24, 0, 0, 0, 0),
                "\"dat/huge.bmp\": the picture is 60000 x 60000 pixels; at most 16384 x 16384 "
                "can be shown"),
    PictureCase("JpegHeaderClaims60000Square", "huge.jpg", JpegDeclaring(60000, 60000),
                "\"dat/huge.jpg\": the picture is 60000 x 60000 pixels; at most 16384 x 16384 "
                "can be shown"),
    PictureCase("BitmapNamedJpg", "pic.jpg", GoodBmp(),
                "\"dat/pic.jpg\" is not a readable JPEG picture: Not a JPEG file"),
    PictureCase("JpegNamedBmp", "pic.bmp", Demo("umi.jpg"),
                "\"dat/pic.bmp\" is not a readable bitmap"),
    PictureCase(
        "JpegWithUpperCaseEnding", "pic.JPG", Demo("umi.jpg"),
        "\"dat/pic.JPG\" is not a readable bitmap: File is not a Windows BMP file (only names "
        "ending in .jpg or .jpeg in small letters are read as JPEG; this one is read as a "
        "Windows bitmap)"),
    PictureCase("PictureIsAFolder", "dir.bmp", {}, "cannot open \"dat/dir.bmp\": not a file",
                TKind::Folder),
    PictureCase("PictureIsANamedPipe", "pipe.jpg", {}, "cannot open \"dat/pipe.jpg\": not a file",
                TKind::Pipe),

    // ---- music
    MusicCase("MissingMidi", {"dat/other.mid", Midi()}, "MIDI file not found"),
    MusicCase("CorruptMidi", {"dat/song.mid", ToBytes("MThd but nothing more")},
              "not a Standard MIDI File"),
    MusicCase("TruncatedMidi", {"dat/song.mid", Prefix(Midi(), Midi().size() - 6)},
              "damaged or truncated Standard MIDI File"),
    MusicCase("ZeroByteMidi", {"dat/song.mid", {}}, "not a Standard MIDI File"),
    MusicCase("MidiIsANamedPipe", {"dat/song.mid", {}, TKind::Pipe}, "cannot read MIDI file"),
};

class PlayerTest : public testing::Test {
 protected:
  void SetUp() override {
    setenv("SDL_AUDIODRIVER", "dummy", 1);
    backend = &platform::UseHeadlessBackend();
    previous = fs::current_path();
    title = Application.Title;
    Application.Title = "morvi";
  }
  void TearDown() override {
    TraceText = false;
    FormMain = nullptr;
    Application.Title = title;
    fs::current_path(previous);
  }

  void Make(const TFile& file) {
    const std::string path = folder.File(file.name);
    fs::create_directories(fs::path(path).parent_path());
    switch (file.kind) {
      case TKind::File:
        fixtures::WriteFile(path, file.bytes);
        break;
      case TKind::Folder:
        fs::create_directory(path);
        break;
      case TKind::Pipe:
        ASSERT_EQ(mkfifo(path.c_str(), 0600), 0);
        break;
      case TKind::Missing:
        break;
      case TKind::LinkToUnreadable:
        // Opens like any file, but reading it from the start fails: address 0 of a process is
        // never mapped. (Permissions cannot stand in here: tests may run as root.)
        fs::create_symlink("/proc/self/mem", path);
        break;
    }
  }

  // Runs the player in Folder with Clicks click moments, a second apart, each bringing Presses
  // clicks at once, and the window closed a second after the last of them (the story may have
  // ended already). Returns Run's exit status.
  int Play(int clicks, int presses = 1) {
    fs::current_path(folder.File(""));
    TraceText = true;
    Application.CreateForm(FormMain);
    if (FormMain != nullptr) {
      for (int i = 1; i <= clicks; ++i) {
        const uint64_t at = 1000u * static_cast<uint64_t>(i);
        for (int press = 0; press < presses; ++press) {
          for (uint32_t msg : {platform::WM_LBUTTONDOWN, platform::WM_LBUTTONUP}) {
            backend->Schedule(at, {msg, 0, platform::MakeLParam(160, 120), FormMain});
          }
        }
      }
      backend->Schedule(1000u * static_cast<uint64_t>(clicks + 1),
                        {platform::WM_CLOSE, 0, 0, FormMain});
    }
    return Application.Run();
  }

  fixtures::TScratchFolder folder;
  fs::path previous;
  std::string title;
  platform::THeadlessBackend* backend = nullptr;
};

class BadInputTest : public PlayerTest, public testing::WithParamInterface<TBadInput> {};

TEST_P(BadInputTest, EndsReportsAndGoesOnAsTheRulesSay) {
  const TBadInput& c = GetParam();
  fs::create_directories(folder.File("dat"));
  bool storyMade = false;
  for (const TFile& file : c.files) {
    Make(file);
    storyMade = storyMade || file.name == "dat/story.txt";
  }
  if (!storyMade) {
    fixtures::WriteFile(folder.File("dat/story.txt"), ToBytes(c.story));
  }

  testing::internal::CaptureStdout();
  testing::internal::CaptureStderr();
  const int status = Play(c.clicks, c.presses);
  const std::string err = testing::internal::GetCapturedStderr();
  const std::string out = testing::internal::GetCapturedStdout();

  EXPECT_EQ(status, c.status);
  EXPECT_TRUE(out == c.shown) << "shown: " << out.substr(0, 200)
                              << "\nexpected: " << c.shown.substr(0, 200);
  ASSERT_EQ(backend->messageBoxes.size(), c.boxes.size()) << err.substr(0, 400);
  for (std::size_t i = 0; i < c.boxes.size(); ++i) {
    const auto& box = backend->messageBoxes[i];
    EXPECT_EQ(box.title, "morvi");
    const std::string text = platform::Cp932ToUtf8(box.text);
    EXPECT_NE(text.find(c.boxes[i]), std::string::npos) << text.substr(0, 400);
    // While the window is shown the report sits on it; a start-up failure shows no window.
    EXPECT_EQ(box.parent != nullptr, c.status == 0) << box.text.substr(0, 200);
    // The same report, on one line, on stderr.
    EXPECT_NE(err.find("morvi: " + text.substr(0, 60)), std::string::npos) << err.substr(0, 400);
  }
  if (!c.warning.empty()) {
    EXPECT_NE(err.find(c.warning), std::string::npos) << err.substr(0, 400);
  }
  // Nothing else is said: one line per report plus the expected warning.
  std::size_t lines = 0;
  for (char ch : err) lines += ch == '\n';
  EXPECT_EQ(lines, c.boxes.size() + (c.warning.empty() ? 0 : 1)) << err.substr(0, 400);
}

INSTANTIATE_TEST_SUITE_P(Cases, BadInputTest, testing::ValuesIn(kCases),
                         [](const auto& param) { return std::string(param.param.name); });

// The music cannot sound at all; the player says so once and the story plays as always.
struct TSilentCase {
  const char* name;
  const char* driver;  // SDL_AUDIODRIVER
  bool withSoundFont;  // false: neither SDL_SOUNDFONTS nor the default names one
  const char* warning;
};
void PrintTo(const TSilentCase& c, std::ostream* out) {
  *out << c.name;
}

const TSilentCase kSilentCases[] = {
    {"NoSoundFont", "dummy", false, "morvi: music: no SoundFont; music is silent"},
    {"NoAudioDevice", "no-such-driver", true, "morvi: music: no sound device"},
};

class SilentMusicTest : public PlayerTest, public testing::WithParamInterface<TSilentCase> {};

TEST_P(SilentMusicTest, StoryPlaysOnSilently) {
  const TSilentCase& c = GetParam();
  setenv("SDL_AUDIODRIVER", c.driver, 1);
  unsetenv("SDL_SOUNDFONTS");
  if (!c.withSoundFont) platform::SetDefaultSoundFont(folder.File("none.sf2"));
  fs::create_directories(folder.File("dat"));
  fixtures::WriteFile(folder.File("dat/song.mid"), Midi());
  fixtures::WriteFile(folder.File("dat/story.txt"),
                      ToBytes("#midi song.mid\r\none\r\n#midi\r\ntwo\r\n#end\r\n"));

  testing::internal::CaptureStdout();
  testing::internal::CaptureStderr();
  const int status = Play(2);
  const std::string err = testing::internal::GetCapturedStderr();
  const std::string out = testing::internal::GetCapturedStdout();
  platform::SetDefaultSoundFont(platform::kDebianSoundFont);

  EXPECT_EQ(status, 0);
  EXPECT_EQ(out, "one\ntwo\n");
  EXPECT_TRUE(backend->messageBoxes.empty());
  EXPECT_NE(err.find(c.warning), std::string::npos) << err;
  EXPECT_EQ(err.find(c.warning), err.rfind(c.warning)) << "said more than once:\n" << err;
}

INSTANTIATE_TEST_SUITE_P(Cases, SilentMusicTest, testing::ValuesIn(kSilentCases),
                         [](const auto& param) { return std::string(param.param.name); });

}  // namespace
