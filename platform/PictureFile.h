#pragma once
// Reading picture files into 24-bit blue-green-red rows: the parts both readers share, and the
// Windows bitmap reader (SDL2's, converted to 24 bits).

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace platform {

// The widest and tallest picture either reader accepts. A header is a few bytes, so a file of a
// few hundred bytes can declare 60,000 x 60,000 pixels; the size is checked from the header,
// before any pixel memory is taken.
inline constexpr int64_t MaxPictureSide = 16384;
// The most pixels a picture may have in all (4096 x 4096), nearly 200 times the window.
// Run-length encoded bitmaps and JPEG files can declare a picture far larger than they are,
// and every pixel costs memory several times over on its way to the screen.
inline constexpr int64_t MaxPicturePixels = int64_t{1} << 24;

// A decoded picture: rows top-down, 3 bytes a pixel (blue, green, red), Pitch bytes apart.
struct TBgrPicture {
  int Width = 0;
  int Height = 0;
  std::size_t Pitch = 0;
  std::vector<uint8_t> Pixels;
};

// Bytes from one row to the next for a 24-bit row of Width pixels, padded to 4 bytes as in a
// Windows device-independent bitmap.
std::size_t BgrRowPitch(int width);

// The whole file. Raises EInOutError naming the file when it cannot be opened or read.
std::vector<uint8_t> ReadPictureFile(const std::string& fileName);

// Raises EGraphicError naming the file and the declared size when either side exceeds
// MaxPictureSide.
void CheckPictureSize(const std::string& fileName, int64_t width, int64_t height);

// Decodes a Windows bitmap file held in memory (every variant SDL2's reader knows: 1/4/8-bit
// palette, RLE4/RLE8, 16-bit 555/565, 24 and 32 bits, bottom-up and top-down). Raises
// EGraphicError with the reader's message and the file name.
TBgrPicture DecodeBmp(const std::string& fileName, std::span<const uint8_t> data);

}  // namespace platform
