#pragma once
// The runtime's uniform random numbers: single-precision values 0 <= r < 1, re-seeded from a
// number or from the clock. The sequence depends only on the seed, so it is the same on every
// platform and every build (std::mt19937 is fully specified; the conversion to [0, 1) is ours).
#include <cstdint>
#include <random>

namespace asmpic::platform {

class RandomNumbers {
 public:
  RandomNumbers() { Randomize(0.0); }

  // The next value.
  float Rnd();
  // A draw with an argument: a negative number re-seeds from that number first, then draws;
  // zero repeats the last value drawn; a positive number draws the next value.
  float Rnd(float number);

  // Re-seeds from a number: the same number always starts the same sequence.
  void Randomize(double seed);

 private:
  std::mt19937 engine_;
  float last_ = 0.0f;
};

}  // namespace asmpic::platform
