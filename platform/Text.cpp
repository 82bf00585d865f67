#include "platform/Text.h"

#include <SDL_ttf.h>
#include <fontconfig/fontconfig.h>

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "platform/Cp932.h"

namespace platform {

namespace {

// The cell a zero height stands for, and the largest cell drawn: a larger one would only take
// memory for glyphs far bigger than any surface of this program.
constexpr int kDefaultCell = 13;
constexpr int kLargestCell = 1024;

// U+3013 GETA MARK, the mark Japanese typesetting uses for a character that cannot be shown;
// drawn in place of U+FFFD when the face has no glyph for that.
constexpr std::string_view kGetaMark = "\xE3\x80\x93";

TTF_Font* Font(void* font) {
  return static_cast<TTF_Font*>(font);
}

void Warn(const std::string& message) {
  std::fprintf(stderr, "morvi: warning: %s\n", message.c_str());
}

TFontFace LookUpTextFace() {
  TFontFace face;
  FcConfig* config = FcInitLoadConfigAndFonts();
  FcPattern* pattern = FcNameParse(reinterpret_cast<const FcChar8*>("sans-serif:lang=ja"));
  FcPattern* match = nullptr;
  if (config != nullptr && pattern != nullptr) {
    FcConfigSubstitute(config, pattern, FcMatchPattern);
    FcDefaultSubstitute(pattern);
    FcResult result = FcResultNoMatch;
    match = FcFontMatch(config, pattern, &result);
  }
  FcChar8* file = nullptr;
  if (match != nullptr && FcPatternGetString(match, FC_FILE, 0, &file) == FcResultMatch) {
    face.File = reinterpret_cast<const char*>(file);
    int index = 0;
    if (FcPatternGetInteger(match, FC_INDEX, 0, &index) == FcResultMatch) face.Index = index;
    FcLangSet* langs = nullptr;
    face.Japanese =
        FcPatternGetLangSet(match, FC_LANG, 0, &langs) == FcResultMatch &&
        FcLangSetHasLang(langs, reinterpret_cast<const FcChar8*>("ja")) != FcLangDifferentLang;
  }
  if (match != nullptr) FcPatternDestroy(match);
  if (pattern != nullptr) FcPatternDestroy(pattern);
  if (config != nullptr) FcConfigDestroy(config);

  if (face.File.empty()) {
    Warn("no font found; text is not drawn");
  } else if (!face.Japanese) {
    Warn("no Japanese font found (install fonts-ipafont-gothic); text is drawn with " + face.File);
  }
  return face;
}

// Keeps SDL_ttf initialised while a font is open. SDL_ttf counts its initialisations, so every
// font holds one of its own and the library goes down with the last font.
bool AcquireTtf() {
  return TTF_Init() == 0;
}

// Renders as much of UTF-8 text as can show in Room pixels, blended in Color; null on failure.
// Without a glyph of its own for U+FFFD the face shows the geta mark in its place.
SDL_Surface* Render(TTF_Font* font, std::string utf8, int64_t room, TColor color,
                    bool hasReplacementGlyph) {
  if (!hasReplacementGlyph) {
    for (std::size_t at = utf8.find(kUtf8Replacement); at != std::string::npos;
         at = utf8.find(kUtf8Replacement, at + kGetaMark.size())) {
      utf8.replace(at, kUtf8Replacement.size(), kGetaMark);
    }
  }

  // Only what can show is rendered, so a line of any length costs no more than one as wide as
  // the surface. Every character advances the pen by at least a pixel, so no more than Room
  // characters (and one cut at the edge) can show; SDL_ttf then finds the exact count.
  const auto cutAfter = [&utf8](int64_t characters) {
    std::size_t at = 0;
    for (int64_t n = 0; at < utf8.size(); ++at) {
      if ((static_cast<unsigned char>(utf8[at]) & 0xC0) != 0x80 && n++ == characters) break;
    }
    utf8.resize(at);
  };
  cutAfter(room + 1);
  int extent = 0;
  int count = 0;
  const int measureWidth = static_cast<int>(std::min<int64_t>(room, INT32_MAX));
  if (TTF_MeasureUTF8(font, utf8.c_str(), measureWidth, &extent, &count) == 0) {
    cutAfter(int64_t{count} + 2);
  }

  const SDL_Color fore{static_cast<Uint8>(color & 0xFF), static_cast<Uint8>(color >> 8 & 0xFF),
                       static_cast<Uint8>(color >> 16 & 0xFF), 255};
  return TTF_RenderUTF8_Blended(font, utf8.c_str(), fore);
}

}  // namespace

const TFontFace& DefaultTextFace() {
  static const TFontFace face = LookUpTextFace();
  return face;
}

TTextFont::TTextFont(int height, TFontStyles style) : height_(height), style_(style) {
  const TFontFace& face = DefaultTextFace();
  if (face.File.empty() || !AcquireTtf()) return;

  // A positive height is the character cell; a negative one, as on the original platform, the
  // character height without internal leading, which is what a point size at 72 dpi gives.
  const bool cell = height >= 0;
  const int wanted = std::clamp(height == 0  ? kDefaultCell
                                : height < 0 ? -height
                                             : height,
                                1, kLargestCell);
  TTF_Font* font = TTF_OpenFontIndex(face.File.c_str(), wanted, face.Index);
  if (font == nullptr) {
    static bool warned = false;
    if (!warned) Warn("cannot open the font " + face.File + ": " + TTF_GetError());
    warned = true;
    TTF_Quit();
    return;
  }
  if (cell) {
    // Find the largest point size whose cell is not taller than the one asked for. Faces put
    // their cell near the point size, so a first proportional guess and a few steps suffice.
    int size = wanted;
    int measured = TTF_FontHeight(font);
    if (measured != wanted && measured > 0) {
      size = std::max(1, static_cast<int>(static_cast<long>(size) * wanted / measured));
      TTF_SetFontSize(font, size);
    }
    for (int step = 0; step < 8 && size > 1 && TTF_FontHeight(font) > wanted; ++step) {
      TTF_SetFontSize(font, --size);
    }
    for (int step = 0; step < 8; ++step) {
      TTF_SetFontSize(font, size + 1);
      if (TTF_FontHeight(font) > wanted) break;
      ++size;
    }
    TTF_SetFontSize(font, size);
  }
  int ttfStyle = TTF_STYLE_NORMAL;
  if (style & fsBold) ttfStyle |= TTF_STYLE_BOLD;
  if (style & fsItalic) ttfStyle |= TTF_STYLE_ITALIC;
  if (style & fsUnderline) ttfStyle |= TTF_STYLE_UNDERLINE;
  if (style & fsStrikeOut) ttfStyle |= TTF_STYLE_STRIKETHROUGH;
  TTF_SetFontStyle(font, ttfStyle);
  hasReplacementGlyph_ = TTF_GlyphIsProvided32(font, 0xFFFD) != 0;
  font_ = font;
}

struct TTextFont::TRendered {
  std::string Text;  // as given to Draw
  int64_t Room = 0;  // the pixels from the pen to the surface's right edge
  TColor Color = 0;
  std::unique_ptr<SDL_Surface, decltype(&SDL_FreeSurface)> Surface{nullptr, &SDL_FreeSurface};
};

TTextFont::~TTextFont() {
  if (font_ == nullptr) return;
  TTF_CloseFont(Font(font_));
  TTF_Quit();
}

int TTextFont::CellHeight() const {
  return font_ == nullptr ? 0 : TTF_FontHeight(Font(font_));
}

int TTextFont::TextWidth(const std::string& utf8) const {
  int width = 0;
  int height = 0;
  if (font_ == nullptr || utf8.empty() ||
      TTF_SizeUTF8(Font(font_), utf8.c_str(), &width, &height) != 0) {
    return 0;
  }
  return width;
}

bool TTextFont::HasGlyph(char32_t character) const {
  return font_ != nullptr && TTF_GlyphIsProvided32(Font(font_), character) != 0;
}

TTextFont::TArea TTextFont::Draw(TBitmap& surface, int x, int y, std::string utf8, TColor color,
                                 const TBrush& brush) const {
  if (font_ == nullptr || utf8.empty()) return {};
  TTF_Font* font = Font(font_);
  const int64_t room = int64_t{surface.Width()} - x;
  if (room <= 0 || y >= surface.Height()) return {};

  if (!last_ || last_->Room != room || last_->Color != color || last_->Text != utf8) {
    auto fresh = std::make_unique<TRendered>();
    fresh->Text = utf8;
    fresh->Room = room;
    fresh->Color = color;
    fresh->Surface.reset(Render(font, std::move(utf8), room, color, hasReplacementGlyph_));
    last_ = std::move(fresh);
  }
  const SDL_Surface* rendered = last_->Surface.get();
  if (rendered == nullptr) return {};

  // Clip the rendered block to the surface.
  const int64_t left = std::max<int64_t>(0, -int64_t{x});
  const int64_t top = std::max<int64_t>(0, -int64_t{y});
  const int64_t right = std::min<int64_t>(rendered->w, int64_t{surface.Width()} - x);
  const int64_t bottom = std::min<int64_t>(rendered->h, int64_t{surface.Height()} - y);
  if (left >= right || top >= bottom) return {};

  if (brush.Style == TBrushStyle::bsSolid) {
    const uint8_t back[3] = {static_cast<uint8_t>(brush.Color >> 16 & 0xFF),
                             static_cast<uint8_t>(brush.Color >> 8 & 0xFF),
                             static_cast<uint8_t>(brush.Color & 0xFF)};
    for (int64_t row = top; row < bottom; ++row) {
      uint8_t* target = surface.ScanLine(static_cast<int>(y + row));
      for (int64_t col = left; col < right; ++col) {
        std::memcpy(target + (x + col) * 3, back, 3);
      }
    }
  }

  const TArea changed{static_cast<int>(x + left), static_cast<int>(y + top),
                      static_cast<int>(right - left), static_cast<int>(bottom - top)};

  // Blended output is ARGB8888: every pixel holds the text colour, its alpha the coverage.
  const auto* pixels = static_cast<const uint8_t*>(rendered->pixels);
  for (int64_t row = top; row < bottom; ++row) {
    const auto* source = reinterpret_cast<const Uint32*>(pixels + row * rendered->pitch);
    uint8_t* target = surface.ScanLine(static_cast<int>(y + row));
    for (int64_t col = left; col < right; ++col) {
      const Uint32 argb = source[col];
      const unsigned alpha = argb >> 24;
      if (alpha == 0) continue;
      uint8_t* pixel = target + (x + col) * 3;
      const unsigned channel[3] = {argb & 0xFF, argb >> 8 & 0xFF, argb >> 16 & 0xFF};
      for (int c = 0; c < 3; ++c) {
        pixel[c] =
            static_cast<uint8_t>((channel[c] * alpha + pixel[c] * (255 - alpha) + 127) / 255);
      }
    }
  }
  return changed;
}

void TCanvas::TextOut(int x, int y, std::string_view text) {
  if (text.empty()) return;
  if (!font_ || !font_->Matches(Font.Height, Font.Style)) {
    font_.reset();  // close the old font before opening the new one
    font_ = std::make_unique<TTextFont>(Font.Height, Font.Style);
  }
  // A character takes at most two bytes and advances at least a pixel, so bytes beyond twice
  // the room to the right edge can never show; they are not even converted.
  const int64_t room = int64_t{surface_.Width()} - x;
  if (room <= 0) return;
  const auto keep = static_cast<std::size_t>(std::min<int64_t>(2 * (room + 2), INT32_MAX));
  const TTextFont::TArea changed =
      font_->Draw(surface_, x, y, Cp932ToUtf8(text.substr(0, keep)), Font.Color, Brush);
  if (OnChange && changed.Width > 0) OnChange(changed.X, changed.Y, changed.Width, changed.Height);
}

}  // namespace platform
