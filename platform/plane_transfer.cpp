#include "platform/plane_transfer.h"

#include <algorithm>
#include <cstring>

namespace asmpic::platform {

bool ReadImageIntoPlane(const ImageView& image, std::uint8_t* plane, int width, int height) {
  if (image.isNull()) return false;
  const int columns = std::min(width, image.width);
  for (int imageRow = 0; imageRow < std::min(height, image.height); ++imageRow) {
    // Image row r (top first) is plane row height - 1 - r (bottom first).
    const int y = height - 1 - imageRow;
    const std::uint32_t* from = image.row(imageRow);
    auto* to = reinterpret_cast<std::uint32_t*>(plane) + static_cast<std::ptrdiff_t>(y) * width;
    for (int x = 0; x < columns; ++x) to[x] = from[x] & 0x00FFFFFFu;
  }
  return true;
}

bool DrawPlaneIntoImage(const std::uint8_t* plane, int width, int height, const ImageView& image) {
  if (image.isNull()) return false;
  const int columns = std::min(width, image.width);
  for (int imageRow = 0; imageRow < std::min(height, image.height); ++imageRow) {
    const int y = height - 1 - imageRow;
    const auto* from = reinterpret_cast<const std::uint32_t*>(plane) + static_cast<std::ptrdiff_t>(y) * width;
    std::uint32_t* to = image.row(imageRow);
    for (int x = 0; x < columns; ++x) to[x] = from[x] | 0xFF000000u;
  }
  return true;
}

}  // namespace asmpic::platform
