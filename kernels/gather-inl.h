// Reading a vector of source pixels at scattered places, for every SIMD target (included by the
// per-target bodies of resample-inl.h and pixel-inl.h).
//
// The processors' gather instructions wait longer on a cache miss than separate loads do (on AVX2
// they made the full HD rotation twice as slow as the scalar pass), so below AVX-512 the pixels are
// loaded one at a time and the vector is built from them in registers: building it from a store
// to memory would wait for the stores to reach the cache before the vector could be read. Only
// AVX-512 gathers. Pixels are read through memcpy, free of alignment and aliasing rules.

// Per-target include guard, as Highway's foreach_target needs.
#if defined(ASMPIC_KERNELS_GATHER_INL_H_) == defined(HWY_TARGET_TOGGLE)
#ifdef ASMPIC_KERNELS_GATHER_INL_H_
#undef ASMPIC_KERNELS_GATHER_INL_H_
#else
#define ASMPIC_KERNELS_GATHER_INL_H_
#endif

#include <hwy/highway.h>

#include <cstdint>
#include <cstring>

HWY_BEFORE_NAMESPACE();
namespace asmpic::HWY_NAMESPACE {

namespace hn = hwy::HWY_NAMESPACE;

#if HWY_TARGET != HWY_SCALAR && HWY_TARGET != HWY_EMU128

using GatherTag = hn::ScalableTag<std::int32_t>;
using GatherVec = hn::Vec<GatherTag>;

HWY_INLINE std::int32_t PixelWordAt(const std::uint8_t* p) {
  std::int32_t w;
  std::memcpy(&w, p, 4);
  return w;
}
HWY_INLINE std::int64_t PixelPairAt(const std::uint8_t* p) {
  std::int64_t w;
  std::memcpy(&w, p, 8);
  return w;
}

// The mask of 32-bit lanes whose lanes 0 .. n - 1 are `lo` and n .. 2n - 1 are `hi`, masks of n
// double lanes.
template <class DD>
HWY_INLINE hn::Mask<GatherTag> NarrowMasks(GatherTag d32, DD dd, hn::Mask<DD> hi, hn::Mask<DD> lo) {
#if HWY_TARGET <= HWY_AVX3 && HWY_ARCH_X86
  // The two 8-bit mask registers side by side.
  (void)d32;
  (void)dd;
  return hn::Mask<GatherTag>{static_cast<__mmask16>(_mm512_kunpackb(hi.raw, lo.raw))};
#else
  const auto low32 = [&](hn::Vec<DD> v) { return hn::BitCast(d32, v); };
  return hn::MaskFromVec(hn::ConcatEven(d32, low32(hn::VecFromMask(dd, hi)), low32(hn::VecFromMask(dd, lo))));
#endif
}

// The pixels at `index` (in pixels from `base`, each lane at least 0) as 32-bit words.
HWY_INLINE GatherVec GatherPixels(GatherTag d32, const std::uint8_t* base, GatherVec index) {
#if HWY_TARGET <= HWY_AVX3 && HWY_ARCH_X86
  return hn::GatherIndex(d32, reinterpret_cast<const std::int32_t*>(base), index);
#elif HWY_TARGET == HWY_AVX2
  // The indexes leave the vector as four 64-bit pairs (half the extractions of one per lane), and
  // each pixel is loaded broadcast, which takes a load port alone, then blended into place:
  // blends run on every vector port, where inserts would queue on the shuffle ports.
  (void)d32;
  const __m128i low = _mm256_castsi256_si128(index.raw);
  const __m128i high = _mm256_extracti128_si256(index.raw, 1);
  const std::uint64_t q[4] = {static_cast<std::uint64_t>(_mm_cvtsi128_si64(low)),
                              static_cast<std::uint64_t>(_mm_extract_epi64(low, 1)),
                              static_cast<std::uint64_t>(_mm_cvtsi128_si64(high)),
                              static_cast<std::uint64_t>(_mm_extract_epi64(high, 1))};
  const auto b = [&](int i) {
    const std::uint64_t pair = q[i / 2];
    const std::uint64_t at = (i & 1) ? pair >> 32 : pair & 0xFFFFFFFFu;
    return _mm256_set1_epi32(PixelWordAt(base + 4 * at));
  };
  const __m256i p01 = _mm256_blend_epi32(b(0), b(1), 0xAA), p23 = _mm256_blend_epi32(b(2), b(3), 0xAA);
  const __m256i p45 = _mm256_blend_epi32(b(4), b(5), 0xAA), p67 = _mm256_blend_epi32(b(6), b(7), 0xAA);
  return GatherVec{
      _mm256_blend_epi32(_mm256_blend_epi32(p01, p23, 0xCC), _mm256_blend_epi32(p45, p67, 0xCC), 0xF0)};
#else
  HWY_ALIGN std::int32_t at[hn::MaxLanes(d32)];
  hn::Store(index, d32, at);
  const auto w = [&](int i) { return PixelWordAt(base + 4 * static_cast<std::int64_t>(at[i])); };
#if HWY_ARCH_X86
  return GatherVec{_mm_setr_epi32(w(0), w(1), w(2), w(3))};
#else
  HWY_ALIGN std::int32_t words[hn::MaxLanes(d32)];
  for (std::size_t i = 0; i < hn::Lanes(d32); ++i) words[i] = w(static_cast<int>(i));
  return hn::Load(d32, words);
#endif
#endif
}

#if HWY_TARGET == HWY_AVX2
// The pixels at the 64-bit indexes of lo (lanes 0 .. 3) and hi (lanes 4 .. 7), each at least 0:
// for indexes made in 64-bit lanes, which leave the vector without narrowing or splitting.
HWY_INLINE GatherVec GatherPixels64(const std::uint8_t* base, __m256i lo, __m256i hi) {
  const auto at = [&](__m256i v, int i) {
    const __m128i half = i < 2 ? _mm256_castsi256_si128(v) : _mm256_extracti128_si256(v, 1);
    const auto place = static_cast<std::uint64_t>((i & 1) ? _mm_extract_epi64(half, 1) : _mm_cvtsi128_si64(half));
    return _mm256_set1_epi32(PixelWordAt(base + 4 * place));
  };
  const __m256i p01 = _mm256_blend_epi32(at(lo, 0), at(lo, 1), 0xAA);
  const __m256i p23 = _mm256_blend_epi32(at(lo, 2), at(lo, 3), 0xAA);
  const __m256i p45 = _mm256_blend_epi32(at(hi, 0), at(hi, 1), 0xAA);
  const __m256i p67 = _mm256_blend_epi32(at(hi, 2), at(hi, 3), 0xAA);
  return GatherVec{
      _mm256_blend_epi32(_mm256_blend_epi32(p01, p23, 0xCC), _mm256_blend_epi32(p45, p67, 0xCC), 0xF0)};
}
#endif

// The pixels at `index` (left) and their right-hand neighbours (right), read as pairs.
HWY_INLINE void GatherPixelPairs(GatherTag d32, const std::uint8_t* base, GatherVec index, GatherVec& left,
                                 GatherVec& right) {
#if HWY_TARGET <= HWY_AVX3 && HWY_ARCH_X86
  left = GatherPixels(d32, base, index);
  right = GatherPixels(d32, base, hn::Add(index, hn::Set(d32, 1)));
#elif HWY_TARGET == HWY_AVX2
  // As GatherPixels: indexes out as 64-bit pairs, each pair of pixels loaded broadcast and
  // blended into place.
  const __m128i low = _mm256_castsi256_si128(index.raw);
  const __m128i high = _mm256_extracti128_si256(index.raw, 1);
  const std::uint64_t q[4] = {static_cast<std::uint64_t>(_mm_cvtsi128_si64(low)),
                              static_cast<std::uint64_t>(_mm_extract_epi64(low, 1)),
                              static_cast<std::uint64_t>(_mm_cvtsi128_si64(high)),
                              static_cast<std::uint64_t>(_mm_extract_epi64(high, 1))};
  const auto b = [&](int i) {
    const std::uint64_t pair = q[i / 2];
    const std::uint64_t at = (i & 1) ? pair >> 32 : pair & 0xFFFFFFFFu;
    return _mm256_set1_epi64x(PixelPairAt(base + 4 * at));
  };
  const GatherVec lo{_mm256_blend_epi32(_mm256_blend_epi32(b(0), b(1), 0xCC), _mm256_blend_epi32(b(2), b(3), 0xCC),
                                        0xF0)};
  const GatherVec hi{_mm256_blend_epi32(_mm256_blend_epi32(b(4), b(5), 0xCC), _mm256_blend_epi32(b(6), b(7), 0xCC),
                                        0xF0)};
  left = hn::ConcatEven(d32, hi, lo);
  right = hn::ConcatOdd(d32, hi, lo);
#else
  HWY_ALIGN std::int32_t at[hn::MaxLanes(d32)];
  hn::Store(index, d32, at);
  const auto w = [&](int i) { return PixelPairAt(base + 4 * static_cast<std::int64_t>(at[i])); };
#if HWY_ARCH_X86
  const GatherVec lo{_mm_set_epi64x(w(1), w(0))};
  const GatherVec hi{_mm_set_epi64x(w(3), w(2))};
#else
  HWY_ALIGN std::int64_t pairs[hn::MaxLanes(d32)];
  for (std::size_t i = 0; i < hn::Lanes(d32); ++i) pairs[i] = w(static_cast<int>(i));
  const GatherVec lo = hn::Load(d32, reinterpret_cast<const std::int32_t*>(pairs));
  const GatherVec hi = hn::Load(d32, reinterpret_cast<const std::int32_t*>(pairs) + hn::Lanes(d32));
#endif
  left = hn::ConcatEven(d32, hi, lo);
  right = hn::ConcatOdd(d32, hi, lo);
#endif
}

#endif  // SIMD targets

}  // namespace asmpic::HWY_NAMESPACE
HWY_AFTER_NAMESPACE();

#endif  // per-target include guard
