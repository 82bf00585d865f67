#include "app/AppIcon.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr int kSize = 32;

struct TRgb {
  double R, G, B;
};

TRgb Mix(TRgb a, TRgb b, double t) {
  t = std::clamp(t, 0.0, 1.0);
  return {a.R + (b.R - a.R) * t, a.G + (b.G - a.G) * t, a.B + (b.B - a.B) * t};
}

uint8_t Byte(double v) {
  return static_cast<uint8_t>(std::lround(std::clamp(v, 0.0, 255.0)));
}

TRgb IconPixel(int x, int y) {
  const double cx = x + 0.5, cy = y + 0.5;
  const int horizon = 21;
  TRgb colour;
  if (y < horizon) {
    colour = Mix({18, 24, 64}, {70, 60, 120}, cy / horizon);  // night sky, lighter near the sea
  } else {
    colour = Mix({20, 40, 90}, {8, 14, 40}, (cy - horizon) / (kSize - horizon));
    // The moon's path on the water: broken bright strokes under it.
    const double fromPath = std::abs(cx - 19.0);
    if (fromPath < 3.5 - (cy - horizon) * 0.15 && (y % 2 == 0)) {
      colour = Mix(colour, {250, 230, 160}, 0.8 - fromPath * 0.2);
    }
  }
  // The moon, anti-aliased at its rim.
  const double dist = std::hypot(cx - 19.0, cy - 11.0);
  const double cover = std::clamp(6.5 - dist, 0.0, 1.0);
  if (cover > 0) colour = Mix(colour, {252, 236, 170}, cover);
  // A soft halo.
  if (dist >= 6.5 && dist < 10.0) colour = Mix(colour, {150, 140, 170}, (10.0 - dist) / 10.0);
  return colour;
}

}  // namespace

std::unique_ptr<platform::TBitmap> MakeAppIcon() {
  auto icon = std::make_unique<platform::TBitmap>();
  icon->SetSize(kSize, kSize);
  for (int y = 0; y < kSize; ++y) {
    uint8_t* row = icon->ScanLine(y);
    for (int x = 0; x < kSize; ++x) {
      const TRgb c = IconPixel(x, y);
      row[3 * x] = Byte(c.B);
      row[3 * x + 1] = Byte(c.G);
      row[3 * x + 2] = Byte(c.R);
    }
  }
  return icon;
}
