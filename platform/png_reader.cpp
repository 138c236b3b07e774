// PNG through libpng, expanded while it decodes to 8-bit blue, green, red, alpha.
#include <png.h>

#include <cstring>
#include <vector>

#include "platform/picture_readers.h"

namespace asmpic::platform::detail {

namespace {

struct PngSource {
  std::string_view bytes;
  std::size_t position = 0;
  bool cutShort = false;
  char text[256] = {};
};

void ReadFromMemory(png_structp png, png_bytep to, png_size_t count) {
  auto* source = static_cast<PngSource*>(png_get_io_ptr(png));
  if (source->bytes.size() - source->position < count) {
    source->cutShort = true;
    png_error(png, "the data ends before the IEND chunk");
  }
  std::memcpy(to, source->bytes.data() + source->position, count);
  source->position += count;
}

void OnError(png_structp png, png_const_charp message) {
  auto* source = static_cast<PngSource*>(png_get_error_ptr(png));
  std::strncpy(source->text, message, sizeof source->text - 1);
  png_longjmp(png, 1);
}

// Warnings (an ancillary chunk with a bad checksum, an unknown colour profile) leave a good
// picture: the chunk is dropped and decoding goes on.
void OnWarning(png_structp, png_const_charp) {}

// Decodes into `out`; false when the file is refused, with `source` saying why, or `tooLarge`
// set when the header describes a picture beyond the limit. Only plain data lives in this frame,
// so the longjmp of an error skips no destructor; the row table belongs to the caller.
bool Decode(PngSource& source, Image& out, std::vector<png_bytep>& rows, bool& tooLarge, png_uint_32& width,
            png_uint_32& height) {
  png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, &source, OnError, OnWarning);
  if (png == nullptr) throw std::bad_alloc();
  png_infop info = png_create_info_struct(png);
  if (info == nullptr) {
    png_destroy_read_struct(&png, nullptr, nullptr);
    throw std::bad_alloc();
  }
  if (setjmp(png_jmpbuf(png)) != 0) {
    png_destroy_read_struct(&png, &info, nullptr);
    return false;
  }
  png_set_read_fn(png, &source, ReadFromMemory);
  png_read_info(png, info);
  width = png_get_image_width(png, info);
  height = png_get_image_height(png, info);
  if (!WithinLimit(width, height)) {
    tooLarge = true;
    png_destroy_read_struct(&png, &info, nullptr);
    return false;
  }
  const png_byte colourType = png_get_color_type(png, info);
  const bool alpha = (colourType & PNG_COLOR_MASK_ALPHA) != 0 || png_get_valid(png, info, PNG_INFO_tRNS) != 0;
  png_set_expand(png);  // palette to colour, transparent colour to alpha, grey to 8 bits
  png_set_scale_16(png);
  png_set_gray_to_rgb(png);
  png_set_bgr(png);
  if (!alpha) png_set_filler(png, 0xFF, PNG_FILLER_AFTER);
  png_set_interlace_handling(png);
  png_read_update_info(png, info);
  try {
    out = Image(static_cast<int>(width), static_cast<int>(height));
    rows.resize(height);
  } catch (...) {
    png_destroy_read_struct(&png, &info, nullptr);
    throw;
  }
  for (png_uint_32 y = 0; y < height; ++y)
    rows[y] = reinterpret_cast<png_bytep>(&out.at(0, static_cast<int>(y)));
  png_read_image(png, rows.data());
  // The chunks after the pixels up to IEND: a file cut short there is refused too.
  png_read_end(png, nullptr);
  png_destroy_read_struct(&png, &info, nullptr);
  return true;
}

}  // namespace

Image ReadPng(std::string_view bytes) {
  PngSource source{bytes};
  Image image;
  std::vector<png_bytep> rows;
  bool tooLarge = false;
  png_uint_32 width = 0, height = 0;
  if (Decode(source, image, rows, tooLarge, width, height)) return image;
  if (tooLarge) throw PictureFault(TooLarge(width, height), {});
  throw PictureFault(source.cutShort ? kCutShort : kDamaged, source.text);
}

}  // namespace asmpic::platform::detail
