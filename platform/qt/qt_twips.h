#pragma once
// Twips (1/1440 inch) to screen pixels as the engine sizes its buffer from a box: the quotient in
// single precision, rounded to the nearest pixel with an exact half to the even neighbour. Boxes
// sized this way have exactly the pixels their engine works on.
#include <cmath>

namespace asmpic::platform {

inline int TwipsToPixels(float twips, float twipsPerPixel) {
  const float pixels = static_cast<float>(static_cast<double>(twips) / twipsPerPixel);
  const float rounded = std::nearbyint(pixels);
  // No widget is a billion pixels wide; anything beyond (or NaN) is no size at all.
  if (!(rounded >= -1e9f && rounded <= 1e9f)) return 0;
  return static_cast<int>(rounded);
}

}  // namespace asmpic::platform
