#pragma once
// A decoded JPEG picture, the platform's JPEG image class: load a file, then hand the picture to
// a bitmap with TBitmap::Assign.

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "platform/PictureFile.h"

namespace platform {

class TJPEGImage {
 public:
  TJPEGImage() = default;

  // Decodes the whole file at full size into 24-bit blue-green-red. Colour, greyscale (equal
  // blue, green and red), progressive and CMYK/YCCK files are read. Raises EInOutError when the
  // file cannot be read and EGraphicError, with libjpeg's message and the file name, when it
  // cannot be decoded, is cut short, or is larger than MaxPictureSide on either side. On failure
  // the image keeps what it held.
  void LoadFromFile(const std::string& fileName);
  // The same for a file already in memory; FileName only names it in messages.
  void LoadFromMemory(const std::string& fileName, std::span<const uint8_t> data);

  int Width() const { return picture_.Width; }
  int Height() const { return picture_.Height; }
  const TBgrPicture& Picture() const { return picture_; }

 private:
  TBgrPicture picture_;
};

}  // namespace platform
