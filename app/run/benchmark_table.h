#pragma once
// The seven timed tests of a benchmark run, in order.
#include <array>
#include <cstdint>
#include <span>

namespace asmpic::app {

struct BenchmarkTest {
  const char* caption;  // the list text while the test runs; the time follows it directly
  const char* name;     // a short name for the command line
  const char* what;     // what the test does, in a few words
  bool rotates;         // ASM_Rotate with Angle = i; otherwise ASM_PixelEffects with `opcode`
  std::int32_t opcode;
  int step;  // i runs 1 .. 360 by step (the rotation also runs 360 .. 1 after)
};

inline constexpr std::array<BenchmarkTest, 7> kBenchmarkTests = {{
    {"Rotating... ", "rotate",
     "720 rotations of the source picture, 1 to 360 degrees and back, nearest pixel", true, 0, 1},
    {"Smoothing... ", "smoothing", "360 horizontal smoothings, each of the previous result", false, 0, 1},
    {"Contour... ", "contour", "36 eight-neighbour contour filters", false, 1, 10},
    {"Emboss... ", "emboss", "360 diagonal emboss filters", false, 2, 1},
    {"Ripple... ", "ripple", "36 sine ripples of the rows", false, 3, 10},
    {"Relief... ", "relief", "36 directional relief filters", false, 4, 10},
    {"Twirl... ", "twirl", "72 twirls about the centre", false, 5, 5},
}};

// Engine calls the test makes: 720 for the rotation, else the count of 1 .. 360 by step.
constexpr int CallCount(const BenchmarkTest& test) {
  const int oneWay = (360 - 1) / test.step + 1;
  return test.rotates ? 2 * oneWay : oneWay;
}

// True when `tests` (indices into kBenchmarkTests) is the whole run: every test once, in order.
constexpr bool IsFullRun(std::span<const int> tests) {
  if (tests.size() != kBenchmarkTests.size()) return false;
  for (std::size_t i = 0; i < tests.size(); ++i) {
    if (tests[i] != static_cast<int>(i)) return false;
  }
  return true;
}

}  // namespace asmpic::app
