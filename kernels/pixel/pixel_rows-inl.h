// The neighbourhood effects' rows (see pixel_rows.h), compiled once per target by
// pixel_rows_simd.cpp (foreach_target). Smoothing works on whole pixels as 32-bit lanes; the
// channel filters widen bytes to 16-bit lanes, where their sums cannot overflow, and narrow them
// back with saturation, which is the clamp to 0 ... 255.
//
// Each row is cut into whole vectors; where the row's span is not a multiple of the vector, the
// last vector starts earlier and overlaps the one before it. That writes the same bytes again,
// since a row reads only plane 3 and writes only plane 2. Spans narrower than one vector go
// pixel by pixel.
#if defined(ASMPIC_KERNELS_PIXEL_PIXEL_ROWS_INL_H_) == defined(HWY_TARGET_TOGGLE)
#ifdef ASMPIC_KERNELS_PIXEL_PIXEL_ROWS_INL_H_
#undef ASMPIC_KERNELS_PIXEL_PIXEL_ROWS_INL_H_
#else
#define ASMPIC_KERNELS_PIXEL_PIXEL_ROWS_INL_H_
#endif

#include <hwy/highway.h>

#include <algorithm>
#include <cstdint>
#include <cstring>

#include "kernels/kernel_params.h"
#include "kernels/pixel/pixel_rows.h"

HWY_BEFORE_NAMESPACE();
namespace asmpic::pixel_rows {
namespace HWY_NAMESPACE {
namespace hn = hwy::HWY_NAMESPACE;

// Calls body(at) for at = first, first + n, ... and a last time at end - n, so that [first, end)
// is covered by whole spans of n; needs end - first >= n.
template <class Body>
HWY_INLINE void CoverSpan(std::int64_t first, std::int64_t end, std::int64_t n, const Body& body) {
  for (std::int64_t at = first;; at += n) {
    at = std::min(at, end - n);
    body(at);
    if (at + n >= end) break;
  }
}

// Each byte of each lane shifted right by kShift, rounding down; the mask drops the bits the shift
// would carry into the next lower byte.
template <int kShift, class V>
HWY_INLINE V ByteShare(V v) {
  const hn::DFromV<V> d;
  constexpr std::uint32_t kMask = ((0xFFu << kShift) & 0xFFu) * 0x01010101u;
  return hn::ShiftRight<kShift>(hn::And(v, hn::Set(d, kMask)));
}

#if HWY_TARGET != HWY_SCALAR
// Smoothing of the pixels (0-based) at ... at + Lanes(d) - 1 of the row.
template <int kAmount, class D>
HWY_INLINE void SmoothPixels(D d, const RowSet& rows, std::int64_t at) {
  const hn::Repartition<std::uint8_t, D> d8;
  const auto word = [&](const std::uint8_t* row, std::int64_t pixel) {
    return hn::BitCast(d, hn::LoadU(d8, row + 4 * pixel));
  };
  hn::Vec<D> sum;
  if constexpr (kAmount == 1) {
    sum = hn::Add(ByteShare<1>(word(rows.mid, at - 1)), ByteShare<1>(word(rows.mid, at + 1)));
  } else if constexpr (kAmount == 2) {
    sum = hn::Add(ByteShare<1>(word(rows.down, at)), ByteShare<1>(word(rows.up, at)));
  } else if constexpr (kAmount == 4) {
    sum = hn::Add(hn::Add(ByteShare<2>(word(rows.down, at - 1)), ByteShare<2>(word(rows.down, at + 1))),
                  hn::Add(ByteShare<2>(word(rows.up, at - 1)), ByteShare<2>(word(rows.up, at + 1))));
  } else {
    const auto three = [&](const std::uint8_t* row) {
      return hn::Add(hn::Add(ByteShare<3>(word(row, at - 1)), ByteShare<3>(word(row, at))),
                     ByteShare<3>(word(row, at + 1)));
    };
    const auto sides = hn::Add(ByteShare<3>(word(rows.mid, at - 1)), ByteShare<3>(word(rows.mid, at + 1)));
    sum = hn::Add(hn::Add(three(rows.down), three(rows.up)), sides);
  }
  hn::StoreU(hn::BitCast(d8, sum), d8, rows.out + 4 * at);
}
#endif

template <int kAmount>
HWY_INLINE void SmoothSpan(const RowSet& rows, std::int64_t first, std::int64_t end) {
#if HWY_TARGET == HWY_SCALAR
  // One-lane vectors hold no bytes of their own: plain words, the same shares.
  for (std::int64_t at = first; at < end; ++at) {
    const auto share = [&](const std::uint8_t* row, std::int64_t pixel, int shift) {
      const std::uint32_t mask = ((0xFFu << shift) & 0xFFu) * 0x01010101u;
      return (LoadPixelWord(row + 4 * pixel) & mask) >> shift;
    };
    std::uint32_t sum = 0;
    if constexpr (kAmount == 1) {
      sum = share(rows.mid, at - 1, 1) + share(rows.mid, at + 1, 1);
    } else if constexpr (kAmount == 2) {
      sum = share(rows.down, at, 1) + share(rows.up, at, 1);
    } else if constexpr (kAmount == 4) {
      sum = share(rows.down, at - 1, 2) + share(rows.down, at + 1, 2) + share(rows.up, at - 1, 2) +
            share(rows.up, at + 1, 2);
    } else {
      for (const std::uint8_t* row : {rows.down, rows.up})
        sum += share(row, at - 1, 3) + share(row, at, 3) + share(row, at + 1, 3);
      sum += share(rows.mid, at - 1, 3) + share(rows.mid, at + 1, 3);
    }
    StorePixelWord(rows.out + 4 * at, sum);
  }
#else
  const hn::ScalableTag<std::uint32_t> d;
  const auto n = static_cast<std::int64_t>(hn::Lanes(d));
  if (end - first >= n) {
    CoverSpan(first, end, n, [&](std::int64_t at) { SmoothPixels<kAmount>(d, rows, at); });
  } else {
    const hn::CappedTag<std::uint32_t, 1> one;
    for (std::int64_t at = first; at < end; ++at) SmoothPixels<kAmount>(one, rows, at);
  }
#endif
}

void SmoothingRow(const RowSet& rows, std::int32_t amount) {
  const std::int64_t w = rows.width;
  switch (amount) {
    case 1:
      return SmoothSpan<1>(rows, 1, w - 1);
    case 2:
      return SmoothSpan<2>(rows, 0, w);
    case 4:
      return SmoothSpan<4>(rows, 1, w - 1);
    case 8:
      return SmoothSpan<8>(rows, 1, w - 1);
    default:
      return;
  }
}

// The channel filters on 16-bit lanes: at(row, offset) gives the bytes of row 0 (down), 1 (mid)
// or 2 (up), `offset` bytes on, widened; `colour` holds each lane's colour component.
struct ContourLanes {
  static constexpr auto kChannel = ContourChannel;
  static constexpr bool kPairs = false;  // nine neighbours twice over spill registers: slower
  template <class At, class V>
  static V Lanes(const At& at, V colour) {
    const auto n = hn::Add(hn::Add(hn::Add(at(0, -4), at(0, 0)), hn::Add(at(0, 4), at(1, -4))),
                           hn::Add(hn::Add(at(1, 4), at(2, -4)), hn::Add(at(2, 0), at(2, 4))));
    return hn::Sub(hn::Add(hn::ShiftLeft<3>(at(1, 0)), colour), n);  // -2040 ... 2295
  }
};

struct EmbossLanes {
  static constexpr auto kChannel = EmbossChannel;
  static constexpr bool kPairs = true;
  template <class At, class V>
  static V Lanes(const At& at, V colour) {
    return hn::Abs(hn::Sub(hn::Sub(at(1, 0), at(2, 4)), colour));  // 0 ... 510
  }
};

struct ReliefLanes {
  static constexpr auto kChannel = ReliefChannel;
  static constexpr bool kPairs = true;
  template <class At, class V>
  static V Lanes(const At& at, V colour) {
    const hn::DFromV<V> d;
    const auto plus = hn::Add(hn::Add(at(1, 0), at(2, 0)), hn::Add(hn::ShiftLeft<1>(at(2, 4)), at(1, 4)));
    const auto minus = hn::Add(hn::Add(at(1, -4), hn::ShiftLeft<1>(at(0, -4))), at(0, 0));
    const auto v = hn::Add(hn::ShiftRight<1>(hn::Sub(plus, minus)), hn::Set(d, 50));
    return hn::IfThenElse(hn::Gt(v, hn::Set(d, 255)), colour, v);
  }
};

#if HWY_ARCH_X86 && (HWY_TARGET == HWY_AVX2 || HWY_TARGET == HWY_SSE4 || HWY_TARGET == HWY_SSSE3)
// Below AVX-512 the 16-bit lanes of a whole vector are narrowed two vectors at a time, into one
// whole vector of bytes: one saturating pack (in order once the 128-bit blocks are put back in
// place) where one vector at a time would fill only half a vector per pack.
constexpr bool kNarrowPairs = true;
template <class D8, class V16>
HWY_INLINE hn::Vec<D8> NarrowPair(D8, V16 lo, V16 hi) {
#if HWY_TARGET == HWY_AVX2
  return hn::Vec<D8>{_mm256_permute4x64_epi64(_mm256_packus_epi16(lo.raw, hi.raw), 0xD8)};
#else
  return hn::Vec<D8>{_mm_packus_epi16(lo.raw, hi.raw)};
#endif
}
#else
constexpr bool kNarrowPairs = false;
template <class D8, class V16>
HWY_INLINE hn::Vec<D8> NarrowPair(D8, V16, V16);  // never called
#endif

// Bytes 4 ... 4 (W - 1) - 1 of the row (pixels 2 ... W - 1); the loads reach 4 bytes either side,
// still inside the rows.
template <class Filter>
HWY_INLINE void FilterRow(const RowSet& rows, const int* colour) {
  const std::uint8_t* const source[3] = {rows.down, rows.mid, rows.up};
  const std::int64_t end = 4 * (rows.width - 1);
#if HWY_TARGET != HWY_SCALAR
  const hn::ScalableTag<std::int16_t> d16;
  const hn::Rebind<std::uint8_t, decltype(d16)> d8;
  const auto n = static_cast<std::int64_t>(hn::Lanes(d16));  // a multiple of 4: whole pixels
  if (end - 4 >= n) {
    HWY_ALIGN std::int16_t pattern[HWY_MAX_BYTES / sizeof(std::int16_t)];
    for (std::int64_t k = 0; k < n; ++k) pattern[k] = static_cast<std::int16_t>(colour[k & 3]);
    const auto colour16 = hn::LoadU(d16, pattern);
    if constexpr (kNarrowPairs && Filter::kPairs) {
      const hn::Repartition<std::uint8_t, decltype(d16)> dWhole;  // 2n bytes
      if (end - 4 >= 2 * n) {
        const auto three = hn::Set(dWhole, 3);
        const auto keep = hn::Eq(hn::And(hn::Iota(dWhole, 0), three), three);  // byte 3 of each pixel
        CoverSpan(4, end, 2 * n, [&](std::int64_t at) {
          const auto low = [&](int row, int offset) {
            return hn::PromoteTo(d16, hn::LoadU(d8, source[row] + at + offset));
          };
          const auto high = [&](int row, int offset) {
            return hn::PromoteTo(d16, hn::LoadU(d8, source[row] + at + n + offset));
          };
          const auto v = NarrowPair(dWhole, Filter::Lanes(low, colour16), Filter::Lanes(high, colour16));
          hn::StoreU(hn::IfThenElse(keep, hn::LoadU(dWhole, rows.out + at), v), dWhole, rows.out + at);
        });
        return;
      }
    }
    const auto three = hn::Set(d8, 3);
    const auto keep = hn::Eq(hn::And(hn::Iota(d8, 0), three), three);  // byte 3 of each pixel
    CoverSpan(4, end, n, [&](std::int64_t at) {
      const auto lanes = [&](int row, int offset) {
        return hn::PromoteTo(d16, hn::LoadU(d8, source[row] + at + offset));
      };
      const auto v = hn::DemoteTo(d8, Filter::Lanes(lanes, colour16));
      hn::StoreU(hn::IfThenElse(keep, hn::LoadU(d8, rows.out + at), v), d8, rows.out + at);
    });
    return;
  }
#endif
  for (std::int64_t i = 4; i < end; ++i) {
    if ((i & 3) != 3) {
      rows.out[i] = static_cast<std::uint8_t>(
          Filter::kChannel(source[0] + i, source[1] + i, source[2] + i, colour[i & 3]));
    }
  }
}

void ContourRow(const RowSet& rows, const int* colour) {
  FilterRow<ContourLanes>(rows, colour);
}
void EmbossRow(const RowSet& rows, const int* colour) {
  FilterRow<EmbossLanes>(rows, colour);
}
void ReliefRow(const RowSet& rows, const int* colour) {
  FilterRow<ReliefLanes>(rows, colour);
}

void CopyColourRow(const std::uint8_t* HWY_RESTRICT from, std::uint8_t* HWY_RESTRICT out,
                   std::int64_t width) {
  const std::int64_t end = 4 * width;
#if HWY_TARGET != HWY_SCALAR
  const hn::ScalableTag<std::uint8_t> d8;
  const auto n = static_cast<std::int64_t>(hn::Lanes(d8));  // a multiple of 4: whole pixels
  if (end >= n) {
    const auto three = hn::Set(d8, 3);
    const auto keep = hn::Eq(hn::And(hn::Iota(d8, 0), three), three);
    CoverSpan(0, end, n, [&](std::int64_t at) {
      hn::StoreU(hn::IfThenElse(keep, hn::LoadU(d8, out + at), hn::LoadU(d8, from + at)), d8, out + at);
    });
    return;
  }
#endif
  for (std::int64_t i = 0; i < end; i += 4) std::memcpy(out + i, from + i, 3);
}

}  // namespace HWY_NAMESPACE
}  // namespace asmpic::pixel_rows
HWY_AFTER_NAMESPACE();

#endif  // include guard
