#include "platform/PictureFile.h"

#include <sys/stat.h>

#include <SDL.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <memory>

#include "platform/Errors.h"
#include "platform/ShiftJis.h"

namespace platform {

namespace {

struct TSurfaceDeleter {
  void operator()(SDL_Surface* surface) const { SDL_FreeSurface(surface); }
};
using TSurface = std::unique_ptr<SDL_Surface, TSurfaceDeleter>;

int32_t ReadLe32(std::span<const uint8_t> data, std::size_t at) {
  return static_cast<int32_t>(
      static_cast<uint32_t>(data[at]) | static_cast<uint32_t>(data[at + 1]) << 8 |
      static_cast<uint32_t>(data[at + 2]) << 16 | static_cast<uint32_t>(data[at + 3]) << 24);
}

int ReadLe16(std::span<const uint8_t> data, std::size_t at) {
  return data[at] | data[at + 1] << 8;
}

// The size a bitmap file's header declares, when the header is there to read; SDL's reader
// reports anything malformed in its own words.
void CheckBmpHeaderSize(const std::string& fileName, std::span<const uint8_t> data) {
  // File header (14 bytes), then the info header, which starts with its own size.
  if (data.size() < 26 || data[0] != 'B' || data[1] != 'M') return;
  const int32_t infoSize = ReadLe32(data, 14);
  if (infoSize == 12) {
    // The old OS/2 core header keeps 16-bit sizes.
    CheckPictureSize(fileName, ReadLe16(data, 18), ReadLe16(data, 20));
  } else {
    // SDL's reader takes every other header size, however odd, as a Windows info header with
    // the sizes at these places, so they are checked whatever the header claims to be. A
    // negative height marks a top-down file.
    const int64_t width = ReadLe32(data, 18);
    const int64_t height = ReadLe32(data, 22);
    CheckPictureSize(fileName, width < 0 ? -width : width, height < 0 ? -height : height);
    // A file of rows as they are must hold all its rows. Checked here because the reader
    // allocates the whole picture before it reads a row: a hostile file of a few bytes
    // declaring 4096 x 4096 would otherwise take hundreds of megabytes first and only then
    // fail. The reader takes every compression but the two run-length ones as plain rows.
    if (infoSize >= 40 && data.size() >= 34) {
      const int bits = ReadLe16(data, 28);
      const int32_t compression = ReadLe32(data, 30);
      const int64_t offset = ReadLe32(data, 10);
      constexpr int32_t kRle8 = 1, kRle4 = 2;
      if (compression != kRle8 && compression != kRle4 &&
          (bits == 1 || bits == 4 || bits == 8 || bits == 16 || bits == 24 || bits == 32)) {
        const int64_t rowBytes = ((std::abs(width) * bits + 31) / 32) * 4;
        const int64_t need = rowBytes * std::abs(height);
        const int64_t have = static_cast<int64_t>(data.size()) - offset;
        if (offset < 0 || have < need) {
          throw EGraphicError("\"" + fileName +
                              "\" is not a readable bitmap: Error reading its pixels: the file "
                              "is cut short (" +
                              std::to_string(std::max<int64_t>(have, 0)) + " of " +
                              std::to_string(need) + " bytes)");
        }
      }
    }
  }
}

}  // namespace

std::size_t BgrRowPitch(int width) {
  return (static_cast<std::size_t>(width) * 3 + 3) & ~static_cast<std::size_t>(3);
}

std::vector<uint8_t> ReadPictureFile(const std::string& fileName) {
  const std::string shown = DisplayFileName(fileName);
  const std::string path = NativeFileName(fileName);
  // Only regular files: opening a pipe would block the window's thread for good, and a folder
  // reads as nonsense.
  struct stat info {};
  if (::stat(path.c_str(), &info) != 0) {
    throw EInOutError("cannot open \"" + shown + "\": " + std::strerror(errno));
  }
  if (!S_ISREG(info.st_mode)) throw EInOutError("cannot open \"" + shown + "\": not a file");
  std::ifstream file(path, std::ios::binary);
  if (!file) {
    throw EInOutError("cannot open \"" + shown + "\": " + std::strerror(errno));
  }
  std::vector<uint8_t> bytes;
  char buffer[65536];
  while (file.read(buffer, sizeof buffer) || file.gcount() > 0) {
    bytes.insert(bytes.end(), buffer, buffer + file.gcount());
  }
  if (file.bad()) {
    throw EInOutError("cannot read \"" + shown + "\": " + std::strerror(errno));
  }
  return bytes;
}

void CheckPictureSize(const std::string& fileName, int64_t width, int64_t height) {
  if (width > MaxPictureSide || height > MaxPictureSide) {
    throw EGraphicError("\"" + fileName + "\": the picture is " + std::to_string(width) + " x " +
                        std::to_string(height) + " pixels; at most " +
                        std::to_string(MaxPictureSide) + " x " + std::to_string(MaxPictureSide) +
                        " can be shown");
  }
  if (width * height > MaxPicturePixels) {
    throw EGraphicError("\"" + fileName + "\": the picture is " + std::to_string(width) + " x " +
                        std::to_string(height) + " pixels; at most " +
                        std::to_string(MaxPicturePixels) + " pixels in all can be shown");
  }
}

TBgrPicture DecodeBmp(const std::string& fileName, std::span<const uint8_t> data) {
  if (data.empty()) {
    throw EGraphicError("\"" + fileName + "\" is not a readable bitmap: the file is empty");
  }
  CheckBmpHeaderSize(fileName, data);
  const auto fail = [&fileName]() {
    return EGraphicError("\"" + fileName + "\" is not a readable bitmap: " + SDL_GetError());
  };
  if (data.size() > static_cast<std::size_t>(INT_MAX)) {
    throw EGraphicError("\"" + fileName + "\" is too large to be a bitmap");
  }
  SDL_RWops* stream = SDL_RWFromConstMem(data.data(), static_cast<int>(data.size()));
  if (stream == nullptr) throw fail();
  // The reader closes the stream itself (freesrc = 1), on failure as well.
  TSurface loaded(SDL_LoadBMP_RW(stream, 1));
  if (!loaded) throw fail();
  TSurface bgr(SDL_ConvertSurfaceFormat(loaded.get(), SDL_PIXELFORMAT_BGR24, 0));
  if (!bgr) throw fail();

  TBgrPicture picture;
  picture.Width = bgr->w;
  picture.Height = bgr->h;
  picture.Pitch = BgrRowPitch(bgr->w);
  picture.Pixels.resize(picture.Pitch * static_cast<std::size_t>(bgr->h));
  const std::size_t rowBytes = static_cast<std::size_t>(bgr->w) * 3;
  const auto* source = static_cast<const uint8_t*>(bgr->pixels);
  for (int y = 0; y < bgr->h; ++y) {
    std::memcpy(picture.Pixels.data() + picture.Pitch * static_cast<std::size_t>(y),
                source + static_cast<std::ptrdiff_t>(bgr->pitch) * y, rowBytes);
  }
  return picture;
}

}  // namespace platform
