#pragma once
// TZelkBitmap: a 24-bit bitmap with a table of row addresses, so that per-pixel work reads and
// writes pixel memory directly, plus the few whole-bitmap operations the scene needs.

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/Bitmap.h"

namespace platform {
class TPaintBox;
}

// One pixel as a 24-bit bitmap row stores it.
struct TPixel {
  uint8_t Blue;
  uint8_t Green;
  uint8_t Red;

  friend bool operator==(const TPixel&, const TPixel&) = default;
};
static_assert(sizeof(TPixel) == 3, "a pixel is exactly three bytes, as in a 24-bit row");

inline constexpr TPixel PixelBlack{0, 0, 0};
inline constexpr TPixel PixelWhite{255, 255, 255};

// One row of pixels, addressed from its leftmost pixel. The column is checked against the row
// type's fixed range, 0 to 40,000,000, not against the bitmap's width: the check keeps a wild
// index from reaching far outside the pixel memory, while a row is free to be wider than the
// bitmap it came from.
class TPixelRow {
 public:
  static constexpr int64_t MaxColumn = 40'000'000;

  explicit TPixelRow(uint8_t* leftmost) : leftmost_(leftmost) {}

  // Raises platform::ERangeError for a column outside 0..MaxColumn.
  TPixel& operator[](int64_t x) const;

 private:
  uint8_t* leftmost_;
};

// Row addresses, entry y for row y counted from the top. Rows need not be adjacent or in order
// in memory, so pixel work always goes through the table.
class TPixelTable {
 public:
  // Raises platform::ERangeError for a row outside 0..Length()-1.
  TPixelRow operator[](int64_t y) const;
  int64_t Length() const { return static_cast<int64_t>(rows_.size()); }
  bool Empty() const { return rows_.empty(); }

 private:
  friend class TZelkBitmap;
  std::vector<uint8_t*> rows_;
};

class TZelkBitmap : public platform::TBitmap {
 public:
  // An empty 0 x 0 bitmap with an empty table, and the text style height 20, bold, black.
  TZelkBitmap();
  ~TZelkBitmap() override;

  // One entry per row of the bitmap as it was when the table was last built. Changing the size
  // or picture through TBitmap directly leaves it stale until BuildPixelTable runs; every
  // operation of this class that replaces the storage rebuilds it.
  TPixelTable Rows;
  // An optional mask, owned. Nothing assigns one, so DrawTo always makes a plain copy.
  std::unique_ptr<platform::TBitmap> Mask;

  // ResizeFill with PixelWhite.
  void Resize(int width, int height);
  // Sets the width, then the height, rebuilds the table and fills every pixel with Pixel.
  void ResizeFill(int width, int height, TPixel pixel);
  // Writes Pixel to every pixel through Rows.
  void Fill(TPixel pixel);
  // Font height, style and colour, in that order, then a clear brush.
  void SetTextStyle(int height, platform::TFontStyles style, platform::TColor color);
  // Loads a picture and rebuilds the table. Names ending in ".jpg" or ".jpeg", exactly in lower
  // case, are JPEG; every other name is read as a Windows bitmap. On failure the error reaches
  // the caller and the bitmap keeps its picture, size and table.
  void LoadImage(const std::string& fileName);
  // The JPEG branch of LoadImage; leaves the table to the caller.
  void LoadJpeg(const std::string& fileName);
  // Forces 24 bits per pixel and rebuilds Rows from the current storage.
  void BuildPixelTable();
  // One block copy of the whole bitmap onto Dest with its top-left at (X, Y), clipped to Dest.
  void DrawTo(TZelkBitmap& dest, int x, int y) const;
  // Writes a Shift-JIS line with the top-left of its cells at (X, Y) in the current text style.
  void DrawText(int x, int y, std::string_view text);
  // One block copy of the whole bitmap onto the paint box's canvas at (0, 0); the box's size is
  // not consulted, the copy is clipped to it.
  void PaintTo(platform::TPaintBox& box) const;
};
