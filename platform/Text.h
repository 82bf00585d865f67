#pragma once
// Text drawing for the canvas: the system's Japanese gothic face, found through fontconfig, and
// opened with SDL_ttf at the point size that gives the requested character cell.

#include <memory>
#include <string>

#include "platform/Bitmap.h"

namespace platform {

// Where the text face lives. File is empty when the system offers no font at all.
struct TFontFace {
  std::string File;
  int Index = 0;          // the face within a collection (.ttc)
  bool Japanese = false;  // whether fontconfig says the face covers Japanese
};

// Asks fontconfig for "sans-serif:lang=ja". Looked up once per process; the first lookup that
// finds no Japanese face, or no face at all, writes one warning line to stderr.
const TFontFace& DefaultTextFace();

// One opened font: a face at the size and style a canvas font asks for. Never raises for lack
// of fonts; without one, Valid() is false and nothing is drawn.
class TTextFont {
 public:
  TTextFont(int height, TFontStyles style);
  ~TTextFont();
  TTextFont(const TTextFont&) = delete;
  TTextFont& operator=(const TTextFont&) = delete;

  bool Valid() const { return font_ != nullptr; }
  bool Matches(int height, TFontStyles style) const { return height == height_ && style == style_; }
  // The character cell (ascent + descent) in pixels, as SDL_ttf measures it.
  int CellHeight() const;

  // The width in pixels that UTF-8 text takes when drawn in this font; 0 without a font.
  int TextWidth(const std::string& utf8) const;
  // Whether the face has a glyph of its own for Character (without one a box or nothing shows).
  bool HasGlyph(char32_t character) const;

  struct TArea {
    int X = 0, Y = 0, Width = 0, Height = 0;
  };

  // Draws UTF-8 text with the top-left of its cells at (X, Y), blended onto Surface and clipped
  // to it; with Brush solid its cells are filled first. Returns the part of Surface it changed
  // (empty when nothing was drawn).
  TArea Draw(TBitmap& surface, int x, int y, std::string utf8, TColor color,
             const TBrush& brush) const;

 private:
  struct TRendered;  // the last text rendered, with what it was rendered from

  int height_;
  TFontStyles style_;
  void* font_ = nullptr;  // TTF_Font, kept opaque so that no caller sees SDL_ttf
  bool hasReplacementGlyph_ = false;
  // A story line is drawn twenty times a second and changes once a click: shaping and
  // rasterising it again each time would be most of the cost of a frame.
  mutable std::unique_ptr<TRendered> last_;
};

}  // namespace platform
