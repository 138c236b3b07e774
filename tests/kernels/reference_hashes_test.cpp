// The kernels' pictures pinned: XXH3-64 hashes of plane 2 after every opcode of every family, at
// parameters whose arithmetic is not exact, computed once from the reference kernels and committed.
// The reference, the baseline and the best variant on every SIMD target must all give them, so a
// fault in code that the variants share (a scale, a centre, a table) is caught as well.
#include <gtest/gtest.h>
#include <xxhash.h>

#include <array>
#include <cstdint>
#include <cstdio>
#include <random>
#include <string>
#include <vector>

#include "kernels/kernel_store.h"
#include "kernels/pixel/pixel.h"
#include "tests/support/kernel_planes.h"
#include "tests/support/simd_targets.h"

namespace asmpic {
namespace {

using testing::KernelPlanes;

enum Family { kRotate, kMagnify, kPalette, kPixel, kColorX };

struct Case {
  Family family;
  std::int32_t opcode;
  std::int32_t amount;
  float a;  // rotate, magnify, flare: the centre's x; scatter: the dot's x; glow, trails: outer weight
  float b;  // the centre's y, the dot's y, the step between rings
  std::int32_t arg3;   // the angle + 360 or the zoom in tenths
  std::uint64_t hash;  // plane 2 afterwards
};

constexpr std::int32_t kColour = 0x0040C0FF;  // one of the start picture's four flat colours

// An odd-sized picture in every plane: half the pixels random, half one of six flat colours (black,
// white, nearly black, nearly white, mid grey and kColour), so that the colour rules and the glow
// find pixels to work on.
const KernelPlanes& StartPlanes() {
  static const KernelPlanes planes = [] {
    KernelPlanes p(61, 47);
    std::mt19937 random(2024);
    constexpr std::array<std::uint32_t, 6> kFlat = {0x000000, 0xFFFFFF, 0x121416,
                                                    0xF9FAFE, 0x808080, 0xFFC040};
    for (std::size_t i = 0; i < p.bytes.size(); i += 4) {
      const std::uint32_t r = random();
      const std::uint32_t word =
          (r & 1) != 0 ? static_cast<std::uint32_t>(random()) : kFlat[(r >> 1) % 6] | (r & 0xFF000000u);
      StorePixelWord(p.bytes.data() + i, word);
    }
    return p;
  }();
  return planes;
}

std::uint64_t Run(const KernelStore& kernels, const Case& c) {
  KernelPlanes planes = StartPlanes();
  planes.params.opcode = c.opcode;
  planes.params.amount = c.amount;
  planes.params.colour = kColour;
  const std::uint32_t a = FloatArg(c.a), b = FloatArg(c.b);
  switch (c.family) {
    case kRotate:
      CallKernel(kernels.rotate, planes.params, a, b, c.arg3);
      break;
    case kMagnify:
      CallKernel(kernels.magnify, planes.params, a, b, c.arg3);
      break;
    case kPalette:  // a is the noise's seed
      CallKernel(kernels.palette, planes.params, FloatArg(c.a * 255.0f), FloatArg(3.0f), 4);
      break;
    case kPixel: {
      const std::vector<float> ripple = BuildRippleTable(planes.width(), planes.height(), c.amount);
      CallKernel(kernels.pixel, planes.params, FloatArg(2.0f), FloatArg(3.0f),
                 reinterpret_cast<std::intptr_t>(ripple.data()));
      break;
    }
    case kColorX:
      CallKernel(kernels.colorX, planes.params, a, b, 0);
      break;
  }
  return XXH3_64bits(planes.plane(2), planes.planeBytes());
}

// clang-format off
constexpr Case kCases[] = {
    // Rotation: every opcode, odd angles about odd centres, and one far outside.
    {kRotate, 0, 0, 29.3f, 17.0f, 360 + 37, 0x69da6ef86e3ac7a2ull}, {kRotate, 1, 0, 29.3f, 17.0f, 360 + 37, 0x766800551e05cd2eull},
    {kRotate, 2, 0, 31.0f, 23.7f, 360 - 123, 0xee9118f5b36c4fe0ull}, {kRotate, 3, 0, 31.0f, 23.7f, 360 - 123, 0x7bea534fa4d97894ull},
    {kRotate, 3, 0, 7.5f, 40.25f, 360 + 271, 0x16f52f7ec631efbbull}, {kRotate, 1, 0, 60.1f, 0.3f, 360 + 1009, 0x152b86bd6ebc66cfull},
    // Magnify: Factor 1.2, 2.4, 0.7 and -1.3, both opcodes.
    {kMagnify, 0, 0, 30.0f, 23.0f, 12, 0xfe62915a0bef4277ull}, {kMagnify, 1, 0, 30.0f, 23.0f, 12, 0xe967ac55b57e6f51ull},
    {kMagnify, 0, 0, 17.3f, 11.0f, 24, 0x361ff62c100bc81bull}, {kMagnify, 1, 0, 17.3f, 11.0f, 24, 0x87bfbe466e29ac61ull},
    {kMagnify, 0, 0, 41.0f, 29.9f, 7, 0xa4f8faa8c1f0bce7ull}, {kMagnify, 1, 0, 41.0f, 29.9f, -13, 0x10a3ff8ec45867f0ull},
    // The palette: every opcode; the noise with two seeds.
    {kPalette, 0, 37, 0, 0, 0, 0x6552b777dfe0f680ull}, {kPalette, 1, 37, 0, 0, 0, 0x49facec30783d6ddull}, {kPalette, 2, -91, 0, 0, 0, 0xb6d1acb326018495ull},
    {kPalette, 3, 37, 0, 0, 0, 0x1706c02d32895dd0ull}, {kPalette, 4, 37, 0, 0, 0, 0x67290678c4f7a1ddull}, {kPalette, 5, 200, 0, 0, 0, 0x4a857d5dff6863eeull},
    {kPalette, 6, 37, 0, 0, 0, 0xc96736c0dd93b3ddull}, {kPalette, 7, 37, 0, 0, 0, 0xdc99fd4d3943a7c4ull}, {kPalette, 8, 3, 0, 0, 0, 0x01224eef8f03e1c7ull},
    {kPalette, 9, 3, 0, 0, 0, 0x5707e7d4d545b0fbull}, {kPalette, 10, 30, 0.3f, 0, 0, 0x5221465c3fa88e18ull}, {kPalette, 10, 99, 0.77f, 0, 0, 0xb264eb429ee459d1ull},
    {kPalette, 11, 0, 0, 0, 0, 0xc528e6ee56df8addull}, {kPalette, 12, 0, 0, 0, 0, 0xce867c4308148f11ull}, {kPalette, 13, 0, 0, 0, 0, 0x3ae358a940142e03ull},
    {kPalette, 14, 0, 0, 0, 0, 0x1cbbdb67f1b50110ull}, {kPalette, 15, 0, 0, 0, 0, 0xf05333485933a708ull}, {kPalette, 16, 0, 0, 0, 0, 0xeef2c602371cc4cbull},
    {kPalette, 17, 0, 0, 0, 0, 0x06607a3dd88df549ull}, {kPalette, 18, 0, 0, 0, 0, 0xd00c702a00d16196ull}, {kPalette, 19, 0, 0, 0, 0, 0x9957acf55b71b85dull},
    // The neighbourhood effects: every smoothing, the ripple at two amounts, three twirls.
    {kPixel, 0, 1, 0, 0, 0, 0x62da692d1c56c8bcull}, {kPixel, 0, 2, 0, 0, 0, 0x504c704ac0ee1fc3ull}, {kPixel, 0, 4, 0, 0, 0, 0xb6effec5a6ae4b9full},
    {kPixel, 0, 8, 0, 0, 0, 0x63d444f73704c365ull}, {kPixel, 1, 0, 0, 0, 0, 0x1d8ff1f4fd1d2578ull}, {kPixel, 2, 0, 0, 0, 0, 0xff0a15d0b306fcd7ull},
    {kPixel, 3, 7, 0, 0, 0, 0x8ecbac6407033237ull}, {kPixel, 3, -13, 0, 0, 0, 0xbb8da72b9d8f6b20ull}, {kPixel, 4, 0, 0, 0, 0, 0x1cc6fa0e01c847f7ull},
    {kPixel, 5, 1, 0, 0, 0, 0x32e219b534b93493ull}, {kPixel, 5, 4, 0, 0, 0, 0x4602cb931a239906ull}, {kPixel, 5, 8, 0, 0, 0, 0x474f25c663349cbbull},
    // Colour-X: dots, lines, grid, glow and trails at several reaches, flare at several amounts.
    {kColorX, 0, 0, 0.37f, 0.81f, 0, 0x670f9f011d7763a2ull}, {kColorX, 1, 3, 2, 3, 0, 0x97eb49dcc912bb61ull}, {kColorX, 2, 4, 2, 3, 0, 0x0ccc054b493861a8ull},
    {kColorX, 3, 5, 2, 3, 0, 0xaeed7e7a03d24736ull}, {kColorX, 4, 1, 0.9f, 0.1f, 0, 0x6defad6003724c1full}, {kColorX, 4, 4, 0.9f, 0.1f, 0, 0x1c03a4f0e9c7176eull},
    {kColorX, 4, 9, 0.9f, 0.1f, 0, 0xc1419dc23899e503ull}, {kColorX, 5, 4, 0.9f, 0.1f, 0, 0x24e3cbd69d5edf55ull}, {kColorX, 6, 6, 0.9f, 0.1f, 0, 0xaa31445b059217e0ull},
    {kColorX, 7, 3, 0.9f, 0.1f, 0, 0x27c62698663e8a09ull}, {kColorX, 8, 11, 0.9f, 0.1f, 0, 0xb6a4df7e368f8dc2ull},
    {kColorX, 9, 10, 30.0f, 23.0f, 0, 0x0efee8b343fca091ull}, {kColorX, 9, 40, 12.5f, 40.0f, 0, 0xc40424d06e944dbaull},
    {kColorX, 9, 100, 30.3f, 3.0f, 0, 0x196491384138f488ull},
};
// clang-format on

// Every failure prints the table's hash as computed, so a meant change is one paste.
void ExpectPinned(const KernelStore& kernels, const std::string& variant) {
  std::string table;
  for (std::size_t i = 0; i < std::size(kCases); ++i) {
    const std::uint64_t hash = Run(kernels, kCases[i]);
    char text[32];
    std::snprintf(text, sizeof text, "0x%016llx", static_cast<unsigned long long>(hash));
    table += std::string(text) + (i % 4 == 3 ? "\n" : " ");
    EXPECT_EQ(hash, kCases[i].hash) << variant << ", case " << i << " (family " << kCases[i].family
                                    << ", opcode " << kCases[i].opcode << ") gives " << text;
  }
  if (::testing::Test::HasFailure()) std::printf("%s hashes:\n%s\n", variant.c_str(), table.c_str());
}

TEST(ReferenceHashes, TheReferenceKernelsGiveThePinnedPictures) {
  ExpectPinned(KernelStore::Reference(), "reference");
}

TEST(ReferenceHashes, TheBaselineAndTheBestVariantOnEveryTargetGiveThemToo) {
  ExpectPinned(KernelStore(KernelChoice::kBaseline), "baseline");
  testing::ForEachSimdTarget(
      [](const std::string& target) { ExpectPinned(KernelStore(KernelChoice::kBest), "best on " + target); });
}

}  // namespace
}  // namespace asmpic
