#pragma once
// JPEG test pictures encoded with libjpeg itself, so their content is known exactly.

#include <cstdio>

#include <jpeglib.h>

#include <cstdint>
#include <cstdlib>
#include <vector>

#include "platform/tests/PictureFixtures.h"

namespace fixtures {

enum class TJpegKind { Colour, Greyscale, Progressive, AdobeCmyk };

// Encodes at quality 100. Greyscale stores the red channel as the grey level; AdobeCmyk stores
// the inks inverted, as Adobe's tools write them, with the Adobe marker libjpeg adds for CMYK.
inline std::vector<uint8_t> EncodeJpeg(int width, int height, const TPixelFunction& pixel,
                                       TJpegKind kind) {
  jpeg_compress_struct info{};
  jpeg_error_mgr errors{};
  info.err = jpeg_std_error(&errors);
  jpeg_create_compress(&info);
  unsigned char* buffer = nullptr;
  unsigned long size = 0;
  jpeg_mem_dest(&info, &buffer, &size);
  info.image_width = static_cast<JDIMENSION>(width);
  info.image_height = static_cast<JDIMENSION>(height);
  int components = 3;
  switch (kind) {
    case TJpegKind::Greyscale:
      components = 1;
      info.in_color_space = JCS_GRAYSCALE;
      break;
    case TJpegKind::AdobeCmyk:
      components = 4;
      info.in_color_space = JCS_CMYK;
      break;
    default:
      info.in_color_space = JCS_RGB;
  }
  info.input_components = components;
  jpeg_set_defaults(&info);
  jpeg_set_quality(&info, 100, TRUE);
  // Full-resolution chroma, so flat colour blocks come back within a step or two.
  for (int c = 0; c < info.num_components; ++c) {
    info.comp_info[c].h_samp_factor = 1;
    info.comp_info[c].v_samp_factor = 1;
  }
  if (kind == TJpegKind::Progressive) jpeg_simple_progression(&info);
  jpeg_start_compress(&info, TRUE);
  std::vector<uint8_t> row(static_cast<std::size_t>(width * components));
  while (info.next_scanline < info.image_height) {
    const int y = static_cast<int>(info.next_scanline);
    for (int x = 0; x < width; ++x) {
      const TRgb c = pixel(x, y);
      uint8_t* out = row.data() + x * components;
      if (kind == TJpegKind::Greyscale) {
        out[0] = c.Red;
      } else if (kind == TJpegKind::AdobeCmyk) {
        // Full black generation: K takes the common part, the inks the rest; inverted.
        const int k = 255 - std::max({c.Red, c.Green, c.Blue});
        const auto ink = [k](int channel) {
          return k == 255 ? 0 : (255 - channel - k) * 255 / (255 - k);
        };
        out[0] = static_cast<uint8_t>(255 - ink(c.Red));
        out[1] = static_cast<uint8_t>(255 - ink(c.Green));
        out[2] = static_cast<uint8_t>(255 - ink(c.Blue));
        out[3] = static_cast<uint8_t>(255 - k);
      } else {
        out[0] = c.Red;
        out[1] = c.Green;
        out[2] = c.Blue;
      }
    }
    JSAMPROW rows[1] = {row.data()};
    jpeg_write_scanlines(&info, rows, 1);
  }
  jpeg_finish_compress(&info);
  std::vector<uint8_t> bytes(buffer, buffer + size);
  jpeg_destroy_compress(&info);
  std::free(buffer);
  return bytes;
}

// Rewrites the picture size in the frame header, as a damaged or hostile file would declare it.
inline void SetJpegDeclaredSize(std::vector<uint8_t>& bytes, uint16_t width, uint16_t height) {
  for (std::size_t i = 2; i + 8 < bytes.size(); ++i) {
    if (bytes[i] == 0xFF && (bytes[i + 1] == 0xC0 || bytes[i + 1] == 0xC2)) {
      bytes[i + 5] = static_cast<uint8_t>(height >> 8);
      bytes[i + 6] = static_cast<uint8_t>(height);
      bytes[i + 7] = static_cast<uint8_t>(width >> 8);
      bytes[i + 8] = static_cast<uint8_t>(width);
      return;
    }
  }
  throw std::runtime_error("no frame header");
}

}  // namespace fixtures
