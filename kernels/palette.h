#pragma once
// The palette kernel's opcodes: per-pixel colour operations on the working picture (plane 2).
#include <cstdint>

namespace asmpic {

enum PaletteOp : std::int32_t {
  kRedUp = 0,
  kRedDown = 1,
  kGreenUp = 2,
  kGreenDown = 3,
  kBlueUp = 4,
  kBlueDown = 5,
  kBrighten = 6,
  kDarken = 7,
  kShiftUp = 8,
  kShiftDown = 9,
  kNoise = 10,
  kInvert = 11,
  kGreyscale = 12,
  kDarkToBlack = 13,
  kLightToWhite = 14,
  kBlackToWhite = 15,
  kWhiteToBlack = 16,
  kNonWhiteToBlack = 17,
  kNonBlackToWhite = 18,
  kThreshold = 19,
};

}  // namespace asmpic
