#pragma once
// A device-independent bitmap with a canvas: the platform's picture surface.
//
// Pixels are always 3 bytes, blue, green, red, rows stored top-down, each row padded to a multiple
// of 4 bytes as in a Windows DIB. The pitch is explicit: never assume Width * 3.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace platform {

enum class TPixelFormat { pf24bit };

// Font style set, one bit each, as the original component library packs it.
using TFontStyles = uint8_t;
inline constexpr TFontStyles fsBold = 1;
inline constexpr TFontStyles fsItalic = 2;
inline constexpr TFontStyles fsUnderline = 4;
inline constexpr TFontStyles fsStrikeOut = 8;

// Red in the low byte, then green, then blue.
using TColor = uint32_t;
inline constexpr TColor clBlack = 0x000000;
inline constexpr TColor clWhite = 0xFFFFFF;

enum class TBrushStyle { bsSolid, bsClear };

struct TFont {
  int Height = 13;  // positive: the character cell in pixels
  TFontStyles Style = 0;
  TColor Color = clBlack;
};

struct TBrush {
  TBrushStyle Style = TBrushStyle::bsSolid;
  TColor Color = clWhite;
};

class TBitmap;
class TJPEGImage;
class TTextFont;

class TCanvas {
 public:
  explicit TCanvas(TBitmap& surface);
  ~TCanvas();
  TCanvas(const TCanvas&) = delete;
  TCanvas& operator=(const TCanvas&) = delete;

  TFont Font;
  TBrush Brush;

  // Draws a Shift-JIS byte string in Font with the top-left of its character cells at (X, Y);
  // one line, clipped to the surface. With a clear brush only the glyphs are drawn, blended
  // into what is there. Bytes that are not valid Shift-JIS show as a replacement mark. Never
  // raises for lack of fonts: without one, nothing is drawn (and stderr gets one warning).
  void TextOut(int x, int y, std::string_view text);

  // A block copy (BitBlt with SRCCOPY): Width x Height pixels from (SrcX, SrcY) of Source to
  // (X, Y) of this canvas, unchanged, clipped to both surfaces.
  void CopyFrom(int x, int y, int width, int height, const TCanvas& source, int srcX, int srcY);

  TBitmap& Surface() { return surface_; }
  const TBitmap& Surface() const { return surface_; }

  // Called after a drawing operation with the part of the surface it changed, already clipped.
  // A paint box sets it so that what is drawn on it reaches the screen; bitmaps leave it unset.
  std::function<void(int x, int y, int width, int height)> OnChange;

 private:
  TBitmap& surface_;
  // The font last drawn with, kept open until Font asks for another size or style.
  std::unique_ptr<TTextFont> font_;
};

class TBitmap {
 public:
  TBitmap();
  virtual ~TBitmap();
  TBitmap(const TBitmap&) = delete;
  TBitmap& operator=(const TBitmap&) = delete;

  int Width() const { return width_; }
  int Height() const { return height_; }
  // Resizing keeps the pixels the old and new sizes share; new pixels are black.
  // A no-op when the value is unchanged.
  void SetWidth(int width);
  void SetHeight(int height);
  void SetSize(int width, int height);

  TPixelFormat PixelFormat() const { return TPixelFormat::pf24bit; }
  // The storage is always 24-bit, so this keeps the picture as it is.
  void SetPixelFormat(TPixelFormat) {}

  // Bytes from the start of one row to the start of the next.
  std::ptrdiff_t Pitch() const { return static_cast<std::ptrdiff_t>(pitch_); }
  // The leftmost pixel of row Y, counted from the top. Raises ERangeError outside 0..Height-1.
  uint8_t* ScanLine(int y);
  const uint8_t* ScanLine(int y) const;

  // Reads a Windows bitmap file, any variant, into 24 bits; on failure raises EGraphicError (or
  // EInOutError when it cannot be read) naming the file, and keeps the previous picture. Pictures
  // wider or taller than MaxPictureSide (PictureFile.h) are refused before pixels are read.
  void LoadFromFile(const std::string& fileName);
  // Takes the size and pixels of a decoded JPEG picture.
  void Assign(const TJPEGImage& image);

  TCanvas& Canvas() { return canvas_; }
  const TCanvas& Canvas() const { return canvas_; }

  // Replaces size and pixels at once with tightly described BGR rows (used by the loaders).
  void TakePixels(int width, int height, std::size_t pitch, std::vector<uint8_t> pixels);

 private:
  void Reallocate(int width, int height);

  int width_ = 0;
  int height_ = 0;
  std::size_t pitch_ = 0;
  std::vector<uint8_t> pixels_;
  TCanvas canvas_;
};

}  // namespace platform
