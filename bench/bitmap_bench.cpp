// The pixel bitmap's costs: loading pictures, filling, block copies and a line of text.
// The block copy of a full frame is measured beside a plain memcpy of the same bytes, so the
// two can be compared within one run (goal: DrawTo at most twice the memcpy).

#include <benchmark/benchmark.h>

#include <cstring>
#include <string>
#include <vector>

#include "graphics/ZelkBmp.h"
#include "platform/tests/PictureFixtures.h"

namespace {

fixtures::TRgb Gradient(int x, int y) {
  return {static_cast<uint8_t>(x), static_cast<uint8_t>(y), static_cast<uint8_t>(x ^ y)};
}

void LoadImageBmp(benchmark::State& state) {
  fixtures::TScratchFolder folder;
  const std::string file = folder.File("picture.bmp");
  fixtures::WriteFile(file, fixtures::TrueColourBmp(640, 480, Gradient));
  TZelkBitmap bitmap;
  for (auto _ : state) bitmap.LoadImage(file);
}
BENCHMARK(LoadImageBmp)->Unit(benchmark::kMillisecond);

void LoadImageJpeg(benchmark::State& state) {
  fixtures::TScratchFolder folder;
  const std::string source = folder.File("picture.bmp");
  const std::string file = folder.File("picture.jpg");
  fixtures::WriteFile(source, fixtures::TrueColourBmp(640, 480, Gradient));
  if (!fixtures::RunConvert("'" + source + "' -quality 90 '" + file + "'")) {
    state.SkipWithError("ImageMagick's convert is not available");
    return;
  }
  TZelkBitmap bitmap;
  for (auto _ : state) bitmap.LoadImage(file);
}
BENCHMARK(LoadImageJpeg)->Unit(benchmark::kMillisecond);

void Fill320x280(benchmark::State& state) {
  TZelkBitmap bitmap;
  bitmap.ResizeFill(320, 280, PixelBlack);
  uint8_t level = 0;
  for (auto _ : state) {
    bitmap.Fill({level, level, level});
    ++level;
    benchmark::DoNotOptimize(bitmap.Rows[0][0]);
  }
}
BENCHMARK(Fill320x280)->Unit(benchmark::kMicrosecond);

void DrawTo320x280(benchmark::State& state) {
  TZelkBitmap source, dest;
  source.ResizeFill(320, 280, PixelWhite);
  dest.ResizeFill(320, 280, PixelBlack);
  for (auto _ : state) {
    source.DrawTo(dest, 0, 0);
    benchmark::ClobberMemory();
  }
}
BENCHMARK(DrawTo320x280)->Unit(benchmark::kMicrosecond);

// The yardstick: the same 320 x 280 x 3 bytes in one memcpy.
void Memcpy320x280(benchmark::State& state) {
  std::vector<uint8_t> from(320 * 280 * 3, 255), to(320 * 280 * 3, 0);
  for (auto _ : state) {
    std::memcpy(to.data(), from.data(), to.size());
    benchmark::ClobberMemory();
  }
}
BENCHMARK(Memcpy320x280)->Unit(benchmark::kMicrosecond);

void DrawTextJapanese40(benchmark::State& state) {
  TZelkBitmap frame;
  frame.ResizeFill(320, 280, PixelBlack);
  frame.SetTextStyle(14, platform::fsItalic, platform::clWhite);
  // 40 characters of Shift-JIS: "日本語のテキスト" five times.
  std::string line;
  for (int i = 0; i < 5; ++i) {
    line += "\x93\xfa\x96\x7b\x8c\xea\x82\xcc\x83\x65\x83\x4c\x83\x58\x83\x67";
  }
  for (auto _ : state) frame.DrawText(15, 250, line);
}
BENCHMARK(DrawTextJapanese40)->Unit(benchmark::kMicrosecond);

}  // namespace
