// Text drawing against the real SDL_ttf and fontconfig, on in-memory bitmaps.

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>

#include "platform/Bitmap.h"
#include "platform/Text.h"
#include "platform/tests/PictureFixtures.h"

namespace {

// The box that holds every pixel that differs from the background colour.
struct TBox {
  int Left = INT32_MAX, Top = INT32_MAX, Right = -1, Bottom = -1;  // inclusive
  int Count = 0;
  bool Empty() const { return Count == 0; }
};

TBox Changed(const platform::TBitmap& bitmap, uint8_t background) {
  TBox box;
  for (int y = 0; y < bitmap.Height(); ++y) {
    const uint8_t* row = bitmap.ScanLine(y);
    for (int x = 0; x < bitmap.Width(); ++x) {
      const uint8_t* p = row + x * 3;
      if (p[0] == background && p[1] == background && p[2] == background) continue;
      box.Left = std::min(box.Left, x);
      box.Right = std::max(box.Right, x);
      box.Top = std::min(box.Top, y);
      box.Bottom = std::max(box.Bottom, y);
      ++box.Count;
    }
  }
  return box;
}

void Paint(platform::TBitmap& bitmap, uint8_t value) {
  for (int y = 0; y < bitmap.Height(); ++y) {
    std::memset(bitmap.ScanLine(y), value, static_cast<std::size_t>(bitmap.Width()) * 3);
  }
}

class TextOut : public ::testing::Test {
 protected:
  void SetUp() override {
    bitmap_.SetSize(200, 60);
    Paint(bitmap_, 0);
    bitmap_.Canvas().Font = {14, 0, platform::clWhite};
    bitmap_.Canvas().Brush.Style = platform::TBrushStyle::bsClear;
  }
  platform::TBitmap bitmap_;
};

TEST_F(TextOut, TheSystemOffersAJapaneseFaceWhoseCellIsTheRequestedHeight) {
  ASSERT_TRUE(platform::DefaultTextFace().Japanese) << platform::DefaultTextFace().File;
  for (int height : {10, 14, 20, 32}) {
    platform::TTextFont font(height, 0);
    ASSERT_TRUE(font.Valid());
    EXPECT_EQ(font.CellHeight(), height);
  }
}

TEST_F(TextOut, GlyphsStayInsideTheirCellsAtThePosition) {
  bitmap_.Canvas().TextOut(10, 20, "Mg");
  const TBox box = Changed(bitmap_, 0);
  ASSERT_FALSE(box.Empty());
  EXPECT_GE(box.Left, 10);
  EXPECT_LT(box.Right, 10 + 2 * 14);
  EXPECT_GE(box.Top, 20);
  // The cell is 14 pixels; a descender may reach one further.
  EXPECT_LE(box.Bottom, 20 + 14);
  EXPECT_GE(box.Bottom, 20 + 8);  // g reaches below the middle
}

TEST_F(TextOut, ClearBrushBlendsOnlyTheGlyphsAndSolidBrushFillsTheCells) {
  Paint(bitmap_, 100);
  bitmap_.Canvas().TextOut(5, 5, "- -");
  const TBox clear = Changed(bitmap_, 100);
  ASSERT_FALSE(clear.Empty());
  // Only the dashes' strokes change, not their cells.
  EXPECT_LT(clear.Count, 3 * 14 * 7);

  Paint(bitmap_, 100);
  bitmap_.Canvas().Brush = {platform::TBrushStyle::bsSolid, 0x000000};
  bitmap_.Canvas().TextOut(5, 5, "- -");
  const uint8_t* cellCorner = bitmap_.ScanLine(5) + 5 * 3;
  EXPECT_EQ(cellCorner[0], 0);  // the brush colour, not the background
  EXPECT_EQ(Changed(bitmap_, 100).Top, 5);
}

TEST_F(TextOut, InvalidBytesDrawAMarkAndKeepTheRestOfTheLine) {
  bitmap_.Canvas().TextOut(0, 0, "AB");
  const TBox plain = Changed(bitmap_, 0);
  Paint(bitmap_, 0);
  bitmap_.Canvas().TextOut(0, 0,
                           "A\x80"
                           "B");
  const TBox marked = Changed(bitmap_, 0);
  // The mark takes room of its own and B still follows it.
  EXPECT_GT(marked.Right, plain.Right + 5);
  EXPECT_GT(marked.Count, plain.Count);
}

TEST_F(TextOut, JapaneseTextDrawsDistinctGlyphs) {
  // 日本 and 語話 in Shift-JIS: a face without these would draw the same empty boxes for both.
  bitmap_.Canvas().TextOut(0, 0, "\x93\xfa\x96\x7b");
  const TBox first = Changed(bitmap_, 0);
  std::string firstPixels;
  for (int y = 0; y < 16; ++y)
    firstPixels.append(reinterpret_cast<const char*>(bitmap_.ScanLine(y)), 28 * 3);
  Paint(bitmap_, 0);
  bitmap_.Canvas().TextOut(0, 0, "\x8c\xea\x98\x62");
  std::string secondPixels;
  for (int y = 0; y < 16; ++y)
    secondPixels.append(reinterpret_cast<const char*>(bitmap_.ScanLine(y)), 28 * 3);
  ASSERT_FALSE(first.Empty());
  EXPECT_GT(first.Right, 14);  // two full-width characters
  EXPECT_NE(firstPixels, secondPixels);
}

TEST_F(TextOut, TextOutsideTheSurfaceIsClippedWithoutHarm) {
  const struct {
    int x, y;
    bool visible;
  } cases[] = {{-30, 0, true},
               {190, 0, true},
               {0, -8, true},
               {0, 55, true},
               {200, 0, false},
               {0, 60, false},
               {0, -40, false},
               {-100000, 0, false},
               {INT32_MAX, INT32_MAX, false},
               {INT32_MIN, INT32_MIN, false}};
  for (const auto& c : cases) {
    Paint(bitmap_, 0);
    bitmap_.Canvas().TextOut(c.x, c.y, "WWWWWWWW");
    EXPECT_EQ(!Changed(bitmap_, 0).Empty(), c.visible) << c.x << "," << c.y;
  }
}

TEST_F(TextOut, AVeryLongLineIsCutAtTheEdge) {
  const std::string line(1 << 20, 'W');
  bitmap_.Canvas().TextOut(15, 10, line);
  const TBox box = Changed(bitmap_, 0);
  EXPECT_EQ(box.Right, bitmap_.Width() - 1);
  EXPECT_GE(box.Left, 15);
}

TEST_F(TextOut, AFontDrawingLineAfterLineDrawsWhatAFreshOneWould) {
  // The canvas keeps its font and the font its last rendering: each draw must still follow its
  // own text, colour and room to the edge.
  const struct {
    const char* text;
    int x;
    platform::TColor color;
  } steps[] = {{"AB", 0, platform::clWhite},        {"AB", 0, platform::clWhite},
               {"AC", 0, platform::clWhite},        {"AC", 0, 0x0000FF},
               {"WWWWWWWWWWWWWWWW", 150, 0x0000FF}, {"WWWWWWWWWWWWWWWW", 0, 0x0000FF},
               {"\x93\xfa\x96\x7b", 40, 0x00FF00},  {"AB", 0, platform::clWhite}};
  for (const auto& step : steps) {
    Paint(bitmap_, 0);
    bitmap_.Canvas().Font.Color = step.color;
    bitmap_.Canvas().TextOut(step.x, 20, step.text);
    platform::TBitmap fresh;
    fresh.SetSize(bitmap_.Width(), bitmap_.Height());
    Paint(fresh, 0);
    fresh.Canvas().Font = {14, 0, step.color};
    fresh.Canvas().Brush.Style = platform::TBrushStyle::bsClear;
    fresh.Canvas().TextOut(step.x, 20, step.text);
    ASSERT_FALSE(Changed(fresh, 0).Empty()) << step.text;
    for (int y = 0; y < bitmap_.Height(); ++y) {
      ASSERT_EQ(std::memcmp(bitmap_.ScanLine(y), fresh.ScanLine(y),
                            static_cast<std::size_t>(bitmap_.Width()) * 3),
                0)
          << step.text << " at x " << step.x << ", row " << y;
    }
  }
}

TEST_F(TextOut, AnEmptyStringDrawsNothing) {
  bitmap_.Canvas().TextOut(10, 10, "");
  EXPECT_TRUE(Changed(bitmap_, 0).Empty());
}

// With no font configured the text is skipped with one warning, and nothing fails. Runs in a
// fresh process so the font lookup happens under the empty configuration.
TEST(TextOutWithoutFonts, DrawsNothingAndWarnsOnce) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  fixtures::TScratchFolder folder;
  const std::string config = folder.File("fonts.conf");
  std::ofstream(config) << "<?xml version=\"1.0\"?>\n<fontconfig></fontconfig>\n";
  EXPECT_EXIT(
      {
        setenv("FONTCONFIG_FILE", config.c_str(), 1);
        platform::TBitmap bitmap;
        bitmap.SetSize(50, 20);
        bitmap.Canvas().Font.Color = platform::clWhite;
        bitmap.Canvas().TextOut(0, 0, "abc");
        bitmap.Canvas().TextOut(0, 0, "def");
        std::exit(Changed(bitmap, 0).Empty() ? 0 : 1);
      },
      ::testing::ExitedWithCode(0), "^morvi: warning: no font found; text is not drawn\n$");
}

}  // namespace
