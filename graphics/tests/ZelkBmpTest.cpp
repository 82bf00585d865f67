// TZelkBitmap against the real picture readers and text drawing, on in-memory bitmaps and
// picture files the tests make.

#include "graphics/ZelkBmp.h"

#include <gtest/gtest.h>

#include <string>

#include "platform/Errors.h"
#include "platform/Forms.h"
#include "platform/tests/PictureFixtures.h"

namespace {

// A pixel whose value tells where it came from.
TPixel Marker(int x, int y, uint8_t tag) {
  return {static_cast<uint8_t>(x), static_cast<uint8_t>(y), tag};
}

void Paint(TZelkBitmap& bitmap, uint8_t tag) {
  for (int y = 0; y < bitmap.Height(); ++y) {
    const TPixelRow row = bitmap.Rows[y];
    for (int x = 0; x < bitmap.Width(); ++x) row[x] = Marker(x, y, tag);
  }
}

bool AllPixels(TZelkBitmap& bitmap, TPixel pixel) {
  for (int y = 0; y < bitmap.Height(); ++y) {
    for (int x = 0; x < bitmap.Width(); ++x) {
      if (!(bitmap.Rows[y][x] == pixel)) return false;
    }
  }
  return true;
}

TEST(ZelkBitmap, ANewBitmapIsEmptyWithBoldBlackText) {
  TZelkBitmap bitmap;
  EXPECT_EQ(bitmap.Width(), 0);
  EXPECT_EQ(bitmap.Height(), 0);
  EXPECT_TRUE(bitmap.Rows.Empty());
  EXPECT_EQ(bitmap.Mask, nullptr);
  const platform::TCanvas& canvas = bitmap.Canvas();
  EXPECT_EQ(canvas.Font.Height, 20);
  EXPECT_EQ(canvas.Font.Style, platform::fsBold);
  EXPECT_EQ(canvas.Font.Color, platform::clBlack);
  EXPECT_EQ(canvas.Brush.Style, platform::TBrushStyle::bsClear);
}

TEST(ZelkBitmap, ResizeFillBuildsTheTableAndFillsEveryPixel) {
  TZelkBitmap bitmap;
  bitmap.ResizeFill(320, 280, PixelBlack);
  EXPECT_EQ(bitmap.Rows.Length(), 280);
  EXPECT_TRUE(AllPixels(bitmap, PixelBlack));
  Paint(bitmap, 7);
  bitmap.Resize(320, 280);  // same size: still every pixel replaced
  EXPECT_TRUE(AllPixels(bitmap, PixelWhite));
  bitmap.ResizeFill(33, 17, {1, 2, 3});
  EXPECT_EQ(bitmap.Rows.Length(), 17);
  EXPECT_TRUE(AllPixels(bitmap, TPixel{1, 2, 3}));
  // Each entry addresses its own row of the current storage.
  for (int y = 0; y < 17; ++y) EXPECT_EQ(&bitmap.Rows[y][0].Blue, bitmap.ScanLine(y));

  bitmap.Resize(0, 0);
  EXPECT_TRUE(bitmap.Rows.Empty());
  bitmap.Fill(PixelBlack);  // nothing to write, nothing to fail
  EXPECT_EQ(bitmap.Width(), 0);
}

TEST(ZelkBitmap, RowsCheckRowAgainstTheTableAndColumnAgainstTheRowRange) {
  TZelkBitmap bitmap;
  bitmap.ResizeFill(4, 3, PixelBlack);
  EXPECT_THROW(bitmap.Rows[3], platform::ERangeError);
  EXPECT_THROW(bitmap.Rows[-1], platform::ERangeError);
  const TPixelRow row = bitmap.Rows[2];
  EXPECT_THROW(row[-1], platform::ERangeError);
  EXPECT_THROW(row[TPixelRow::MaxColumn + 1], platform::ERangeError);
  EXPECT_THROW(row[INT64_MAX], platform::ERangeError);
  row[3] = PixelWhite;
  EXPECT_EQ(bitmap.ScanLine(2)[9], 255);
  EXPECT_EQ(bitmap.ScanLine(2)[8], 0);
  // The table, not the height, bounds the row: an empty bitmap has no rows to touch.
  TZelkBitmap empty;
  EXPECT_THROW(empty.Rows[0], platform::ERangeError);
}

TEST(ZelkBitmap, DrawToCopiesTheClippedRectangleAndNothingElse) {
  const struct {
    const char* name;
    int srcWidth, srcHeight, x, y;
  } cases[] = {
      {"larger", 40, 30, 0, 0},
      {"smaller", 10, 8, 0, 0},
      {"offset", 10, 8, 5, 3},
      {"past the right and bottom", 10, 8, 16, 12},
      {"from above-left", 10, 8, -4, -6},
      {"entirely outside", 10, 8, 20, 0},
      {"same width, whole rows", 20, 15, 0, 0},
      {"same width, shifted down", 20, 30, 0, 4},
      {"same width, shifted up", 20, 30, 0, -9},
      {"empty", 0, 0, 0, 0},
  };
  for (const auto& c : cases) {
    TZelkBitmap source, dest;
    source.ResizeFill(c.srcWidth, c.srcHeight, PixelBlack);
    Paint(source, 1);
    dest.ResizeFill(20, 15, PixelBlack);
    Paint(dest, 2);
    source.DrawTo(dest, c.x, c.y);
    for (int y = 0; y < 15; ++y) {
      for (int x = 0; x < 20; ++x) {
        const int sx = x - c.x, sy = y - c.y;
        const bool covered = sx >= 0 && sy >= 0 && sx < c.srcWidth && sy < c.srcHeight;
        const TPixel expected = covered ? Marker(sx, sy, 1) : Marker(x, y, 2);
        ASSERT_TRUE(dest.Rows[y][x] == expected) << c.name << " at " << x << "," << y;
      }
    }
  }
}

class ZelkBitmapFiles : public ::testing::Test {
 protected:
  std::string Bmp(const std::string& name, int width, int height) {
    const std::string file = folder_.File(name);
    fixtures::WriteFile(
        file, fixtures::TrueColourBmp(width, height, [](int x, int y) {
          return fixtures::TRgb{static_cast<uint8_t>(x), static_cast<uint8_t>(y), 77};
        }));
    return file;
  }
  // A flat-coloured JPEG made by ImageMagick from a bitmap we wrote.
  std::string Jpeg(const std::string& name, int width, int height) {
    const std::string source = folder_.File("flat.bmp");
    fixtures::WriteFile(source, fixtures::TrueColourBmp(width, height, [](int, int) {
                          return fixtures::TRgb{200, 40, 90};
                        }));
    const std::string file = folder_.File(name);
    if (!fixtures::RunConvert("'" + source + "' -quality 100 'jpg:" + file + "'")) return {};
    return file;
  }
  fixtures::TScratchFolder folder_;
};

TEST_F(ZelkBitmapFiles, LoadImageTakesThePicturesOwnSizeAndRebuildsTheTable) {
  TZelkBitmap bitmap;
  bitmap.LoadImage(Bmp("big.bmp", 640, 480));
  EXPECT_EQ(bitmap.Width(), 640);
  EXPECT_EQ(bitmap.Height(), 480);
  EXPECT_EQ(bitmap.Rows.Length(), 480);
  EXPECT_TRUE((bitmap.Rows[479][200] == TPixel{77, 223, 200}));
  bitmap.LoadImage(Bmp("small.bmp", 320, 240));
  EXPECT_EQ(bitmap.Width(), 320);
  EXPECT_EQ(bitmap.Rows.Length(), 240);
  EXPECT_EQ(&bitmap.Rows[239][0].Blue, bitmap.ScanLine(239));
}

TEST_F(ZelkBitmapFiles, OnlyLowerCaseJpegEndingsAreReadAsJpeg) {
  const struct {
    const char* name;
    bool jpeg;
  } cases[] = {{"a.jpg", true},   {"a.jpeg", true},     {"a.JPG", false},
               {"a.Jpeg", false}, {"a.jpg.bmp", false}, {"jpg", false}};
  for (const auto& c : cases) {
    const std::string file = Jpeg(c.name, 24, 16);
    if (file.empty()) GTEST_SKIP() << "ImageMagick's convert is not available";
    TZelkBitmap bitmap;
    bitmap.ResizeFill(3, 2, PixelBlack);
    if (c.jpeg) {
      bitmap.LoadImage(file);
      EXPECT_EQ(bitmap.Width(), 24) << c.name;
      EXPECT_EQ(bitmap.Rows.Length(), 16) << c.name;
      const TPixel p = bitmap.Rows[8][12];
      EXPECT_NEAR(p.Red, 200, 3) << c.name;
      EXPECT_NEAR(p.Green, 40, 3) << c.name;
      EXPECT_NEAR(p.Blue, 90, 3) << c.name;
    } else {
      // A JPEG under any other name meets the bitmap reader, which refuses it.
      try {
        bitmap.LoadImage(file);
        ADD_FAILURE() << c.name << " loaded";
      } catch (const platform::EGraphicError& e) {
        EXPECT_NE(std::string(e.what()).find("not a readable bitmap"), std::string::npos)
            << c.name << ": " << e.what();
      }
      EXPECT_EQ(bitmap.Width(), 3) << c.name;
    }
  }
}

TEST_F(ZelkBitmapFiles, AFailedLoadKeepsPictureSizeAndTable) {
  TZelkBitmap bitmap;
  bitmap.LoadImage(Bmp("good.bmp", 30, 20));
  const TPixel before = bitmap.Rows[19][29];
  uint8_t* const firstRow = &bitmap.Rows[0][0].Blue;
  const std::string empty = folder_.File("empty.jpg");
  fixtures::WriteFile(empty, {});
  const std::string truncated = folder_.File("cut.bmp");
  auto bytes = fixtures::ReadFile(Bmp("whole.bmp", 30, 20));
  bytes.resize(bytes.size() / 2);
  fixtures::WriteFile(truncated, bytes);
  for (const std::string& file :
       {folder_.File("missing.bmp"), folder_.File("missing.jpg"), empty, truncated}) {
    EXPECT_ANY_THROW(bitmap.LoadImage(file)) << file;
    EXPECT_EQ(bitmap.Width(), 30) << file;
    EXPECT_EQ(bitmap.Rows.Length(), 20) << file;
    EXPECT_EQ(&bitmap.Rows[0][0].Blue, firstRow) << file;
    EXPECT_TRUE(bitmap.Rows[19][29] == before) << file;
  }
}

// The frame's text: height 14, italic, white, at (15, 250) on black.
class ZelkBitmapText : public ::testing::Test {
 protected:
  void SetUp() override {
    frame_.ResizeFill(320, 280, PixelBlack);
    frame_.SetTextStyle(14, platform::fsItalic, platform::clWhite);
  }
  // Lit pixels: each one grey (white blended over black) and inside the given box.
  int LitPixels(int left, int top, int right, int bottom, int* rightmost = nullptr) {
    int lit = 0;
    for (int y = 0; y < frame_.Height(); ++y) {
      for (int x = 0; x < frame_.Width(); ++x) {
        const TPixel p = frame_.Rows[y][x];
        if (p == PixelBlack) continue;
        EXPECT_TRUE(p.Blue == p.Green && p.Green == p.Red) << x << "," << y;
        EXPECT_TRUE(x >= left && x <= right && y >= top && y <= bottom) << x << "," << y;
        if (rightmost != nullptr) *rightmost = std::max(*rightmost, x);
        ++lit;
      }
    }
    return lit;
  }
  TZelkBitmap frame_;
};

TEST_F(ZelkBitmapText, TextAppearsOnlyInItsBox) {
  frame_.DrawText(15, 250, "Hello, world");
  // A 14-pixel cell (a descender may take one row more), 12 characters of at most 14 pixels.
  EXPECT_GT(LitPixels(15, 250, 15 + 12 * 14, 250 + 14), 50);
}

TEST_F(ZelkBitmapText, EmptyTextDrawsNothing) {
  frame_.DrawText(15, 250, "");
  EXPECT_EQ(LitPixels(0, 0, -1, -1), 0);
}

TEST_F(ZelkBitmapText, ALongLineIsCutAtTheRightEdge) {
  int rightmost = 0;
  frame_.DrawText(15, 250, std::string(400, 'W'));
  EXPECT_GT(LitPixels(15, 250, 319, 264, &rightmost), 0);
  EXPECT_GE(rightmost, 315);
}

TEST_F(ZelkBitmapText, JapaneseTextDrawsGlyphsAndLeavesTheTableValid) {
  uint8_t* const firstRow = &frame_.Rows[0][0].Blue;
  // "日本語のテキスト" in Shift-JIS.
  frame_.DrawText(15, 250, "\x93\xfa\x96\x7b\x8c\xea\x82\xcc\x83\x65\x83\x4c\x83\x58\x83\x67");
  int rightmost = 0;
  EXPECT_GT(LitPixels(15, 250, 15 + 8 * 14, 264, &rightmost), 100);
  EXPECT_GT(rightmost, 15 + 6 * 14);  // eight full-width glyphs, not a few boxes
  EXPECT_EQ(&frame_.Rows[0][0].Blue, firstRow);
}

}  // namespace

namespace {

TEST(ZelkBitmapPaint, PaintToCopiesTheTopLeftOntoTheBoxClippedToIt) {
  platform::TPaintBox box(nullptr);
  box.SetBounds(0, 0, 100, 50);
  TZelkBitmap frame;
  frame.ResizeFill(320, 280, PixelBlack);
  Paint(frame, 9);
  frame.PaintTo(box);
  const platform::TBitmap& surface = box.Canvas().Surface();
  ASSERT_EQ(surface.Width(), 100);
  ASSERT_EQ(surface.Height(), 50);
  for (int y = 0; y < 50; ++y) {
    const uint8_t* row = surface.ScanLine(y);
    for (int x = 0; x < 100; ++x) {
      ASSERT_TRUE((TPixel{row[x * 3], row[x * 3 + 1], row[x * 3 + 2]} == Marker(x, y, 9)))
          << x << "," << y;
    }
  }
}

}  // namespace
