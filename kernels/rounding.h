#pragma once
// Conversions from floating point to integers as the engine makes them: to the nearest integer,
// an exact half to the even neighbour (std::nearbyint in the default rounding mode). A value that
// no 32-bit integer can hold (huge, infinite or NaN) has no integer; callers treat it as outside
// the picture. No conversion here is undefined behaviour.
#include <cmath>
#include <cstdint>
#include <limits>
#include <optional>

namespace asmpic {

inline double RoundHalfEven(double value) {
  return std::nearbyint(value);
}

// The rounded value when it fits in 32 bits.
inline std::optional<std::int32_t> RoundToInt32(double value) {
  const double r = std::nearbyint(value);
  if (!(r >= -2147483648.0 && r <= 2147483647.0)) return std::nullopt;  // also NaN
  return static_cast<std::int32_t>(r);
}

// The rounded value clamped to 32 bits, for coordinates: a clamped value lies outside any picture.
inline std::int64_t RoundClamped(double value) {
  const double r = std::nearbyint(value);
  if (!(r >= -2147483648.0)) return std::numeric_limits<std::int32_t>::min();  // also NaN
  if (r > 2147483647.0) return std::numeric_limits<std::int32_t>::max();
  return static_cast<std::int64_t>(r);
}

// A double stored as single precision; values beyond float's range become infinities instead of
// an undefined conversion.
inline float ToSingle(double value) {
  constexpr double kOverflow = 0x1.ffffffp127;  // FLT_MAX plus half an ulp: rounds to infinity
  if (value >= kOverflow) return std::numeric_limits<float>::infinity();
  if (value <= -kOverflow) return -std::numeric_limits<float>::infinity();
  return static_cast<float>(value);
}

}  // namespace asmpic
