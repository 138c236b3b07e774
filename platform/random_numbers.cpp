#include "platform/random_numbers.h"

#include <array>
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
  // All 64 bits of the double reach the generator's state (std::seed_seq is fully specified), so
  // seeds that differ anywhere, clock readings that differ only in their fraction included, start
  // different sequences.
  const auto bits = std::bit_cast<std::uint64_t>(seed);
  const std::array<std::uint32_t, 2> words{static_cast<std::uint32_t>(bits),
                                           static_cast<std::uint32_t>(bits >> 32)};
  std::seed_seq sequence(words.begin(), words.end());
  engine_.seed(sequence);
}

}  // namespace asmpic::platform
