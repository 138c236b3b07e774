// JPEG through libjpeg-turbo, which converts to the engine's byte order while it decodes.
#include <csetjmp>
#include <cstdio>
#include <cstdlib>

// jpeglib.h needs FILE and size_t declared before it.
#include <jpeglib.h>
// jerror.h needs jpeglib.h before it.
#include <jerror.h>

#include "platform/picture_readers.h"

namespace asmpic::platform::detail {

namespace {

struct JpegErrors {
  jpeg_error_mgr manager;
  std::jmp_buf jump;
  char text[JMSG_LENGTH_MAX];
  bool cutShort;
  bool unsupported;
};

[[noreturn]] void Fail(j_common_ptr info) {
  auto* errors = reinterpret_cast<JpegErrors*>(info->err);
  (*info->err->format_message)(info, errors->text);
  const int code = info->err->msg_code;
  errors->cutShort = code == JWRN_JPEG_EOF;
  // Sound files of a kind the library was not built for: 12-bit samples, lossless or
  // hierarchical coding.
  errors->unsupported = code == JERR_BAD_PRECISION || code == JERR_SOF_UNSUPPORTED;
  std::longjmp(errors->jump, 1);
}

// Any warning means damaged data (an early end, bytes lost before a marker, a bad Huffman code):
// the decoder would fill the rest with grey, and we refuse the file instead. Trace messages
// (level > 0) are ignored.
void OnMessage(j_common_ptr info, int level) {
  if (level < 0) Fail(info);
}

// Grey from four inverted inks, as photo programs write CMYK: each colour is its ink's complement
// darkened by black.
void CmykRowToPixels(const JSAMPLE* inks, std::uint32_t* pixels, JDIMENSION columns) {
  for (JDIMENSION x = 0; x < columns; ++x, inks += 4) {
    const unsigned k = inks[3];
    const auto mix = [k](unsigned ink) { return (ink * k + 127) / 255; };
    pixels[x] = 0xFF000000u | (mix(inks[0]) << 16) | (mix(inks[1]) << 8) | mix(inks[2]);
  }
}

// Decodes into `out`; false with `errors` filled when the file is refused. `tooLarge` is set
// instead when the header describes a picture beyond the limit. Only plain data lives in this
// frame: a longjmp back to it skips no destructor.
bool Decode(const std::string_view bytes, Image& out, JpegErrors& errors, bool& tooLarge,
            unsigned long long& width, unsigned long long& height) {
  jpeg_decompress_struct info;
  info.err = jpeg_std_error(&errors.manager);
  errors.manager.error_exit = Fail;
  errors.manager.emit_message = OnMessage;
  errors.cutShort = false;
  errors.unsupported = false;
  errors.text[0] = '\0';
  JSAMPLE* inkRow = nullptr;
  if (setjmp(errors.jump) != 0) {
    std::free(inkRow);
    jpeg_destroy_decompress(&info);
    return false;
  }
  jpeg_create_decompress(&info);
  jpeg_mem_src(&info, reinterpret_cast<const unsigned char*>(bytes.data()),
               static_cast<unsigned long>(bytes.size()));
  jpeg_read_header(&info, TRUE);
  width = info.image_width;
  height = info.image_height;
  if (!WithinLimit(width, height)) {
    tooLarge = true;
    jpeg_destroy_decompress(&info);
    return false;
  }
  const bool inks = info.jpeg_color_space == JCS_CMYK || info.jpeg_color_space == JCS_YCCK;
  info.out_color_space = inks ? JCS_CMYK : JCS_EXT_BGRA;
  jpeg_start_decompress(&info);
  try {
    out = Image(static_cast<int>(info.output_width), static_cast<int>(info.output_height));
  } catch (...) {
    jpeg_destroy_decompress(&info);
    throw;
  }
  if (inks) {
    inkRow = static_cast<JSAMPLE*>(std::malloc(static_cast<std::size_t>(info.output_width) * 4));
    if (inkRow == nullptr) {
      jpeg_destroy_decompress(&info);
      throw std::bad_alloc();
    }
  }
  while (info.output_scanline < info.output_height) {
    std::uint32_t* pixels = &out.at(0, static_cast<int>(info.output_scanline));
    JSAMPROW row = inks ? inkRow : reinterpret_cast<JSAMPROW>(pixels);
    jpeg_read_scanlines(&info, &row, 1);
    if (inks) CmykRowToPixels(inkRow, pixels, info.output_width);
  }
  jpeg_finish_decompress(&info);
  std::free(inkRow);
  jpeg_destroy_decompress(&info);
  return true;
}

}  // namespace

Image ReadJpeg(std::string_view bytes) {
  Image image;
  JpegErrors errors;
  bool tooLarge = false;
  unsigned long long width = 0, height = 0;
  if (Decode(bytes, image, errors, tooLarge, width, height)) return image;
  if (tooLarge) throw PictureFault(TooLarge(width, height), {});
  throw PictureFault(errors.cutShort ? kCutShort : errors.unsupported ? kUnsupported : kDamaged, errors.text);
}

}  // namespace asmpic::platform::detail
