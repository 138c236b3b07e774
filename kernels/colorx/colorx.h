#pragma once
// The Colour-X kernel's opcodes: paint with one colour, tint around it (glow, trails), flare a disc.
#include <cstdint>

namespace asmpic {

enum ColorXOp : std::int32_t {
  kScatterDot = 0,
  kRowLines = 1,
  kColumnLines = 2,
  kDotGrid = 3,
  kGlow = 4,
  kTrailUp = 5,
  kTrailDown = 6,
  kTrailLeft = 7,
  kTrailRight = 8,
  kFlare = 9,
};

}  // namespace asmpic
