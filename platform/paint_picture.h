#pragma once
#include "platform/image.h"

namespace asmpic::platform {

// Repaints a box's persistent image from its picture: the background colour everywhere, then the
// picture (if any) at the top-left corner, unscaled and clipped; a picture's transparent pixels
// let the background show through.
void PaintPicture(const ImageView& target, Colour backColor, const Image* picture);

}  // namespace asmpic::platform
