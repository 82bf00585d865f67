#pragma once
// Test pictures made in memory: Windows bitmap files of every layout the loader must read, a
// scratch folder that cleans up after itself, and ImageMagick for files we do not encode
// ourselves. Nothing here is a stored binary: every fixture is made by the test that uses it.

#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

namespace fixtures {

struct TRgb {
  uint8_t Red, Green, Blue;
};

using TPixelFunction = std::function<TRgb(int x, int y)>;

class TScratchFolder {
 public:
  TScratchFolder() {
    std::string pattern =
        (std::filesystem::temp_directory_path() / "morvi-pictures-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
    path_ = pattern;
  }
  ~TScratchFolder() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
  }
  TScratchFolder(const TScratchFolder&) = delete;
  TScratchFolder& operator=(const TScratchFolder&) = delete;

  std::string File(const std::string& name) const { return (path_ / name).string(); }

 private:
  std::filesystem::path path_;
};

inline void WriteFile(const std::string& fileName, const std::vector<uint8_t>& bytes) {
  std::ofstream file(fileName, std::ios::binary | std::ios::trunc);
  file.write(reinterpret_cast<const char*>(bytes.data()),
             static_cast<std::streamsize>(bytes.size()));
  if (!file) throw std::runtime_error("cannot write " + fileName);
}

inline std::vector<uint8_t> ReadFile(const std::string& fileName) {
  std::ifstream file(fileName, std::ios::binary);
  return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
}

// True when ImageMagick's convert ran and succeeded.
inline bool RunConvert(const std::string& arguments) {
  const std::string command = "convert " + arguments + " >/dev/null 2>&1";
  return std::system(command.c_str()) == 0;
}

namespace detail {

inline void Put16(std::vector<uint8_t>& out, uint32_t value) {
  out.push_back(static_cast<uint8_t>(value));
  out.push_back(static_cast<uint8_t>(value >> 8));
}

inline void Put32(std::vector<uint8_t>& out, uint32_t value) {
  Put16(out, value & 0xFFFF);
  Put16(out, value >> 16);
}

// File header and a 40-byte info header; the caller appends masks, palette and pixels.
inline std::vector<uint8_t> Headers(int width, int height, int bits, uint32_t compression,
                                    uint32_t extraHeaderBytes, uint32_t paletteEntries,
                                    uint32_t imageBytes) {
  std::vector<uint8_t> out;
  const uint32_t offset = 14 + 40 + extraHeaderBytes + paletteEntries * 4;
  out.push_back('B');
  out.push_back('M');
  Put32(out, offset + imageBytes);
  Put32(out, 0);
  Put32(out, offset);
  Put32(out, 40);
  Put32(out, static_cast<uint32_t>(width));
  Put32(out, static_cast<uint32_t>(height));
  Put16(out, 1);
  Put16(out, static_cast<uint32_t>(bits));
  Put32(out, compression);
  Put32(out, imageBytes);
  Put32(out, 2835);
  Put32(out, 2835);
  Put32(out, paletteEntries);
  Put32(out, 0);
  return out;
}

// Rows in file order: bottom-up, or top-down for a negative height.
inline std::vector<int> FileRowOrder(int height) {
  std::vector<int> rows;
  const int h = height < 0 ? -height : height;
  for (int i = 0; i < h; ++i) rows.push_back(height < 0 ? i : h - 1 - i);
  return rows;
}

}  // namespace detail

// A 24- or 32-bit file. A negative height writes the rows top-down.
inline std::vector<uint8_t> TrueColourBmp(int width, int height, const TPixelFunction& pixel,
                                          int bits = 24) {
  const int bytesPerPixel = bits / 8;
  const uint32_t pitch = (static_cast<uint32_t>(width * bytesPerPixel) + 3) & ~3u;
  const int rows = height < 0 ? -height : height;
  std::vector<uint8_t> out =
      detail::Headers(width, height, bits, 0, 0, 0, pitch * static_cast<uint32_t>(rows));
  for (int y : detail::FileRowOrder(height)) {
    const std::size_t start = out.size();
    for (int x = 0; x < width; ++x) {
      const TRgb c = pixel(x, y);
      out.insert(out.end(), {c.Blue, c.Green, c.Red});
      if (bits == 32) out.push_back(0);
    }
    out.resize(start + pitch, 0);
  }
  return out;
}

// A 16-bit file: 5-6-5 with its masks (BI_BITFIELDS), or plain 5-5-5 (BI_RGB, no masks).
inline std::vector<uint8_t> HighColourBmp(int width, int height, const TPixelFunction& pixel,
                                          bool rgb565) {
  const uint32_t pitch = (static_cast<uint32_t>(width * 2) + 3) & ~3u;
  std::vector<uint8_t> out = detail::Headers(width, height, 16, rgb565 ? 3 : 0, rgb565 ? 12 : 0, 0,
                                             pitch * static_cast<uint32_t>(height));
  if (rgb565) {
    detail::Put32(out, 0xF800);
    detail::Put32(out, 0x07E0);
    detail::Put32(out, 0x001F);
  }
  for (int y : detail::FileRowOrder(height)) {
    const std::size_t start = out.size();
    for (int x = 0; x < width; ++x) {
      const TRgb c = pixel(x, y);
      const int value = rgb565 ? (c.Red >> 3) << 11 | (c.Green >> 2) << 5 | c.Blue >> 3
                               : (c.Red >> 3) << 10 | (c.Green >> 3) << 5 | c.Blue >> 3;
      detail::Put16(out, static_cast<uint32_t>(value));
    }
    out.resize(start + pitch, 0);
  }
  return out;
}

// An 8-bit palette file, plain or run-length encoded (RLE8, bottom-up as that format requires).
inline std::vector<uint8_t> PaletteBmp(int width, int height, const std::vector<TRgb>& palette,
                                       const std::function<uint8_t(int x, int y)>& index,
                                       bool rle8) {
  std::vector<uint8_t> data;
  const uint32_t pitch = (static_cast<uint32_t>(width) + 3) & ~3u;
  for (int y : detail::FileRowOrder(height)) {
    if (!rle8) {
      const std::size_t start = data.size();
      for (int x = 0; x < width; ++x) data.push_back(index(x, y));
      data.resize(start + pitch, 0);
      continue;
    }
    for (int x = 0; x < width;) {
      const uint8_t value = index(x, y);
      int run = 1;
      while (x + run < width && run < 255 && index(x + run, y) == value) ++run;
      data.push_back(static_cast<uint8_t>(run));
      data.push_back(value);
      x += run;
    }
    data.insert(data.end(), {0, 0});  // end of line
  }
  if (rle8) data.insert(data.end(), {0, 1});  // end of bitmap
  std::vector<uint8_t> out =
      detail::Headers(width, height, 8, rle8 ? 1 : 0, 0, static_cast<uint32_t>(palette.size()),
                      static_cast<uint32_t>(data.size()));
  for (const TRgb& c : palette) out.insert(out.end(), {c.Blue, c.Green, c.Red, 0});
  out.insert(out.end(), data.begin(), data.end());
  return out;
}

}  // namespace fixtures
