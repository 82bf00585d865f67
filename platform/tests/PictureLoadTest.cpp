// The bitmap and JPEG readers against the real SDL2 and libjpeg-turbo, on files the tests make.

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "platform/Bitmap.h"
#include "platform/Errors.h"
#include "platform/JpegImage.h"
#include "platform/tests/JpegFixtures.h"
#include "platform/tests/PictureFixtures.h"

namespace {

using fixtures::TRgb;

struct TBgr {
  int Blue, Green, Red;
};

TBgr PixelAt(const platform::TBitmap& bitmap, int x, int y) {
  const uint8_t* p = bitmap.ScanLine(y) + x * 3;
  return {p[0], p[1], p[2]};
}

TBgr PixelAt(const platform::TJPEGImage& image, int x, int y) {
  const platform::TBgrPicture& picture = image.Picture();
  const uint8_t* p = picture.Pixels.data() + picture.Pitch * static_cast<std::size_t>(y) + x * 3;
  return {p[0], p[1], p[2]};
}

// A 4-colour picture whose colour tells where a pixel is: a transposed or mirrored load shows.
TRgb Quadrants(int x, int y, int width, int height) {
  const bool right = x >= width / 2;
  const bool bottom = y >= height / 2;
  if (!right && !bottom) return {255, 0, 0};
  if (right && !bottom) return {0, 255, 0};
  if (!right && bottom) return {0, 0, 255};
  return {255, 255, 255};
}

#define EXPECT_BGR_NEAR(actual, red, green, blue, tolerance, what) \
  do {                                                             \
    const TBgr a_ = (actual);                                      \
    EXPECT_NEAR(a_.Red, red, tolerance) << what;                   \
    EXPECT_NEAR(a_.Green, green, tolerance) << what;               \
    EXPECT_NEAR(a_.Blue, blue, tolerance) << what;                 \
  } while (0)

class PictureLoad : public ::testing::Test {
 protected:
  fixtures::TScratchFolder folder_;
};

// ---- Windows bitmap files -------------------------------------------------------------------

struct TBmpCase {
  const char* name;
  std::vector<uint8_t> bytes;
  int width, height;
  // Chosen pixels and their exact colour.
  std::vector<std::pair<std::pair<int, int>, TRgb>> pixels;
};

std::vector<TBmpCase> BmpCases() {
  const auto quad = [](int w, int h) {
    return [w, h](int x, int y) { return Quadrants(x, y, w, h); };
  };
  const std::vector<std::pair<std::pair<int, int>, TRgb>> quadPixels = {{{0, 0}, {255, 0, 0}},
                                                                        {{6, 0}, {0, 255, 0}},
                                                                        {{0, 4}, {0, 0, 255}},
                                                                        {{6, 4}, {255, 255, 255}}};
  // The palette's colours are deliberately not the grey ramp its indices would suggest.
  const std::vector<TRgb> palette = {{10, 20, 30}, {200, 100, 50}, {1, 2, 3}, {250, 240, 230}};
  const auto paletteIndex = [](int x, int y) { return static_cast<uint8_t>((x / 2 + y) % 4); };
  const std::vector<std::pair<std::pair<int, int>, TRgb>> palettePixels = {
      {{0, 0}, {10, 20, 30}},
      {{2, 0}, {200, 100, 50}},
      {{0, 2}, {1, 2, 3}},
      {{6, 4}, {250, 240, 230}}};
  return {
      {"24-bit bottom-up", fixtures::TrueColourBmp(7, 5, quad(7, 5)), 7, 5, quadPixels},
      {"24-bit top-down", fixtures::TrueColourBmp(7, -5, quad(7, 5)), 7, 5, quadPixels},
      {"32-bit", fixtures::TrueColourBmp(7, 5, quad(7, 5), 32), 7, 5, quadPixels},
      {"16-bit 565 with masks", fixtures::HighColourBmp(7, 5, quad(7, 5), true), 7, 5, quadPixels},
      {"16-bit 555 without masks", fixtures::HighColourBmp(7, 5, quad(7, 5), false), 7, 5,
       quadPixels},
      {"8-bit palette", fixtures::PaletteBmp(7, 5, palette, paletteIndex, false), 7, 5,
       palettePixels},
      {"8-bit RLE", fixtures::PaletteBmp(7, 5, palette, paletteIndex, true), 7, 5, palettePixels},
  };
}

TEST_F(PictureLoad, EveryBitmapLayoutBecomes24BitWithItsExactColours) {
  for (const TBmpCase& c : BmpCases()) {
    const std::string file = folder_.File("picture.bmp");
    fixtures::WriteFile(file, c.bytes);
    platform::TBitmap bitmap;
    bitmap.LoadFromFile(file);
    ASSERT_EQ(bitmap.Width(), c.width) << c.name;
    ASSERT_EQ(bitmap.Height(), c.height) << c.name;
    EXPECT_GE(bitmap.Pitch(), c.width * 3) << c.name;
    for (const auto& [at, colour] : c.pixels) {
      EXPECT_BGR_NEAR(PixelAt(bitmap, at.first, at.second), colour.Red, colour.Green, colour.Blue,
                      0, c.name << " at " << at.first << "," << at.second);
    }
  }
}

TEST_F(PictureLoad, SixteenBitMidTonesExpandToFullRange) {
  const std::string file = folder_.File("mid.bmp");
  fixtures::WriteFile(file, fixtures::HighColourBmp(
                                2, 1,
                                [](int, int) {
                                  return TRgb{128, 64, 200};
                                },
                                true));
  platform::TBitmap bitmap;
  bitmap.LoadFromFile(file);
  // 5 or 6 bits per channel lose the low bits, nothing more.
  EXPECT_BGR_NEAR(PixelAt(bitmap, 1, 0), 128, 64, 200, 8, "565");
}

struct TBadFile {
  const char* name;
  std::vector<uint8_t> bytes;  // empty vector and no file: see Missing
  bool missing;
  const char* message;  // part of the error text besides the file name
};

// Load must fail with an error naming File and giving the reader's reason, of the kind the case
// calls for: a file that is not there is an I/O error, one that cannot be decoded a picture error.
template <class TLoad>
void ExpectLoadFails(const TBadFile& c, const std::string& file, TLoad load) {
  try {
    load();
    ADD_FAILURE() << c.name << " loaded";
  } catch (const std::exception& e) {
    const std::string what = e.what();
    EXPECT_NE(what.find(file), std::string::npos) << c.name << ": " << what;
    EXPECT_NE(what.find(c.message), std::string::npos) << c.name << ": " << what;
    // The reader's own reason follows the file name.
    EXPECT_GT(what.size(), file.size() + 20) << c.name << ": " << what;
    if (c.missing) {
      EXPECT_NE(dynamic_cast<const platform::EInOutError*>(&e), nullptr) << c.name;
    } else {
      EXPECT_NE(dynamic_cast<const platform::EGraphicError*>(&e), nullptr) << c.name;
    }
  }
}

// An 8-bit run-length coded bitmap whose data ends the picture at once.
std::vector<uint8_t> RleEndingAtOnce(int width, int height) {
  std::vector<uint8_t> file = fixtures::detail::Headers(width, height, 8, 1, 0, 0, 2);
  file.insert(file.end(), {0, 1});
  return file;
}

TEST_F(PictureLoad, BadBitmapFilesRaiseNamingTheFileAndKeepThePicture) {
  const auto good =
      fixtures::TrueColourBmp(7, 5, [](int x, int y) { return Quadrants(x, y, 7, 5); });
  std::vector<uint8_t> truncated(good.begin(), good.begin() + static_cast<long>(good.size() / 2));
  std::vector<uint8_t> corrupt = good;
  for (std::size_t i = 14; i < 40; ++i) corrupt[i] = 0xEE;  // the info header
  // Only a header: 60,000 x 60,000 pixels declared in 54 bytes.
  std::vector<uint8_t> huge = fixtures::detail::Headers(60000, 60000, 24, 0, 0, 0, 0);
  const TBadFile cases[] = {
      {"missing", {}, true, "No such file"},
      {"empty", {}, false, "empty"},
      {"truncated", truncated, false, "Error reading"},
      {"corrupt header", corrupt, false, ""},
      {"not a bitmap", {'G', 'I', 'F', '8', '9', 'a', 0, 0, 0, 0}, false, ""},
      {"declares 60000 x 60000", huge, false, "60000 x 60000"},
      // Within the size limits, but with no pixels behind the header: refused before the
      // reader takes the 50 MB such a picture would need.
      {"declares 4096 x 4096 in 54 bytes", fixtures::detail::Headers(4096, 4096, 24, 0, 0, 0, 0),
       false, "cut short"},
      // The reader takes a compression it does not know as plain rows.
      {"unknown compression", fixtures::detail::Headers(4096, 4096, 8, 0x5D000000, 0, 0, 0), false,
       "cut short"},
      // Run-length coding may end the picture at once, so a few bytes make a whole picture:
      // the size in all is what bounds the memory.
      {"run-length coded 16384 x 16384 in 56 bytes", RleEndingAtOnce(16384, 16384), false,
       "16384 x 16384 pixels; at most 16777216 pixels in all"},
      {"run-length coded one pixel too many", RleEndingAtOnce(4097, 4096), false, "4097 x 4096"},
  };
  platform::TBitmap bitmap;
  const std::string goodFile = folder_.File("good.bmp");
  fixtures::WriteFile(goodFile, good);
  bitmap.LoadFromFile(goodFile);
  const uint8_t* before = bitmap.ScanLine(0);
  for (const TBadFile& c : cases) {
    const std::string file = folder_.File(std::string(c.name) + ".bmp");
    if (!c.missing) fixtures::WriteFile(file, c.bytes);
    ExpectLoadFails(c, file, [&] { bitmap.LoadFromFile(file); });
    EXPECT_EQ(bitmap.Width(), 7) << c.name;
    EXPECT_EQ(bitmap.Height(), 5) << c.name;
    EXPECT_EQ(bitmap.ScanLine(0), before) << c.name;
    EXPECT_BGR_NEAR(PixelAt(bitmap, 6, 4), 255, 255, 255, 0, c.name);
  }
}

// ---- JPEG files -----------------------------------------------------------------------------

// 32 x 16: two flat 16 x 16 blocks, so the colours come back nearly exact.
TRgb TwoBlocks(int x, int) {
  return x < 16 ? TRgb{200, 40, 90} : TRgb{30, 160, 250};
}

TEST_F(PictureLoad, JpegKindsDecodeToBlueGreenRed) {
  struct TCase {
    const char* name;
    fixtures::TJpegKind kind;
  } cases[] = {{"colour", fixtures::TJpegKind::Colour},
               {"progressive", fixtures::TJpegKind::Progressive},
               {"Adobe CMYK", fixtures::TJpegKind::AdobeCmyk}};
  for (const TCase& c : cases) {
    const std::string file = folder_.File("picture.jpg");
    fixtures::WriteFile(file, fixtures::EncodeJpeg(32, 16, TwoBlocks, c.kind));
    platform::TJPEGImage image;
    image.LoadFromFile(file);
    ASSERT_EQ(image.Width(), 32) << c.name;
    ASSERT_EQ(image.Height(), 16) << c.name;
    EXPECT_BGR_NEAR(PixelAt(image, 4, 4), 200, 40, 90, 3, c.name);
    EXPECT_BGR_NEAR(PixelAt(image, 28, 12), 30, 160, 250, 3, c.name);
  }
}

TEST_F(PictureLoad, GreyscaleJpegGivesEqualChannels) {
  const std::string file = folder_.File("grey.jpg");
  const auto levels = [](int x, int y) {
    const auto level = static_cast<uint8_t>(x < 8 ? (y < 8 ? 0 : 77) : (y < 8 ? 180 : 255));
    return TRgb{level, level, level};
  };
  fixtures::WriteFile(file, fixtures::EncodeJpeg(16, 16, levels, fixtures::TJpegKind::Greyscale));
  platform::TJPEGImage image;
  image.LoadFromFile(file);
  const struct {
    int x, y, level;
  } expected[] = {{2, 2, 0}, {2, 12, 77}, {12, 2, 180}, {12, 12, 255}};
  for (const auto& e : expected) {
    const TBgr p = PixelAt(image, e.x, e.y);
    EXPECT_EQ(p.Blue, p.Green);
    EXPECT_EQ(p.Green, p.Red);
    EXPECT_NEAR(p.Red, e.level, 1) << e.x << "," << e.y;
  }
}

// ImageMagick writes CMYK the way print tools do; this checks our reading of the inverted inks
// against a writer that is not our own.
TEST_F(PictureLoad, CmykJpegFromAnotherWriterKeepsItsColours) {
  const std::string file = folder_.File("cmyk.jpg");
  if (!fixtures::RunConvert("-size 16x16 xc:'rgb(255,0,0)' -size 16x16 xc:'rgb(0,0,255)' "
                            "+append -colorspace CMYK -quality 100 '" +
                            file + "'")) {
    GTEST_SKIP() << "ImageMagick's convert is not available";
  }
  platform::TJPEGImage image;
  image.LoadFromFile(file);
  ASSERT_EQ(image.Width(), 32);
  EXPECT_BGR_NEAR(PixelAt(image, 4, 4), 255, 0, 0, 8, "red");
  EXPECT_BGR_NEAR(PixelAt(image, 28, 4), 0, 0, 255, 8, "blue");
}

TEST_F(PictureLoad, BadJpegFilesRaiseWithLibjpegsMessageAndKeepThePicture) {
  const auto good = fixtures::EncodeJpeg(32, 16, TwoBlocks, fixtures::TJpegKind::Colour);
  std::vector<uint8_t> truncated(good.begin(),
                                 good.begin() + static_cast<long>(good.size() * 2 / 3));
  std::vector<uint8_t> corrupt = good;
  for (std::size_t i = 2; i < 40 && i < corrupt.size(); ++i) corrupt[i] = 0x00;
  std::vector<uint8_t> huge = good;
  fixtures::SetJpegDeclaredSize(huge, 60000, 60000);
  std::vector<uint8_t> wide = good;
  fixtures::SetJpegDeclaredSize(wide, 16385, 16);
  std::vector<uint8_t> large = good;
  fixtures::SetJpegDeclaredSize(large, 4097, 4096);
  const TBadFile cases[] = {
      {"missing", {}, true, "No such file"},
      {"empty", {}, false, "Empty input file"},
      {"truncated", truncated, false, "Premature end of JPEG file"},
      {"corrupt", corrupt, false, ""},
      {"a bitmap named .jpg", fixtures::TrueColourBmp(2, 2, TwoBlocks), false, "Not a JPEG file"},
      {"declares 60000 x 60000", huge, false, "60000 x 60000"},
      {"one pixel too wide", wide, false, "16385 x 16"},
      {"one row of pixels too many", large, false, "4097 x 4096 pixels; at most 16777216"},
  };
  platform::TJPEGImage image;
  const std::string goodFile = folder_.File("good.jpg");
  fixtures::WriteFile(goodFile, good);
  image.LoadFromFile(goodFile);
  for (const TBadFile& c : cases) {
    const std::string file = folder_.File(std::string(c.name) + ".jpg");
    if (!c.missing) fixtures::WriteFile(file, c.bytes);
    ExpectLoadFails(c, file, [&] { image.LoadFromFile(file); });
    EXPECT_EQ(image.Width(), 32) << c.name;
    EXPECT_BGR_NEAR(PixelAt(image, 28, 12), 30, 160, 250, 3, c.name);
  }
}

TEST_F(PictureLoad, TheLargestAllowedSizeIsNotRefusedForItsSize) {
  // 16384 x 1 is allowed: the limit is on each side, and the file is then decoded for real.
  const std::string file = folder_.File("edge.jpg");
  fixtures::WriteFile(file, fixtures::EncodeJpeg(
                                16384, 1,
                                [](int, int) {
                                  return TRgb{9, 9, 9};
                                },
                                fixtures::TJpegKind::Greyscale));
  platform::TJPEGImage image;
  image.LoadFromFile(file);
  EXPECT_EQ(image.Width(), 16384);
}

TEST_F(PictureLoad, BitmapTakesAJpegPictureThroughAssign) {
  const std::string file = folder_.File("assign.jpg");
  fixtures::WriteFile(file, fixtures::EncodeJpeg(32, 16, TwoBlocks, fixtures::TJpegKind::Colour));
  platform::TJPEGImage image;
  image.LoadFromFile(file);
  platform::TBitmap bitmap;
  bitmap.Assign(image);
  ASSERT_EQ(bitmap.Width(), 32);
  ASSERT_EQ(bitmap.Height(), 16);
  EXPECT_BGR_NEAR(PixelAt(bitmap, 4, 15), 200, 40, 90, 3, "assigned");
}

}  // namespace
