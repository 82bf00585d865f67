#include "platform/Bitmap.h"

#include <algorithm>
#include <cstring>
#include <string>

#include "platform/Errors.h"
#include "platform/JpegImage.h"
#include "platform/PictureFile.h"
#include "platform/ShiftJis.h"
#include "platform/Text.h"

namespace platform {

TBitmap::TBitmap() : canvas_(*this) {}

TBitmap::~TBitmap() = default;

void TBitmap::SetWidth(int width) {
  SetSize(width, height_);
}

void TBitmap::SetHeight(int height) {
  SetSize(width_, height);
}

void TBitmap::SetSize(int width, int height) {
  width = std::max(width, 0);
  height = std::max(height, 0);
  if (width == width_ && height == height_) return;
  Reallocate(width, height);
}

void TBitmap::Reallocate(int width, int height) {
  const std::size_t pitch = BgrRowPitch(width);
  std::vector<uint8_t> pixels(pitch * static_cast<std::size_t>(height), 0);
  const std::size_t keepBytes = static_cast<std::size_t>(std::min(width, width_)) * 3;
  // A zero width leaves no bytes to keep (and no buffer to keep them in).
  const int keepRows = keepBytes == 0 ? 0 : std::min(height, height_);
  for (int y = 0; y < keepRows; ++y) {
    std::memcpy(pixels.data() + pitch * static_cast<std::size_t>(y),
                pixels_.data() + pitch_ * static_cast<std::size_t>(y), keepBytes);
  }
  width_ = width;
  height_ = height;
  pitch_ = pitch;
  pixels_ = std::move(pixels);
}

uint8_t* TBitmap::ScanLine(int y) {
  return const_cast<uint8_t*>(static_cast<const TBitmap&>(*this).ScanLine(y));
}

const uint8_t* TBitmap::ScanLine(int y) const {
  if (y < 0 || y >= height_) {
    throw ERangeError("scan line " + std::to_string(y) + " outside a bitmap of height " +
                      std::to_string(height_));
  }
  return pixels_.data() + pitch_ * static_cast<std::size_t>(y);
}

void TBitmap::TakePixels(int width, int height, std::size_t pitch, std::vector<uint8_t> pixels) {
  if (width < 0 || height < 0 || pitch < static_cast<std::size_t>(width) * 3 ||
      pixels.size() < pitch * static_cast<std::size_t>(height)) {
    throw ERangeError("pixel buffer does not match its size");
  }
  width_ = width;
  height_ = height;
  pitch_ = pitch;
  pixels_ = std::move(pixels);
}

void TBitmap::LoadFromFile(const std::string& fileName) {
  // Decoded aside and taken only when complete, so a failure leaves the picture as it was.
  const std::vector<uint8_t> bytes = ReadPictureFile(fileName);
  TBgrPicture picture = DecodeBmp(DisplayFileName(fileName), bytes);
  TakePixels(picture.Width, picture.Height, picture.Pitch, std::move(picture.Pixels));
}

void TBitmap::Assign(const TJPEGImage& image) {
  const TBgrPicture& picture = image.Picture();
  TakePixels(picture.Width, picture.Height, picture.Pitch, picture.Pixels);
}

TCanvas::TCanvas(TBitmap& surface) : surface_(surface) {}

TCanvas::~TCanvas() = default;

void TCanvas::CopyFrom(int x, int y, int width, int height, const TCanvas& source, int srcX,
                       int srcY) {
  const TBitmap& src = source.Surface();
  TBitmap& dst = surface_;
  // Clip in 64 bits so that no combination of arguments can overflow.
  int64_t sx = srcX, sy = srcY, dx = x, dy = y, w = width, h = height;
  if (sx < 0) {
    w += sx;
    dx -= sx;
    sx = 0;
  }
  if (sy < 0) {
    h += sy;
    dy -= sy;
    sy = 0;
  }
  if (dx < 0) {
    w += dx;
    sx -= dx;
    dx = 0;
  }
  if (dy < 0) {
    h += dy;
    sy -= dy;
    dy = 0;
  }
  w = std::min({w, int64_t{src.Width()} - sx, int64_t{dst.Width()} - dx});
  h = std::min({h, int64_t{src.Height()} - sy, int64_t{dst.Height()} - dy});
  if (w <= 0 || h <= 0) return;
  const std::size_t bytes = static_cast<std::size_t>(w) * 3;
  if (&src != &dst && sx == 0 && dx == 0 && w == src.Width() && w == dst.Width() &&
      src.Pitch() == dst.Pitch()) {
    // Whole rows of equal layout: one contiguous copy (the last row without its padding).
    const std::size_t block =
        static_cast<std::size_t>(src.Pitch()) * static_cast<std::size_t>(h - 1) + bytes;
    std::memcpy(dst.ScanLine(static_cast<int>(dy)), src.ScanLine(static_cast<int>(sy)), block);
    if (OnChange) {
      OnChange(static_cast<int>(dx), static_cast<int>(dy), static_cast<int>(w),
               static_cast<int>(h));
    }
    return;
  }
  // Copying a bitmap onto itself may overlap; memmove and the row order keep it right.
  const bool upward = &src == &dst && dy > sy;
  for (int64_t i = 0; i < h; ++i) {
    const int64_t row = upward ? h - 1 - i : i;
    std::memmove(dst.ScanLine(static_cast<int>(dy + row)) + dx * 3,
                 src.ScanLine(static_cast<int>(sy + row)) + sx * 3, bytes);
  }
  if (OnChange) {
    OnChange(static_cast<int>(dx), static_cast<int>(dy), static_cast<int>(w), static_cast<int>(h));
  }
}

}  // namespace platform
