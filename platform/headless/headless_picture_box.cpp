#include "platform/headless/headless_picture_box.h"

#include <cmath>
#include <new>
#include <utility>

#include "platform/paint_picture.h"
#include "platform/picture_io.h"
#include "platform/plane_transfer.h"

namespace asmpic::platform {

namespace {

int PixelsOf(float twips, float twipsPerPixel) {
  const float pixels = twips / twipsPerPixel;
  if (!(pixels >= 0.0f && pixels < 1e9f)) return -1;
  return static_cast<int>(std::nearbyint(pixels));
}

}  // namespace

HeadlessPictureBox::HeadlessPictureBox(Window& container, float widthTwips, float heightTwips,
                                       float twipsPerPixelX, float twipsPerPixelY, Colour backColor)
    : container_(container), widthTwips_(widthTwips), heightTwips_(heightTwips), backColor_(backColor) {
  const int width = PixelsOf(widthTwips, twipsPerPixelX);
  const int height = PixelsOf(heightTwips, twipsPerPixelY);
  if (width > 0 && height > 0 && static_cast<long long>(width) * height <= kMaxPicturePixels) {
    try {
      image_ = Image(width, height, PixelFromColour(backColor));
    } catch (const std::bad_alloc&) {
      image_ = Image();
    }
  }
}

ImageView HeadlessPictureBox::PersistentImage() {
  if (unavailable_) return {};
  DrawPending();
  return image_.view();
}

void HeadlessPictureBox::SetPicture(const Image* picture) {
  pending_ = {};  // painted over entirely
  if (picture != nullptr) {
    picture_ = *picture;
  } else {
    picture_.reset();
  }
  PaintPicture(image_.view(), backColor_, Picture());
}

bool HeadlessPictureBox::ShowPlane(std::shared_ptr<const std::uint8_t> plane, int width, int height) {
  pending_ = {};
  const bool coversImage = !unavailable_ && !image_.isNull() && width >= image_.width && height >= image_.height;
  if (!coversImage) return PictureBox::ShowPlane(std::move(plane), width, height);
  picture_.reset();
  pending_ = {std::move(plane), width, height};
  return true;
}

void HeadlessPictureBox::DrawPending() const {
  if (!pending_.plane) return;
  const PendingPlane pending = std::exchange(pending_, {});
  DrawPlaneIntoImage(pending.plane.get(), pending.width, pending.height, image_.view());
}

}  // namespace asmpic::platform
