// Picture bytes -> LoadImage, once under a JPEG name and once under a bitmap name.
//
// A picture that cannot be read raises an error, which is expected; a finding is a crash, a
// hang, a leak, an allocation beyond the memory limit, an error of a kind nobody should throw,
// or a bitmap left inconsistent: after a load the row table has one entry per row, each the
// row's own address, and after a failed load the bitmap still holds its earlier picture.

#include <cstddef>
#include <cstdint>
#include <string>

#include "fuzz/FuzzCommon.h"
#include "graphics/ZelkBmp.h"
#include "platform/Errors.h"

namespace {

void CheckTable(TZelkBitmap& bitmap) {
  FUZZ_CHECK(bitmap.Width() >= 0 && bitmap.Height() >= 0);
  FUZZ_CHECK(bitmap.Rows.Length() == bitmap.Height());
  for (int y = 0; y < bitmap.Height(); ++y) {
    FUZZ_CHECK(&bitmap.Rows[y][0].Blue == bitmap.ScanLine(y));
  }
}

void Load(const std::string& path) {
  // A picture of its own size, so that a failed load can be seen to have kept it.
  constexpr int kWidth = 3;
  constexpr int kHeight = 2;
  TZelkBitmap bitmap;
  bitmap.ResizeFill(kWidth, kHeight, TPixel{1, 2, 3});
  try {
    bitmap.LoadImage(path);
  } catch (const platform::EGraphicError&) {
    FUZZ_CHECK(bitmap.Width() == kWidth && bitmap.Height() == kHeight);
    FUZZ_CHECK(bitmap.Rows[kHeight - 1][kWidth - 1] == (TPixel{1, 2, 3}));
  } catch (const platform::EInOutError&) {
    FUZZ_CHECK(bitmap.Width() == kWidth && bitmap.Height() == kHeight);
  }
  CheckTable(bitmap);
  // Every pixel of the table can be read and written.
  if (bitmap.Height() > 0 && bitmap.Width() > 0) {
    TPixel& corner = bitmap.Rows[bitmap.Height() - 1][bitmap.Width() - 1];
    corner = TPixel{corner.Red, corner.Green, corner.Blue};
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  Load(fuzz::TScratchFolder::Write("x.jpg", data, size));
  Load(fuzz::TScratchFolder::Write("x.bmp", data, size));
  return 0;
}
