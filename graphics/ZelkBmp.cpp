#include "graphics/ZelkBmp.h"

#include <algorithm>
#include <string>

#include "platform/Errors.h"
#include "platform/Forms.h"
#include "platform/JpegImage.h"

namespace {

bool EndsWith(const std::string& text, std::string_view ending) {
  // Byte for byte and case-sensitive: "X.JPG" is not a JPEG name.
  return text.size() >= ending.size() &&
         std::string_view(text).substr(text.size() - ending.size()) == ending;
}

// ".JPG", ".Jpeg" and the like: a JPEG ending in other letter case, which is read as a bitmap.
bool HasJpegEndingInOtherCase(const std::string& text) {
  for (std::string_view ending : {std::string_view(".jpg"), std::string_view(".jpeg")}) {
    if (text.size() < ending.size() || EndsWith(text, ending)) continue;
    const std::string_view tail = std::string_view(text).substr(text.size() - ending.size());
    if (std::equal(tail.begin(), tail.end(), ending.begin(), [](char a, char b) {
          return (a >= 'A' && a <= 'Z' ? static_cast<char>(a - 'A' + 'a') : a) == b;
        })) {
      return true;
    }
  }
  return false;
}

}  // namespace

TPixel& TPixelRow::operator[](int64_t x) const {
  if (x < 0 || x > MaxColumn) {
    throw platform::ERangeError("pixel column " + std::to_string(x) + " outside 0.." +
                                std::to_string(MaxColumn));
  }
  // 3 * x cannot overflow once x is in range; the check stays so the offset is guarded even if
  // the bound is ever raised.
  int64_t offset = 0;
  if (__builtin_mul_overflow(x, int64_t{sizeof(TPixel)}, &offset)) {
    throw platform::ERangeError("pixel offset overflows");
  }
  return *reinterpret_cast<TPixel*>(leftmost_ + offset);
}

TPixelRow TPixelTable::operator[](int64_t y) const {
  if (y < 0 || y >= Length()) {
    throw platform::ERangeError("pixel row " + std::to_string(y) + " outside a table of " +
                                std::to_string(Length()) + " rows");
  }
  return TPixelRow(rows_[static_cast<std::size_t>(y)]);
}

TZelkBitmap::TZelkBitmap() {
  SetTextStyle(20, platform::fsBold, platform::clBlack);
}

TZelkBitmap::~TZelkBitmap() = default;

void TZelkBitmap::Resize(int width, int height) {
  ResizeFill(width, height, PixelWhite);
}

void TZelkBitmap::ResizeFill(int width, int height, TPixel pixel) {
  SetWidth(width);
  SetHeight(height);
  BuildPixelTable();
  Fill(pixel);
}

void TZelkBitmap::Fill(TPixel pixel) {
  for (int64_t y = 0; y < Height(); ++y) {
    const TPixelRow row = Rows[y];  // one row address per row
    for (int64_t x = 0; x < Width(); ++x) row[x] = pixel;
  }
}

void TZelkBitmap::SetTextStyle(int height, platform::TFontStyles style, platform::TColor color) {
  platform::TCanvas& canvas = Canvas();
  canvas.Font.Height = height;
  canvas.Font.Style = style;
  canvas.Font.Color = color;
  canvas.Brush.Style = platform::TBrushStyle::bsClear;
}

void TZelkBitmap::LoadImage(const std::string& fileName) {
  if (EndsWith(fileName, ".jpg") || EndsWith(fileName, ".jpeg")) {
    LoadJpeg(fileName);
  } else {
    try {
      LoadFromFile(fileName);
    } catch (const platform::EGraphicError& error) {
      // "photo.JPG" from a camera fails as a bitmap; say why instead of leaving a riddle.
      if (!HasJpegEndingInOtherCase(fileName)) throw;
      throw platform::EGraphicError(std::string(error.what()) +
                                    " (only names ending in .jpg or .jpeg in small letters are "
                                    "read as JPEG; this one is read as a Windows bitmap)");
    }
  }
  BuildPixelTable();
}

void TZelkBitmap::LoadJpeg(const std::string& fileName) {
  platform::TJPEGImage image;
  image.LoadFromFile(fileName);
  Assign(image);
}

void TZelkBitmap::BuildPixelTable() {
  SetPixelFormat(platform::TPixelFormat::pf24bit);
  std::vector<uint8_t*> rows(static_cast<std::size_t>(Height()));
  for (int y = 0; y < Height(); ++y) rows[static_cast<std::size_t>(y)] = ScanLine(y);
  Rows.rows_ = std::move(rows);
}

void TZelkBitmap::DrawTo(TZelkBitmap& dest, int x, int y) const {
  dest.Canvas().CopyFrom(x, y, Width(), Height(), Canvas(), 0, 0);
}

void TZelkBitmap::DrawText(int x, int y, std::string_view text) {
  Canvas().TextOut(x, y, text);
}

void TZelkBitmap::PaintTo(platform::TPaintBox& box) const {
  box.Canvas().CopyFrom(0, 0, Width(), Height(), Canvas(), 0, 0);
}
