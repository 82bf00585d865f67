#include "graphics/UnitBmp.h"

#include "platform/Errors.h"
#include "platform/Random.h"

TZelkBitmap* FrameBitmap = nullptr;
TZelkBitmap* SceneBitmap = nullptr;
TZelkBitmap* ImageBitmap = nullptr;
std::string CurrentText;
platform::TPaintBox* FramePaintBox = nullptr;

namespace {

constexpr int kFrameWidth = 320;
constexpr int kFrameHeight = 280;
constexpr int kTextX = 15;
constexpr int kTextY = 250;
constexpr int kTextHeight = 14;
constexpr int kShadeBottom = 240;  // the first row below the band; rows 240..279 are never shaded
constexpr int kMinDepth = 30;
constexpr int kMaxDepth = 40;

}  // namespace

void CreateBitmaps() {
  FrameBitmap = new TZelkBitmap;
  SceneBitmap = new TZelkBitmap;
  ImageBitmap = new TZelkBitmap;
  FrameBitmap->Resize(kFrameWidth, kFrameHeight);
  SceneBitmap->ResizeFill(kFrameWidth, kFrameHeight, PixelBlack);
  FrameBitmap->SetTextStyle(kTextHeight, platform::fsItalic, platform::clWhite);
}

void FreeBitmaps() {
  delete FrameBitmap;
  delete SceneBitmap;
  delete ImageBitmap;
}

void RenderFrame() {
  ImageBitmap->DrawTo(*SceneBitmap, 0, 0);
  ApplyShade();
  SceneBitmap->DrawTo(*FrameBitmap, 0, 0);
  FrameBitmap->DrawText(kTextX, kTextY, CurrentText);
  if (FramePaintBox != nullptr) FrameBitmap->PaintTo(*FramePaintBox);
}

void ApplyShade() {
  const TPixelTable& rows = SceneBitmap->Rows;
  int depth = kMinDepth + platform::Random(kMaxDepth - kMinDepth + 1);
  for (int x = 0; x < kFrameWidth; ++x) {
    depth += platform::Random(3) - 1;
    if (depth < kMinDepth) depth = kMinDepth;
    if (depth > kMaxDepth) depth = kMaxDepth;
    // The band's top row keeps its value (depth/depth); each row below loses another 1/depth.
    for (int y = kShadeBottom - depth; y < kShadeBottom; ++y) {
      TPixel& pixel = rows[y][x];
      ScaleChannel(pixel.Blue, kShadeBottom - y, depth);
      ScaleChannel(pixel.Green, kShadeBottom - y, depth);
      ScaleChannel(pixel.Red, kShadeBottom - y, depth);
    }
  }
}

void ScaleChannel(uint8_t& Channel, int Numerator, int Denominator) {
  // Numerator never exceeds Denominator here, so the result fits the byte it came from.
  Channel = static_cast<uint8_t>(Channel * Numerator / Denominator);
}

void OnTextPage(TStringDynArray Page) {
  // A click that was queued when the story ended steps the finished engine, which delivers an
  // empty page: the line on display simply stays.
  if (Page.empty()) return;
  CurrentText = Page[0];
}

void OnImageCommand(TStringDynArray Tokens) {
  if (Tokens.size() < 2) throw platform::ERangeError("#image needs a file name");
  ImageBitmap->LoadImage("dat\\" + Tokens[1]);
}
