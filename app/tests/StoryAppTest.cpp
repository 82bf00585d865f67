// The whole story player wired together, on the headless backend: start-up order, clicks,
// errors during a click, the end of the story, and a start-up that cannot find its story.

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "app/UnitCommon.h"
#include "app/UnitForm.h"
#include "graphics/UnitBmp.h"
#include "platform/Errors.h"
#include "platform/HeadlessBackend.h"
#include "platform/tests/PictureFixtures.h"
#include "shell/ZelkTimer.h"

namespace {

using platform::Application;

class StoryAppTest : public ::testing::Test {
 protected:
  void SetUp() override {
    // The real music library runs, but into SDL's silent driver.
    setenv("SDL_AUDIODRIVER", "dummy", 1);
    backend = &platform::UseHeadlessBackend();
    previous = std::filesystem::current_path();
    std::filesystem::create_directories(folder.File("dat"));
    std::filesystem::current_path(folder.File(""));
    fixtures::WriteFile("dat/pic.bmp", fixtures::TrueColourBmp(40, 30, [](int, int) {
                          return fixtures::TRgb{200, 100, 50};
                        }));
  }
  void TearDown() override {
    delete FormMain;
    FormMain = nullptr;
    Threads.clear();
    std::filesystem::current_path(previous);
  }
  static void WriteStory(const std::string& text) {
    std::ofstream("dat/story.txt", std::ios::binary) << text;
  }
  void Start(const std::string& story) {
    WriteStory(story);
    FormMain = new TFormMain(nullptr);
  }
  void Send(uint32_t msg) {
    platform::TMessage message{msg, 0, platform::MakeLParam(100, 100), FormMain};
    Application.DispatchMessage(message);
  }
  void Click() {
    Send(platform::WM_LBUTTONDOWN);
    Send(platform::WM_LBUTTONUP);
  }
  void DoubleClick() {
    Click();
    Send(platform::WM_LBUTTONDBLCLK);
    Send(platform::WM_LBUTTONUP);
  }

  fixtures::TScratchFolder folder;
  std::filesystem::path previous;
  platform::THeadlessBackend* backend = nullptr;
};

TEST_F(StoryAppTest, StartUpRunsTheFirstStepBeforeTheWindowIsShown) {
  Start("#midi none.mid\r\n#image pic.bmp\r\nfirst\r\nsecond\r\n#end\r\n");
  EXPECT_EQ(CurrentText, "first");
  EXPECT_EQ(ImageBitmap->Width(), 40);
  EXPECT_TRUE(StoryMidi->Playing);
  EXPECT_FALSE(FormMain->Visible());
  ASSERT_EQ(Threads.size(), 1u);
  EXPECT_EQ(Threads[0].Proc, &RenderFrame);
  EXPECT_EQ(Threads[0].Interval, 50);
  EXPECT_EQ(Threads[0].Name, "");
  ASSERT_EQ(backend->queue.size(), 1u);
  EXPECT_EQ(backend->queue.front().Msg, WM_RUNLOOP);
  EXPECT_EQ(backend->queue.front().Target, FormMain);
}

TEST_F(StoryAppTest, MainWindowIsTheDesignedSize) {
  Start("line\r\n#end\r\n");
  EXPECT_EQ(FormMain->ClientWidth(), 320);
  EXPECT_EQ(FormMain->ClientHeight(), 280);
  EXPECT_EQ(FormMain->Caption(), "morvi");
  EXPECT_EQ(FormMain->BorderStyle(), platform::TBorderStyle::bsSingle);
  EXPECT_EQ(FormMain->PageMain.Left(), 0);
  EXPECT_EQ(FormMain->PageMain.Width(), 320);
  EXPECT_EQ(FormMain->PageMain.Height(), 280);
  EXPECT_TRUE(FormMain->PageMain.Visible());
  EXPECT_EQ(FormMain->PageMain.Color, 0x444444u);
  EXPECT_EQ(FormMain->PageMain.BevelOuter, platform::TBevelCut::bvNone);
  EXPECT_EQ(FormMain->PntMain.Width(), 320);
  EXPECT_EQ(FormMain->PntMain.Height(), 280);
  EXPECT_EQ(FramePaintBox, &FormMain->PntMain);
}

TEST_F(StoryAppTest, EveryClickAndDoubleClickPressIsOneStep) {
  Start("a\r\nb\r\n#image pic.bmp\r\nc\r\nd\r\ne\r\n#end\r\n");
  Click();
  EXPECT_EQ(CurrentText, "b");
  DoubleClick();
  EXPECT_EQ(CurrentText, "d");
  EXPECT_EQ(backend->quitRequests, 0);
  Click();
  Click();
  EXPECT_EQ(CurrentText, "") << "#end leaves an empty line";
  EXPECT_EQ(backend->quitRequests, 1);
}

TEST_F(StoryAppTest, ClickQueuedAfterTheEndIsHarmless) {
  Start("only\r\n#end\r\n");
  Click();
  EXPECT_EQ(backend->quitRequests, 1);
  Click();
  EXPECT_TRUE(backend->messageBoxes.empty()) << backend->messageBoxes.front().text;
  EXPECT_EQ(CurrentText, "");
}

TEST_F(StoryAppTest, ErrorDuringAClickIsReportedAndTheNextClickGoesOn) {
  Start("one\r\n#image\r\ntwo\r\n#image gone.jpg\r\nthree\r\n#end\r\n");
  Click();
  ASSERT_EQ(backend->messageBoxes.size(), 1u);
  EXPECT_EQ(backend->messageBoxes[0].text, "dat/story.txt:2: #image needs a file name");
  EXPECT_EQ(backend->messageBoxes[0].title,
            Application.Title.empty() ? "Error" : Application.Title);
  EXPECT_EQ(CurrentText, "one");
  Click();
  EXPECT_EQ(CurrentText, "two");
  Click();
  ASSERT_EQ(backend->messageBoxes.size(), 2u);
  EXPECT_NE(backend->messageBoxes[1].text.find("dat/story.txt:4: "), std::string::npos);
  EXPECT_NE(backend->messageBoxes[1].text.find("dat/gone.jpg"), std::string::npos);
  Click();
  EXPECT_EQ(CurrentText, "three");
}

TEST_F(StoryAppTest, PictureMissingAtStartUpFailsTheStartUp) {
  WriteStory("#image gone.bmp\r\nline\r\n#end\r\n");
  EXPECT_ANY_THROW(FormMain = new TFormMain(nullptr));
  EXPECT_EQ(StoryMidi, nullptr) << "what start-up made is freed";
  EXPECT_EQ(StoryScript, nullptr);
  EXPECT_EQ(ImageBitmap, nullptr);
}

TEST_F(StoryAppTest, MissingStoryBeepsAndFailsTheStartUpNamingTheFile) {
  try {
    FormMain = new TFormMain(nullptr);
    FAIL() << "start-up went on without a story";
  } catch (const platform::EInOutError& error) {
    EXPECT_NE(std::string(error.what()).find("dat/story.txt"), std::string::npos) << error.what();
  }
  EXPECT_EQ(backend->beeps, 1);
  EXPECT_EQ(StoryScript, nullptr);
}

}  // namespace
