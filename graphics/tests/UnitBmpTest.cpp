// The scene: the shade's shape in every frame, the order of composition, and the two story
// handlers that change what the next frame shows.

#include "graphics/UnitBmp.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <string>

#include "platform/Errors.h"
#include "platform/Forms.h"
#include "platform/HeadlessBackend.h"
#include "platform/Random.h"
#include "platform/tests/PictureFixtures.h"

namespace {

// A picture whose every pixel tells its place, so that any shift or scaling shows.
TPixel Probe(int x, int y) {
  return {static_cast<uint8_t>(255 - (x % 200)), static_cast<uint8_t>(120 + y % 100),
          static_cast<uint8_t>(200 + (x + y) % 56)};
}

class SceneTest : public ::testing::Test {
 protected:
  void SetUp() override {
    platform::UseHeadlessBackend();
    CreateBitmaps();
    CurrentText.clear();
  }
  void TearDown() override {
    FreeBitmaps();
    FrameBitmap = SceneBitmap = ImageBitmap = nullptr;
    FramePaintBox = nullptr;
  }
  static void LoadProbePicture(int width, int height) {
    ImageBitmap->ResizeFill(width, height, PixelBlack);
    for (int y = 0; y < height; ++y) {
      const TPixelRow row = ImageBitmap->Rows[y];
      for (int x = 0; x < width; ++x) row[x] = Probe(x, y);
    }
  }
};

TEST_F(SceneTest, BitmapsStartAsTheSceneNeedsThem) {
  EXPECT_EQ(FrameBitmap->Width(), 320);
  EXPECT_EQ(FrameBitmap->Height(), 280);
  EXPECT_EQ(FrameBitmap->Rows[0][0], PixelWhite);
  EXPECT_EQ(FrameBitmap->Canvas().Font.Height, 14);
  EXPECT_EQ(FrameBitmap->Canvas().Font.Style, platform::fsItalic);
  EXPECT_EQ(FrameBitmap->Canvas().Font.Color, platform::clWhite);
  EXPECT_EQ(SceneBitmap->Rows.Length(), 280);
  EXPECT_EQ(SceneBitmap->Rows[279][319], PixelBlack);
  EXPECT_EQ(ImageBitmap->Width(), 0);
  EXPECT_TRUE(ImageBitmap->Rows.Empty());
}

TEST(ScaleChannel, TruncatesTheScaledValue) {
  struct {
    uint8_t channel;
    int numerator, denominator;
    uint8_t expected;
  } const cases[] = {
      {255, 40, 40, 255}, {255, 1, 40, 6}, {255, 1, 30, 8},  {200, 15, 30, 100},
      {1, 29, 30, 0},     {0, 7, 35, 0},   {99, 34, 35, 96},
  };
  for (const auto& c : cases) {
    uint8_t channel = c.channel;
    ScaleChannel(channel, c.numerator, c.denominator);
    EXPECT_EQ(channel, c.expected) << int{c.channel} << "*" << c.numerator << "/" << c.denominator;
  }
}

// The shade's promises, checked over many frames with different random walks: rows above 200
// and from 240 on untouched, the band's top row unchanged and between 200 and 210, row 239 at most
// a thirtieth of the picture, every row inside the band darker than the picture (or equal where
// the value is too small to scale down), and neighbouring columns' tops at most one row apart.
TEST_F(SceneTest, ShadeFadesTheBandAndLeavesTheRest) {
  platform::RandSeed = 12345;
  for (int frame = 0; frame < 200; ++frame) {
    LoadProbePicture(320, 280);
    ImageBitmap->DrawTo(*SceneBitmap, 0, 0);
    ApplyShade();
    int previousTop = -1;
    for (int x = 0; x < 320; ++x) {
      for (int y = 0; y < 200; ++y) ASSERT_EQ(SceneBitmap->Rows[y][x], Probe(x, y));
      for (int y = 240; y < 280; ++y) ASSERT_EQ(SceneBitmap->Rows[y][x], Probe(x, y));
      int top = 240;  // the first row of the band: the first changed row, or where scaling
                      // would change a value of 255 (the probe's blue at x = 0 mod 200)
      for (int y = 200; y < 240; ++y) {
        if (!(SceneBitmap->Rows[y][x] == Probe(x, y))) {
          top = y - 1;  // the band's top row keeps its value
          break;
        }
      }
      ASSERT_GE(top, 200) << "frame " << frame << " column " << x;
      ASSERT_LE(top, 210) << "frame " << frame << " column " << x;
      const TPixel bottom = SceneBitmap->Rows[239][x];
      const TPixel original = Probe(x, 239);
      ASSERT_LE(bottom.Blue, original.Blue / 30);
      ASSERT_LE(bottom.Green, original.Green / 30);
      ASSERT_LE(bottom.Red, original.Red / 30);
      if (previousTop >= 0) {
        ASSERT_LE(std::abs(top - previousTop), 1) << "column " << x;
      }
      previousTop = top;
    }
  }
}

TEST_F(SceneTest, ShadeShimmersFromFrameToFrame) {
  platform::RandSeed = 99;
  LoadProbePicture(320, 240);
  ImageBitmap->DrawTo(*SceneBitmap, 0, 0);
  ApplyShade();
  std::vector<uint8_t> first(SceneBitmap->ScanLine(205), SceneBitmap->ScanLine(205) + 960);
  bool changed = false;
  for (int frame = 0; frame < 5 && !changed; ++frame) {
    ImageBitmap->DrawTo(*SceneBitmap, 0, 0);
    ApplyShade();
    changed = !std::equal(first.begin(), first.end(), SceneBitmap->ScanLine(205));
  }
  EXPECT_TRUE(changed) << "the band's edge never moved";
}

TEST_F(SceneTest, FrameIsPictureShadeAndTextOnThePaintBox) {
  platform::TPaintBox box(nullptr);
  box.SetBounds(0, 0, 320, 280);
  FramePaintBox = &box;
  LoadProbePicture(320, 240);
  CurrentText = "Hello";
  RenderFrame();

  const platform::TBitmap& shown = box.Canvas().Surface();
  // The picture's upper rows, unchanged.
  for (int y = 0; y < 200; y += 7) {
    for (int x = 0; x < 320; x += 5) {
      const uint8_t* p = shown.ScanLine(y) + 3 * x;
      ASSERT_EQ((TPixel{p[0], p[1], p[2]}), Probe(x, y));
    }
  }
  // Below the picture the scene is black, apart from white text near (15, 250).
  int lit = 0;
  for (int y = 240; y < 280; ++y) {
    for (int x = 0; x < 320; ++x) {
      const uint8_t* p = shown.ScanLine(y) + 3 * x;
      if (p[0] == 0 && p[1] == 0 && p[2] == 0) continue;
      ++lit;
      EXPECT_TRUE(x >= 13 && x < 80 && y >= 248 && y < 266) << x << "," << y;
      EXPECT_TRUE(p[0] == p[1] && p[1] == p[2]) << "text is white (grey at its edges)";
    }
  }
  EXPECT_GT(lit, 20);
}

TEST_F(SceneTest, AreaOutsideASmallerPictureKeepsTheOldOneAndDarkensInTheBand) {
  platform::RandSeed = 7;
  LoadProbePicture(320, 240);
  RenderFrame();
  LoadProbePicture(100, 100);
  for (int frame = 0; frame < 60; ++frame) RenderFrame();
  // Outside the new picture, above the band: the old picture stays.
  EXPECT_EQ(SceneBitmap->Rows[150][200], Probe(200, 150));
  // Deep in the band the old picture has gone black after many frames.
  EXPECT_EQ(SceneBitmap->Rows[230][200], PixelBlack);
}

TEST_F(SceneTest, EmptyPageKeepsTheLineOnDisplay) {
  OnTextPage({"first"});
  EXPECT_EQ(CurrentText, "first");
  OnTextPage({"second", "ignored"});
  EXPECT_EQ(CurrentText, "second");
  OnTextPage({});
  EXPECT_EQ(CurrentText, "second");
  OnTextPage({""});
  EXPECT_EQ(CurrentText, "");
}

TEST_F(SceneTest, ImageCommandLoadsFromTheDatFolderOrSaysWhatIsMissing) {
  fixtures::TScratchFolder folder;
  std::filesystem::create_directories(folder.File("dat"));
  fixtures::WriteFile(folder.File("dat/pic.bmp"), fixtures::TrueColourBmp(40, 30, [](int, int) {
                        return fixtures::TRgb{10, 20, 30};
                      }));
  const auto previous = std::filesystem::current_path();
  std::filesystem::current_path(folder.File(""));
  try {
    OnImageCommand({"#image", "pic.bmp", "ignored.bmp"});
    EXPECT_EQ(ImageBitmap->Width(), 40);
    EXPECT_EQ(ImageBitmap->Rows[0][0], (TPixel{30, 20, 10}));
    EXPECT_THROW(OnImageCommand({"#image"}), platform::ERangeError);
    EXPECT_ANY_THROW(OnImageCommand({"#image", "missing.bmp"}));
    EXPECT_EQ(ImageBitmap->Width(), 40) << "a failed load keeps the picture";
  } catch (...) {
    std::filesystem::current_path(previous);
    throw;
  }
  std::filesystem::current_path(previous);
}

}  // namespace
