#include "platform/JpegImage.h"

#include <cstdio>  // jpeglib.h needs FILE and size_t declared first

#include <jpeglib.h>

#include <jerror.h>  // the message codes, to tell one warning from the others

#include <memory>

#include "platform/Errors.h"
#include "platform/ShiftJis.h"

namespace platform {

namespace {

// libjpeg reports a fatal error by calling error_exit, which must not return. Throwing from it
// unwinds through libjpeg's frames (the library is built with unwind tables), and the guard
// below destroys the decompressor on the way out, so nothing leaks.
struct TJpegErrors {
  jpeg_error_mgr manager{};
  std::string fileName;
};

[[noreturn]] void Raise(j_common_ptr info) {
  char message[JMSG_LENGTH_MAX];
  info->err->format_message(info, message);
  const auto* errors = reinterpret_cast<const TJpegErrors*>(info->err);
  throw EGraphicError("\"" + errors->fileName + "\" is not a readable JPEG picture: " + message);
}

void ErrorExit(j_common_ptr info) {
  Raise(info);
}

// Warnings (level -1) are counted by libjpeg and otherwise ignored, since most describe damage
// a viewer shows anyway, except one: a file that ends early decodes with its missing part
// painted grey. That is a failed load shown as a picture, so it is raised as an error, and the
// bitmap keeps what it had.
void EmitMessage(j_common_ptr info, int level) {
  if (level < 0) {
    ++info->err->num_warnings;
    if (info->err->msg_code == JWRN_JPEG_EOF) Raise(info);
  }
}

// Nothing is ever printed by libjpeg itself.
void OutputMessage(j_common_ptr) {}

struct TDecompressor {
  jpeg_decompress_struct info{};
  TJpegErrors errors;

  explicit TDecompressor(const std::string& fileName) {
    info.err = jpeg_std_error(&errors.manager);
    errors.manager.error_exit = ErrorExit;
    errors.manager.emit_message = EmitMessage;
    errors.manager.output_message = OutputMessage;
    errors.fileName = fileName;
    jpeg_create_decompress(&info);
  }
  ~TDecompressor() { jpeg_destroy_decompress(&info); }
  TDecompressor(const TDecompressor&) = delete;
  TDecompressor& operator=(const TDecompressor&) = delete;
};

// CMYK to blue-green-red. Adobe's tools (and every file with an Adobe marker) store the inks
// inverted, 255 meaning none; files without the marker store them plainly.
void CmykRowToBgr(const uint8_t* cmyk, uint8_t* bgr, int width, bool inverted) {
  for (int x = 0; x < width; ++x, cmyk += 4, bgr += 3) {
    unsigned c = cmyk[0], m = cmyk[1], y = cmyk[2], k = cmyk[3];
    if (!inverted) {
      c = 255 - c;
      m = 255 - m;
      y = 255 - y;
      k = 255 - k;
    }
    // Now each value is the light that ink lets through, so the colour is its product with K.
    bgr[0] = static_cast<uint8_t>((y * k + 127) / 255);
    bgr[1] = static_cast<uint8_t>((m * k + 127) / 255);
    bgr[2] = static_cast<uint8_t>((c * k + 127) / 255);
  }
}

}  // namespace

void TJPEGImage::LoadFromFile(const std::string& fileName) {
  const std::vector<uint8_t> bytes = ReadPictureFile(fileName);
  LoadFromMemory(DisplayFileName(fileName), bytes);
}

void TJPEGImage::LoadFromMemory(const std::string& fileName, std::span<const uint8_t> data) {
  TDecompressor d(fileName);
  jpeg_decompress_struct& info = d.info;
  // libjpeg's source takes an unsigned long length and a non-const pointer it only reads.
  jpeg_mem_src(&info, const_cast<unsigned char*>(data.data()),
               static_cast<unsigned long>(data.size()));
  jpeg_read_header(&info, TRUE);
  CheckPictureSize(fileName, info.image_width, info.image_height);

  const bool cmyk = info.jpeg_color_space == JCS_CMYK || info.jpeg_color_space == JCS_YCCK;
  info.out_color_space = cmyk ? JCS_CMYK : JCS_EXT_BGR;
  info.scale_num = 1;
  info.scale_denom = 1;
  jpeg_start_decompress(&info);

  TBgrPicture picture;
  picture.Width = static_cast<int>(info.output_width);
  picture.Height = static_cast<int>(info.output_height);
  picture.Pitch = BgrRowPitch(picture.Width);
  picture.Pixels.resize(picture.Pitch * static_cast<std::size_t>(picture.Height));
  std::vector<uint8_t> cmykRow(cmyk ? static_cast<std::size_t>(picture.Width) * 4 : 0);
  while (info.output_scanline < info.output_height) {
    uint8_t* row = picture.Pixels.data() + picture.Pitch * info.output_scanline;
    JSAMPROW target = cmyk ? cmykRow.data() : row;
    // A memory source never suspends, so every call delivers its row.
    if (jpeg_read_scanlines(&info, &target, 1) != 1) {
      throw EGraphicError("\"" + fileName + "\": the JPEG decoder delivered no row");
    }
    if (cmyk) CmykRowToBgr(cmykRow.data(), row, picture.Width, info.saw_Adobe_marker != 0);
  }
  jpeg_finish_decompress(&info);
  picture_ = std::move(picture);
}

}  // namespace platform
