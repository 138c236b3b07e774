// The palette effects' SIMD body, compiled once per target by palette_simd.cpp (foreach_target): every
// opcode but the noise over a span of pixels, whole vectors of pixels at a time; the pixels after
// the last whole vector go to the baseline.
#if defined(ASMPIC_KERNELS_PALETTE_INL_H_) == defined(HWY_TARGET_TOGGLE)
#ifdef ASMPIC_KERNELS_PALETTE_INL_H_
#undef ASMPIC_KERNELS_PALETTE_INL_H_
#else
#define ASMPIC_KERNELS_PALETTE_INL_H_
#endif

#include <hwy/highway.h>

#include <cstdint>

#include "kernels/palette_internal.h"

HWY_BEFORE_NAMESPACE();
namespace asmpic {
namespace HWY_NAMESPACE {
namespace hn = hwy::HWY_NAMESPACE;

// Runs `step` on every whole vector of pixels (32-bit lanes, blue in the low byte) and returns
// how many pixels it covered.
template <class Step>
HWY_INLINE std::int64_t EachPixelVector(std::uint8_t* HWY_RESTRICT bytes, std::int64_t pixels, Step step) {
  const hn::ScalableTag<std::uint32_t> d;
  const auto lanes = static_cast<std::int64_t>(hn::Lanes(d));
  std::int64_t p = 0;
  for (; p + lanes <= pixels; p += lanes) {
    auto* at = reinterpret_cast<std::uint32_t*>(bytes + 4 * p);
    hn::StoreU(step(hn::LoadU(d, at)), d, at);
  }
  return p;
}

// The colour bytes (0 ... 2) of each pixel as 0xFF where `flag` holds for the byte, packed into
// its pixel's lane: bit 0-7 blue, 8-15 green, 16-23 red.
template <class D32, class M8>
HWY_INLINE hn::Vec<D32> ByteFlags(D32 d, M8 flag) {
  const hn::Repartition<std::uint8_t, D32> d8;
  return hn::BitCast(d, hn::VecFromMask(d8, flag));
}

void PaletteSpanSimd(std::int32_t op, std::uint8_t* HWY_RESTRICT bytes, std::int64_t pixels,
                     std::uint32_t addendWord) {
#if HWY_TARGET == HWY_SCALAR || HWY_TARGET == HWY_EMU128
  // The portable targets (one lane, or vectors emulated with scalar code) would be slower than
  // the baseline, which is what a processor without a SIMD target runs.
  PaletteSpanBaseline(op, bytes, pixels, addendWord);
#else
  const hn::ScalableTag<std::uint32_t> d;
  const hn::Repartition<std::uint8_t, decltype(d)> d8;
  using V = hn::Vec<decltype(d)>;
  const V top = hn::Set(d, 0xFF000000u);
  const V colourBits = hn::Set(d, 0x00FFFFFFu);
  const V low = hn::Set(d, 0xFFu);
  const auto keepTop = [&](V v, V colour) { return hn::Or(hn::And(v, top), colour); };
  // The low byte of each lane copied to blue, green and red, byte 3 cleared: one byte shuffle.
  alignas(16) static constexpr std::uint8_t kSpread[16] = {0, 0, 0, 0x80, 4,  4,  4,  0x80,
                                                           8, 8, 8, 0x80, 12, 12, 12, 0x80};
  const auto spreadIndex = hn::LoadDup128(d8, kSpread);
  const auto spread = [&](V lowByte) {
    return hn::BitCast(d, hn::TableLookupBytesOr0(hn::BitCast(d8, lowByte), spreadIndex));
  };
  const auto allThree = [&](V flags) { return hn::Eq(hn::And(flags, colourBits), colourBits); };

  // The pixels before the first vector-aligned address go to the baseline, so that no vector
  // load or store of the span straddles two cache lines: planes start wherever the buffer puts
  // them, and a 64-byte vector that straddles costs AVX-512 half its speed on long spans.
  const auto vectorBytes = static_cast<std::uintptr_t>(hn::Lanes(d) * 4);
  const auto address = reinterpret_cast<std::uintptr_t>(bytes);
  if (address % 4 == 0 && pixels >= 4 * static_cast<std::int64_t>(hn::Lanes(d))) {
    const auto head = static_cast<std::int64_t>(((vectorBytes - address % vectorBytes) % vectorBytes) / 4);
    if (head > 0) {
      PaletteSpanBaseline(op, bytes, head, addendWord);
      bytes += 4 * head;
      pixels -= head;
    }
  }
  std::int64_t done = 0;
  const auto d8Addend = hn::BitCast(d8, hn::Set(d, addendWord));
  switch (op) {
    case kShiftUp:
      done = EachPixelVector(bytes, pixels,
                             [&](V v) { return hn::BitCast(d, hn::Add(hn::BitCast(d8, v), d8Addend)); });
      break;
    case kShiftDown:
      done = EachPixelVector(bytes, pixels,
                             [&](V v) { return hn::BitCast(d, hn::Sub(hn::BitCast(d8, v), d8Addend)); });
      break;
    case kInvert:
      done = EachPixelVector(bytes, pixels, [&](V v) { return hn::Not(v); });
      break;
    case kGreyscale:
      // sum * 43691 >> 17 is sum div 3 for every sum up to 765.
      done = EachPixelVector(bytes, pixels, [&](V v) {
        const V sum = hn::Add(hn::Add(hn::And(v, low), hn::And(hn::ShiftRight<8>(v), low)),
                              hn::And(hn::ShiftRight<16>(v), low));
        const V grey = hn::ShiftRight<17>(hn::Mul(sum, hn::Set(d, 43691u)));
        return keepTop(v, spread(grey));
      });
      break;
    case kDarkToBlack:
      done = EachPixelVector(bytes, pixels, [&](V v) {
        const auto v8 = hn::BitCast(d8, v);
        const V dark = ByteFlags(d, hn::Eq(hn::SaturatedSub(v8, hn::Set(d8, 24)), hn::Zero(d8)));
        return hn::IfThenElse(allThree(dark), hn::And(v, top), v);
      });
      break;
    case kLightToWhite:
      done = EachPixelVector(bytes, pixels, [&](V v) {
        const auto v8 = hn::BitCast(d8, v);
        const V notLight = ByteFlags(d, hn::Eq(hn::SaturatedSub(v8, hn::Set(d8, 248)), hn::Zero(d8)));
        return hn::IfThenElse(hn::Eq(hn::And(notLight, colourBits), hn::Zero(d)), hn::Or(v, colourBits), v);
      });
      break;
    case kBlackToWhite:
      done = EachPixelVector(bytes, pixels, [&](V v) {
        return hn::IfThenElse(hn::Eq(hn::And(v, colourBits), hn::Zero(d)), hn::Or(v, colourBits), v);
      });
      break;
    case kWhiteToBlack:
      done = EachPixelVector(bytes, pixels, [&](V v) {
        return hn::IfThenElse(hn::Eq(hn::And(v, colourBits), colourBits), hn::And(v, top), v);
      });
      break;
    case kNonWhiteToBlack:
      done = EachPixelVector(bytes, pixels, [&](V v) {
        return hn::IfThenElse(hn::Eq(hn::And(v, colourBits), colourBits), v, hn::And(v, top));
      });
      break;
    case kNonBlackToWhite:
      done = EachPixelVector(bytes, pixels, [&](V v) {
        return hn::IfThenElse(hn::Eq(hn::And(v, colourBits), hn::Zero(d)), v, hn::Or(v, colourBits));
      });
      break;
    case kThreshold:
      // White where red reaches the level, or green does while blue stays below it: with the
      // flags of blue, green, red in bytes 0, 1, 2, byte 0 of (~flags & flags >> 8) | flags >> 16.
      done = EachPixelVector(bytes, pixels, [&](V v) {
        const auto v8 = hn::BitCast(d8, v);
        const V high =
            ByteFlags(d, hn::Ne(hn::SaturatedSub(v8, hn::Set(d8, kThresholdLevel - 1)), hn::Zero(d8)));
        return keepTop(v,
                       spread(hn::Or(hn::AndNot(high, hn::ShiftRight<8>(high)), hn::ShiftRight<16>(high))));
      });
      break;
    default:
      if (IsChannelArithmetic(op)) {
        // Even opcodes raise, odd ones lower, both saturating.
        const bool raise = op % 2 == 0;
        done = EachPixelVector(bytes, pixels, [&](V v) {
          const auto v8 = hn::BitCast(d8, v);
          return hn::BitCast(d, raise ? hn::SaturatedAdd(v8, d8Addend) : hn::SaturatedSub(v8, d8Addend));
        });
      }
      break;
  }
  if (done < pixels) PaletteSpanBaseline(op, bytes + 4 * done, pixels - done, addendWord);
#endif
}

}  // namespace HWY_NAMESPACE
}  // namespace asmpic
HWY_AFTER_NAMESPACE();

#endif  // include guard
