#include "platform/headless/headless_picture_box.h"

#include <cmath>
#include <new>

#include "platform/paint_picture.h"
#include "platform/picture_io.h"

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
  return image_.view();
}

void HeadlessPictureBox::SetPicture(const Image* picture) {
  if (picture != nullptr) {
    picture_ = *picture;
  } else {
    picture_.reset();
  }
  PaintPicture(image_.view(), backColor_, Picture());
}

}  // namespace asmpic::platform
