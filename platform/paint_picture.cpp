#include "platform/paint_picture.h"

#include <algorithm>

namespace asmpic::platform {

namespace {

// Source-over of one pixel onto an opaque background, channel by channel, rounded.
std::uint32_t Over(std::uint32_t pixel, std::uint32_t background) {
  const std::uint32_t alpha = pixel >> 24;
  if (alpha == 255) return pixel;
  if (alpha == 0) return background;
  std::uint32_t result = 0xFF000000u;
  for (int shift = 0; shift < 24; shift += 8) {
    const std::uint32_t front = (pixel >> shift) & 0xFFu;
    const std::uint32_t back = (background >> shift) & 0xFFu;
    result |= ((front * alpha + back * (255 - alpha) + 127) / 255) << shift;
  }
  return result;
}

}  // namespace

void PaintPicture(const ImageView& target, Colour backColor, const Image* picture) {
  if (target.isNull()) return;
  const std::uint32_t background = PixelFromColour(backColor);
  for (int y = 0; y < target.height; ++y) std::fill_n(target.row(y), target.width, background);
  if (picture == nullptr || picture->isNull()) return;
  const int columns = std::min(target.width, picture->width);
  const int rows = std::min(target.height, picture->height);
  for (int y = 0; y < rows; ++y) {
    std::uint32_t* to = target.row(y);
    for (int x = 0; x < columns; ++x) to[x] = Over(picture->at(x, y), background);
  }
}

}  // namespace asmpic::platform
