#include "platform/random_numbers.h"

#include <bit>

namespace asmpic::platform {

float RandomNumbers::Rnd() {
  // 24 random bits scaled by 2^-24 are exact in single precision and stay below 1.
  last_ = static_cast<float>(engine_() >> 8) * 0x1p-24f;
  return last_;
}

float RandomNumbers::Rnd(float number) {
  if (number < 0.0f) {
    Randomize(number);
    return Rnd();
  }
  if (number == 0.0f) return last_;
  return Rnd();
}

void RandomNumbers::Randomize(double seed) {
  // Seed from the double's bits, folded to 32: distinct seeds give distinct sequences,
  // including seeds that differ only in their fraction (clock readings).
  const auto bits = std::bit_cast<std::uint64_t>(seed);
  engine_.seed(static_cast<std::uint32_t>(bits ^ (bits >> 32)));
}

}  // namespace asmpic::platform
