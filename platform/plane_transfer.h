#pragma once
// The two bitmap transfers between a picture box's persistent image (rows top first) and one
// plane of the engine's pixel buffer (rows bottom first, 4 bytes a pixel, no padding). Both are
// one pass over the rows: the layouts differ only in row order and in the fourth byte, which the
// plane holds as 0 and the image as opaque.
#include <cstdint>

#include "platform/image.h"

namespace asmpic::platform {

// Reads the image into a plane of width x height pixels. Where the image is smaller the rest of
// the plane is left as it was; where it is larger it is clipped. False when the image is null.
bool ReadImageIntoPlane(const ImageView& image, std::uint8_t* plane, int width, int height);

// Draws a plane of width x height pixels into the image at its top-left corner, clipped to the
// image. False when the image is null (nothing can be drawn).
bool DrawPlaneIntoImage(const std::uint8_t* plane, int width, int height, const ImageView& image);

}  // namespace asmpic::platform
