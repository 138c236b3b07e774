// Palette effects: twenty per-pixel colour operations on the working picture (plane 2), in place
// (engine/effects/palette.cpp drives them).
#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "kernels/kernel_store.h"
#include "kernels/palette_internal.h"
#include "kernels/rounding.h"
#include "kernels/worker_pool.h"

namespace asmpic {

namespace {

// Runs change(pixel) on the first `count` pixels of the plane, in memory order (the noise
// generator continues from one pixel to the next).
template <typename Change>
void ForEachPixel(const PlaneView& plane, std::int64_t count, Change change) {
  for (std::int64_t p = 0; p < count; ++p) change(plane.bytes + 4 * p);
}

// The channel arithmetic works on pixel pairs: the first 2 * (N div 2) pixels, so an odd plane
// keeps its last pixel.
std::int64_t PairedPixels(std::int64_t pixels) {
  return 2 * (pixels / 2);
}

// The four bytes added to (or taken from) each pixel: the amount's bytes a0..a3, shifted so that
// a0 lands on the named channel and the higher bytes spill into the channels above it.
std::array<std::uint8_t, 4> Addend(std::int32_t op, std::int32_t amount) {
  const auto a = static_cast<std::uint32_t>(amount);
  const auto byte = [a](int i) { return static_cast<std::uint8_t>(a >> (8 * i)); };
  switch (op) {
    case kRedUp:
    case kRedDown:
      return {0, 0, byte(0), byte(1)};
    case kGreenUp:
    case kGreenDown:
      return {0, byte(0), byte(1), byte(2)};
    case kBlueUp:
    case kBlueDown:
      return {byte(0), byte(1), byte(2), byte(3)};
    default:  // brighten, darken, shift up, shift down
      return {byte(0), byte(0), byte(0), byte(1)};
  }
}

std::uint8_t CombineByte(std::int32_t op, std::uint8_t b, std::uint8_t d) {
  switch (op) {
    case kShiftUp:
      return static_cast<std::uint8_t>(b + d);
    case kShiftDown:
      return static_cast<std::uint8_t>(b - d);
    default:
      // Even opcodes raise, odd ones lower, both saturating.
      return op % 2 == 0 ? static_cast<std::uint8_t>(std::min(255, b + d))
                         : static_cast<std::uint8_t>(std::max(0, b - d));
  }
}

// The noise generator: a 32-bit state that starts from the seed argument; each step yields one
// byte.
class NoiseGenerator {
 public:
  explicit NoiseGenerator(std::uint32_t seed) : state_(seed) {}
  std::uint8_t Next() {
    const std::uint32_t m = state_ * 0x11813u;  // mod 2^32
    // The sum may carry into bit 32; halving brings that carry down to bit 31.
    state_ = static_cast<std::uint32_t>((static_cast<std::uint64_t>(m) + 0xAB209u) >> 1);
    return static_cast<std::uint8_t>(state_);
  }

 private:
  std::uint32_t state_;
};

// One channel under the noise: moved by (r / 255) * (40A + 1) - 20A, rounded, clamped.
std::uint8_t NoisyChannel(std::uint8_t c, std::uint8_t r, std::int32_t amount) {
  const double spread = 40.0 * amount + 1.0;
  const double v = RoundHalfEven(c + (r / 255.0) * spread - 20.0 * amount);
  if (v >= 255.0) return 255;
  if (v <= 0.0) return 0;
  return static_cast<std::uint8_t>(v);
}

bool ThresholdWhite(std::uint8_t blue, std::uint8_t green, std::uint8_t red) {
  if (blue < kThresholdLevel) return green >= kThresholdLevel || red >= kThresholdLevel;
  return red >= kThresholdLevel;
}

// The black/white rules 13 to 18 and the threshold: the value written to blue, green and red, or
// nothing when the pixel keeps its colour.
bool BlackWhiteRule(std::int32_t op, std::uint8_t blue, std::uint8_t green, std::uint8_t red,
                    std::uint8_t& value) {
  const bool allBlack = blue == 0 && green == 0 && red == 0;
  const bool allWhite = blue == 255 && green == 255 && red == 255;
  switch (op) {
    case kDarkToBlack:
      value = 0;
      return blue <= 24 && green <= 24 && red <= 24;
    case kLightToWhite:
      value = 255;
      return blue > 248 && green > 248 && red > 248;
    case kBlackToWhite:
      value = 255;
      return allBlack;
    case kWhiteToBlack:
      value = 0;
      return allWhite;
    case kNonWhiteToBlack:
      value = 0;
      return !allWhite;
    case kNonBlackToWhite:
      value = 255;
      return !allBlack;
    default:  // threshold
      value = ThresholdWhite(blue, green, red) ? 255 : 0;
      return true;
  }
}

// --- The faster variant's pieces -------------------------------------------------------------

// Channel arithmetic and invert over `count` bytes (a multiple of 8), 16 bytes a step.
void PairBytes(std::int32_t op, std::uint8_t* bytes, std::int64_t count, std::array<std::uint8_t, 4> addend) {
  std::int64_t i = 0;
#if defined(__SSE2__)
  std::uint32_t addendWord;
  std::memcpy(&addendWord, addend.data(), 4);
  const __m128i d = _mm_set1_epi32(static_cast<int>(addendWord));
  // One loop per opcode, chosen once: a choice inside the loop cost as much as the work.
  const auto each = [&](auto step) {
    for (; i + 16 <= count; i += 16) {
      auto* at = reinterpret_cast<__m128i*>(bytes + i);
      _mm_storeu_si128(at, step(_mm_loadu_si128(at)));
    }
  };
  switch (op) {
    case kShiftUp:
      each([&](__m128i b) { return _mm_add_epi8(b, d); });
      break;
    case kShiftDown:
      each([&](__m128i b) { return _mm_sub_epi8(b, d); });
      break;
    case kInvert:
      each([](__m128i b) { return _mm_xor_si128(b, _mm_set1_epi32(-1)); });
      break;
    default:
      if (op % 2 == 0) {
        each([&](__m128i b) { return _mm_adds_epu8(b, d); });
      } else {
        each([&](__m128i b) { return _mm_subs_epu8(b, d); });
      }
      break;
  }
#endif
  for (; i < count; ++i) {
    bytes[i] =
        op == kInvert ? static_cast<std::uint8_t>(255 - bytes[i]) : CombineByte(op, bytes[i], addend[i % 4]);
  }
}

void NoiseFast(std::uint8_t* bytes, std::int64_t pixels, std::uint32_t seed, std::int32_t amount) {
  // The offset depends on r alone: c + (r/255)(40A + 1) - 20A is never within 1/510 of a half (its
  // fraction is a multiple of 1/255), so rounding the offset first gives the same integer.
  std::array<std::int16_t, 256> offset;
  const double spread = 40.0 * amount + 1.0;
  for (int r = 0; r < 256; ++r) {
    const double v = RoundHalfEven((r / 255.0) * spread - 20.0 * amount);
    offset[r] = static_cast<std::int16_t>(std::clamp(v, -256.0, 256.0));
  }
  NoiseGenerator generator(seed);
  for (std::int64_t p = 0; p < pixels; ++p) {
    std::uint8_t* px = bytes + 4 * p;
    for (int c = 0; c < 3; ++c)
      px[c] = static_cast<std::uint8_t>(std::clamp(px[c] + offset[generator.Next()], 0, 255));
  }
}

void GreyscaleFast(std::uint8_t* bytes, std::int64_t pixels) {
  // sum * 43691 >> 17 is sum div 3 for every sum up to 765.
  std::int64_t p = 0;
#if defined(__SSE2__)
  const __m128i low = _mm_set1_epi32(0xFF);
  const __m128i top = _mm_set1_epi32(static_cast<int>(0xFF000000u));
  const __m128i third = _mm_set1_epi32(43691);  // the upper 16 bits of each lane stay 0
  for (; p + 4 <= pixels; p += 4) {
    auto* at = reinterpret_cast<__m128i*>(bytes + 4 * p);
    const __m128i v = _mm_loadu_si128(at);
    const __m128i sum =
        _mm_add_epi32(_mm_add_epi32(_mm_and_si128(v, low), _mm_and_si128(_mm_srli_epi32(v, 8), low)),
                      _mm_and_si128(_mm_srli_epi32(v, 16), low));
    const __m128i grey = _mm_srli_epi32(_mm_mulhi_epu16(sum, third), 1);
    const __m128i spread =
        _mm_or_si128(_mm_or_si128(grey, _mm_slli_epi32(grey, 8)), _mm_slli_epi32(grey, 16));
    _mm_storeu_si128(at, _mm_or_si128(_mm_and_si128(v, top), spread));
  }
#endif
  for (; p < pixels; ++p) {
    std::uint8_t* px = bytes + 4 * p;
    const std::uint32_t word = LoadPixelWord(px);
    const std::uint32_t sum = (word & 0xFF) + ((word >> 8) & 0xFF) + ((word >> 16) & 0xFF);
    const std::uint32_t grey = (sum * 43691u) >> 17;
    StorePixelWord(px, (word & 0xFF000000u) | (grey * 0x010101u));
  }
}

template <typename Rule>
void BlackWhiteFast(std::uint8_t* bytes, std::int64_t pixels, Rule rule) {
  for (std::int64_t p = 0; p < pixels; ++p) {
    std::uint8_t* px = bytes + 4 * p;
    const std::uint32_t word = LoadPixelWord(px);
    std::uint32_t colour = word & 0x00FFFFFFu;
    rule(colour);
    StorePixelWord(px, (word & 0xFF000000u) | colour);
  }
}

}  // namespace

void PaletteSpanBaseline(std::int32_t op, std::uint8_t* bytes, std::int64_t pixels,
                         std::uint32_t addendWord) {
  if (IsChannelArithmetic(op) || op == kInvert) {
    std::array<std::uint8_t, 4> addend;
    std::memcpy(addend.data(), &addendWord, 4);
    return PairBytes(op, bytes, 4 * pixels, addend);
  }
  constexpr std::uint32_t kWhite = 0x00FFFFFFu;
  switch (op) {
    case kGreyscale:
      return GreyscaleFast(bytes, pixels);
    case kDarkToBlack:
      return BlackWhiteFast(bytes, pixels, [](std::uint32_t& c) {
        if ((c & 0xFF) <= 24 && ((c >> 8) & 0xFF) <= 24 && (c >> 16) <= 24) c = 0;
      });
    case kLightToWhite:
      return BlackWhiteFast(bytes, pixels, [](std::uint32_t& c) {
        if ((c & 0xFF) > 248 && ((c >> 8) & 0xFF) > 248 && (c >> 16) > 248) c = kWhite;
      });
    case kBlackToWhite:
      return BlackWhiteFast(bytes, pixels, [](std::uint32_t& c) { c = c == 0 ? kWhite : c; });
    case kWhiteToBlack:
      return BlackWhiteFast(bytes, pixels, [](std::uint32_t& c) { c = c == kWhite ? 0 : c; });
    case kNonWhiteToBlack:
      return BlackWhiteFast(bytes, pixels, [](std::uint32_t& c) { c = c == kWhite ? c : 0; });
    case kNonBlackToWhite:
      return BlackWhiteFast(bytes, pixels, [](std::uint32_t& c) { c = c == 0 ? c : kWhite; });
    case kThreshold: {
      std::int64_t p = 0;
#if defined(__SSE2__)
      // White where red reaches the level, or green does while blue stays below it. With `low`
      // all ones in each byte below the level, black is low(red) and (low(green) or not
      // low(blue)): the three bytes' flags shifted into the top byte of each pixel and combined
      // there, then spread over the pixel by an arithmetic shift; byte 3 kept.
      const __m128i below = _mm_set1_epi8(static_cast<char>(kThresholdLevel - 1));
      const __m128i top = _mm_set1_epi32(static_cast<int>(0xFF000000u));
      const __m128i colourBytes = _mm_set1_epi32(0x00FFFFFF);
      const __m128i zero = _mm_setzero_si128();
      for (; p + 4 <= pixels; p += 4) {
        auto* at = reinterpret_cast<__m128i*>(bytes + 4 * p);
        const __m128i v = _mm_loadu_si128(at);
        const __m128i low = _mm_cmpeq_epi8(_mm_subs_epu8(v, below), zero);
        const __m128i blue = _mm_slli_epi32(low, 24), green = _mm_slli_epi32(low, 16),
                      red = _mm_slli_epi32(low, 8);
        const __m128i black = _mm_srai_epi32(_mm_and_si128(red, _mm_or_si128(green, _mm_xor_si128(blue, top))), 31);
        _mm_storeu_si128(at, _mm_or_si128(_mm_and_si128(v, top), _mm_andnot_si128(black, colourBytes)));
      }
#endif
      return BlackWhiteFast(bytes + 4 * p, pixels - p, [](std::uint32_t& c) {
        const auto blue = static_cast<std::uint8_t>(c);
        const auto green = static_cast<std::uint8_t>(c >> 8);
        const auto red = static_cast<std::uint8_t>(c >> 16);
        c = ThresholdWhite(blue, green, red) ? kWhite : 0;
      });
    }
    default:
      return;  // any other opcode changes nothing
  }
}

namespace {

using PaletteSpan = void (*)(std::int32_t op, std::uint8_t* bytes, std::int64_t pixels,
                             std::uint32_t addendWord);

// The faster variants' frame: the noise on the calling thread (each pixel continues the generator
// of the one before), every other opcode in bands of rows, which a large picture spreads over the
// worker pool. Each pixel depends on itself alone, so the split changes no byte.
void RunPaletteFast(const KernelParams& block, std::uint32_t seed, PaletteSpan span) {
  if (!HasPixels(block)) return;
  const PlaneView plane = PlaneOf(block, kWorkingPlane);
  const std::int32_t op = block.opcode;
  if (op == kNoise) return NoiseFast(plane.bytes, plane.pixelCount(), seed, block.amount);
  if (op < kRedUp || op > kThreshold) return;  // any other opcode changes nothing
  const bool paired = IsChannelArithmetic(op) || op == kInvert;
  const std::int64_t count = paired ? PairedPixels(plane.pixelCount()) : plane.pixelCount();
  const std::int64_t unit = paired ? 2 : 1;  // bands start and end on whole pairs
  std::uint32_t addendWord = 0;
  if (IsChannelArithmetic(op)) {
    const auto addend = Addend(op, block.amount);
    std::memcpy(&addendWord, addend.data(), 4);
  }
  const std::int64_t width = block.width;
  RunInBands(0, block.height - 1, BandsForPixels(plane.pixelCount()),
             [&](std::int64_t from, std::int64_t to) {
               // Rows from ... to (0-based), as pixel indices.
               const std::int64_t begin = std::min(count, from * width / unit * unit);
               const std::int64_t end = std::min(count, (to + 1) * width / unit * unit);
               if (end > begin) span(op, plane.bytes + 4 * begin, end - begin, addendWord);
             });
}

}  // namespace

void PaletteKernelReference(KernelParams* block, std::uint32_t seed, std::uint32_t, std::intptr_t) {
  if (!HasPixels(*block)) return;
  const PlaneView plane = PlaneOf(*block, kWorkingPlane);
  const std::int32_t op = block->opcode;
  const std::int32_t amount = block->amount;

  if (IsChannelArithmetic(op) || op == kInvert) {
    const auto addend = Addend(op, amount);
    ForEachPixel(plane, PairedPixels(plane.pixelCount()), [&](std::uint8_t* px) {
      for (int c = 0; c < 4; ++c) {
        px[c] = op == kInvert ? static_cast<std::uint8_t>(255 - px[c]) : CombineByte(op, px[c], addend[c]);
      }
    });
  } else if (op == kNoise) {
    NoiseGenerator generator(seed);
    ForEachPixel(plane, plane.pixelCount(), [&](std::uint8_t* px) {
      for (int c = 0; c < 3; ++c) px[c] = NoisyChannel(px[c], generator.Next(), amount);
    });
  } else if (op == kGreyscale) {
    ForEachPixel(plane, plane.pixelCount(), [](std::uint8_t* px) {
      const auto grey = static_cast<std::uint8_t>((px[0] + px[1] + px[2]) / 3);
      px[0] = px[1] = px[2] = grey;
    });
  } else if (op >= kDarkToBlack && op <= kThreshold) {
    ForEachPixel(plane, plane.pixelCount(), [op](std::uint8_t* px) {
      std::uint8_t value;
      if (BlackWhiteRule(op, px[0], px[1], px[2], value)) px[0] = px[1] = px[2] = value;
    });
  }
  // Any other opcode changes nothing.
}

void PaletteKernelBaseline(KernelParams* block, std::uint32_t seed, std::uint32_t, std::intptr_t) {
  RunPaletteFast(*block, seed, PaletteSpanBaseline);
}

// The SIMD variant. A processor without a SIMD target dispatches to a portable target, whose body
// is the baseline's: the dispatch makes that choice once per process.
void PaletteKernelBest(KernelParams* block, std::uint32_t seed, std::uint32_t, std::intptr_t) {
  RunPaletteFast(*block, seed, PaletteSpanBest);
}

}  // namespace asmpic
