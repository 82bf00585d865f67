// Reading the command line, and the keys that read on like a click.

#include "app/CommandLine.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "app/UnitCommon.h"
#include "app/UnitForm.h"
#include "graphics/UnitBmp.h"
#include "platform/HeadlessBackend.h"
#include "platform/Input.h"
#include "platform/tests/PictureFixtures.h"
#include "shell/ZelkTimer.h"

namespace {

TEST(CommandLineTest, AcceptsEachForm) {
  struct TCase {
    std::vector<std::string> arguments;
    TRunMode mode;
    std::string folder;
    int scale;
    bool trace;
    int64_t steps;
  };
  const TCase cases[] = {
      {{}, TRunMode::Play, "", 1, false, 100000},
      {{"story"}, TRunMode::Play, "story", 1, false, 100000},
      {{"--scale", "3", "--trace", "my story"}, TRunMode::Play, "my story", 3, true, 100000},
      {{"story", "--scale=8"}, TRunMode::Play, "story", 8, false, 100000},
      {{"--check", "x"}, TRunMode::Check, "x", 1, false, 100000},
      {{"--walk", "--steps", "5"}, TRunMode::Walk, "", 1, false, 5},
      {{"--steps=0", "--walk", "--", "--odd-folder"}, TRunMode::Walk, "--odd-folder", 1, false, 0},
      {{"-h"}, TRunMode::Help, "", 1, false, 100000},
      {{"--version"}, TRunMode::Version, "", 1, false, 100000},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(::testing::PrintToString(c.arguments));
    const TCommandLine line = ParseCommandLine(c.arguments);
    EXPECT_EQ(line.Mode, c.mode);
    EXPECT_EQ(line.Folder, c.folder);
    EXPECT_EQ(line.Scale, c.scale);
    EXPECT_EQ(line.Trace, c.trace);
    EXPECT_EQ(line.Steps, c.steps);
  }
}

TEST(CommandLineTest, RefusesWhatMakesNoSense) {
  struct TCase {
    std::vector<std::string> arguments;
    std::string message;
  };
  const TCase cases[] = {
      {{"--fast"}, "unknown option '--fast'"},
      {{"-x"}, "unknown option '-x'"},
      {{"--scale"}, "'--scale' needs a number after it"},
      {{"--scale", "0"}, "'--scale' needs a whole number from 1 to 8, not '0'"},
      {{"--scale", "9"}, "'--scale' needs a whole number from 1 to 8, not '9'"},
      {{"--scale=2x"}, "'--scale' needs a whole number from 1 to 8, not '2x'"},
      {{"--steps", "-1", "--walk"}, "'--steps' needs a whole number of 0 or more, not '-1'"},
      {{"a", "b"}, "more than one folder given: 'b'"},
      {{"--check", "--walk"}, "'--walk' cannot be combined with the option before it"},
      {{"--trace=yes"}, "'--trace' takes no value"},
      {{"--check", "--scale", "2"}, "'--scale' applies only when the story is played"},
      {{"--walk", "--trace"}, "'--trace' applies only when the story is played"},
      {{"--steps", "4"}, "'--steps' applies only to '--walk'"},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(::testing::PrintToString(c.arguments));
    try {
      ParseCommandLine(c.arguments);
      ADD_FAILURE() << "accepted";
    } catch (const EUsageError& error) {
      EXPECT_EQ(error.what(), c.message);
    }
  }
}

// Space, Enter and the keypad's Enter (which the input layer gives the same code) step the
// story; other keys, Alt and F10 do not.
TEST(StoryKeysTest, SpaceAndEnterReadOnLikeAClick) {
  setenv("SDL_AUDIODRIVER", "dummy", 1);
  platform::UseHeadlessBackend();
  const auto previous = std::filesystem::current_path();
  fixtures::TScratchFolder folder;
  std::filesystem::create_directories(folder.File("dat"));
  std::ofstream(folder.File("dat/story.txt"), std::ios::binary)
      << "one\r\ntwo\r\nthree\r\nfour\r\n#end\r\n\r\n";
  std::filesystem::current_path(folder.File(""));
  FormMain = new TFormMain(nullptr);
  const auto press = [](uint32_t msg, uint16_t key) {
    platform::TMessage message{msg, key, 0, FormMain};
    platform::Application.DispatchMessage(message);
  };
  EXPECT_EQ(CurrentText, "one");
  press(platform::WM_KEYDOWN, 'A');
  press(platform::WM_KEYUP, platform::VK_SPACE);
  press(platform::WM_SYSKEYDOWN, platform::VK_MENU);
  press(platform::WM_SYSKEYDOWN, platform::VK_F10);
  EXPECT_EQ(CurrentText, "one");
  press(platform::WM_KEYDOWN, platform::VK_SPACE);
  EXPECT_EQ(CurrentText, "two");
  press(platform::WM_KEYDOWN, platform::VK_RETURN);
  EXPECT_EQ(CurrentText, "three");
  EXPECT_EQ(platform::VirtualKeyFromSdl(0x40000058 /* SDLK_KP_ENTER */), platform::VK_RETURN);
  delete FormMain;
  FormMain = nullptr;
  Threads.clear();
  std::filesystem::current_path(previous);
}

}  // namespace
