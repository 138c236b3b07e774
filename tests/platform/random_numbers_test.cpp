#include "platform/random_numbers.h"

#include <gtest/gtest.h>

#include <array>
#include <bit>
#include <cmath>
#include <vector>

#include "platform/headless/headless_runtime.h"

namespace asmpic::platform {
namespace {

std::vector<float> Draw(RandomNumbers& random, int count) {
  std::vector<float> values;
  for (int i = 0; i < count; ++i) values.push_back(random.Rnd());
  return values;
}

TEST(RandomNumbers, ValuesAreUniformInUnitInterval) {
  RandomNumbers random;
  random.Randomize(7.0);
  std::array<int, 10> deciles{};
  constexpr int kDraws = 200000;
  for (int i = 0; i < kDraws; ++i) {
    const float r = random.Rnd();
    ASSERT_GE(r, 0.0f);
    ASSERT_LT(r, 1.0f);
    ++deciles[static_cast<int>(r * 10.0f)];
  }
  for (int count : deciles) EXPECT_NEAR(count, kDraws / 10, kDraws / 100);
}

TEST(RandomNumbers, SameSeedRepeatsTheSequence) {
  RandomNumbers first;
  RandomNumbers second;
  first.Randomize(1.0);
  Draw(second, 5);  // whatever came before, the seed decides what follows
  second.Randomize(1.0);
  EXPECT_EQ(Draw(first, 100), Draw(second, 100));
}

// The sequence depends on nothing but the seed: these values hold on every platform and build.
TEST(RandomNumbers, SequenceFromSeedOneIsFixed) {
  RandomNumbers random;
  random.Randomize(1.0);
  // Each value is a whole number of 2^-24 steps.
  const std::vector<float> expected{7799765 * 0x1p-24f, 15529398 * 0x1p-24f, 730028 * 0x1p-24f,
                                    10304362 * 0x1p-24f};
  EXPECT_EQ(Draw(random, 4), expected);
}

TEST(RandomNumbers, NegativeArgumentReseedsBeforeDrawing) {
  RandomNumbers random;
  RandomNumbers reseeded;
  reseeded.Randomize(-1.0);
  Draw(random, 3);
  EXPECT_EQ(random.Rnd(-1.0f), reseeded.Rnd());
  EXPECT_EQ(random.Rnd(), reseeded.Rnd());
  EXPECT_EQ(random.Rnd(-1.0f), random.Rnd(-1.0f));
}

TEST(RandomNumbers, ZeroRepeatsTheLastValuePositiveDrawsOn) {
  RandomNumbers random;
  RandomNumbers twin;
  const float last = random.Rnd();
  twin.Rnd();
  EXPECT_EQ(random.Rnd(0.0f), last);
  EXPECT_EQ(random.Rnd(0.0f), last);
  EXPECT_EQ(random.Rnd(1.0f), twin.Rnd());
}

// Seeds that differ only in their last bits (clock readings a tick apart) start different
// sequences; so do seeds whose two 32-bit halves cancel out when folded together.
TEST(RandomNumbers, NearbySeedsDiffer) {
  const std::array<double, 5> seeds{1.0, std::nextafter(1.0, 2.0),
                                    std::bit_cast<double>(0x3FF0000100000001ULL), 43200.5f,
                                    std::nextafter(43200.5f, 50000.0f)};
  std::vector<std::vector<float>> sequences;
  for (double seed : seeds) {
    RandomNumbers random;
    random.Randomize(seed);
    sequences.push_back(Draw(random, 4));
  }
  for (std::size_t i = 0; i < seeds.size(); ++i) {
    for (std::size_t j = i + 1; j < seeds.size(); ++j)
      EXPECT_NE(sequences[i], sequences[j]) << i << ", " << j;
  }
}

TEST(RandomNumbers, RuntimeReseedsFromTheClock) {
  HeadlessRuntime runtime;
  float now = 3600.25f;
  runtime.clock = [&now] { return now; };
  runtime.Randomize();
  const auto first = Draw(runtime.Random(), 4);
  runtime.Randomize();
  EXPECT_EQ(Draw(runtime.Random(), 4), first);
  now = 3601.0f;
  runtime.Randomize();
  EXPECT_NE(Draw(runtime.Random(), 4), first);
}

}  // namespace
}  // namespace asmpic::platform
