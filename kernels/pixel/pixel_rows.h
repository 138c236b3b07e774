#pragma once
// One destination row of the neighbourhood effects (smoothing, the three 3 x 3 channel filters and
// the ripple's row copy), as the SIMD variant runs it: pixel_rows_simd.cpp compiles the row bodies
// for every target (pixel_rows-inl.h) and these entries dispatch to the best one the processor
// offers. Callers check BestHasSimdTarget() first; without a SIMD target the baseline's rows run.
//
// A row reads only plane 3 and writes only its own row of plane 2, so rows split into bands on
// the worker pool give the same bytes.
#include <algorithm>
#include <cstdint>

namespace asmpic::pixel_rows {

// The source rows y - 1 (down), y (mid) and y + 1 (up) about destination row y, and that row
// (out), each from pixel 1 on, `width` pixels long. `down` and `up` may be null where an
// operation does not read them (smoothing with Amount 1).
struct RowSet {
  const std::uint8_t* down;
  const std::uint8_t* mid;
  const std::uint8_t* up;
  std::uint8_t* out;
  std::int64_t width;
};

// Smoothing with Amount 1, 2, 4 or 8 (any other writes nothing): Amount 2 writes pixels 1 ... W,
// the others 2 ... W - 1, all four bytes.
void SmoothingRowBest(const RowSet& rows, std::int32_t amount);

// The channel filters over pixels 2 ... W - 1; byte 3 keeps its value. colour[k] is the effect
// colour's component for byte k (k = 0, 1, 2); colour[3] is 0.
void ContourRowBest(const RowSet& rows, const int* colour);
void EmbossRowBest(const RowSet& rows, const int* colour);
void ReliefRowBest(const RowSet& rows, const int* colour);

// The ripple: bytes 0 ... 2 of `width` pixels from `from` to `out`; byte 3 of `out` keeps its value.
void CopyColourRowBest(const std::uint8_t* from, std::uint8_t* out, std::int64_t width);

// The filters' arithmetic for one byte: pointers to the same byte in the rows below, at and
// above the pixel (the neighbours lie 4 bytes either side) and the colour component of that
// byte's channel. Shared by the baseline's and the SIMD variant's row ends.
inline int ContourChannel(const std::uint8_t* down, const std::uint8_t* mid, const std::uint8_t* up,
                          int colour) {
  const int n = down[-4] + down[0] + down[4] + mid[-4] + mid[4] + up[-4] + up[0] + up[4];
  return std::clamp(8 * mid[0] - n + colour, 0, 255);
}

inline int EmbossChannel(const std::uint8_t*, const std::uint8_t* mid, const std::uint8_t* up, int colour) {
  const int d = mid[0] - up[4] - colour;
  return std::min(d < 0 ? -d : d, 255);
}

inline int ReliefChannel(const std::uint8_t* down, const std::uint8_t* mid, const std::uint8_t* up,
                         int colour) {
  const int t = mid[0] + up[0] + 2 * up[4] + mid[4] - mid[-4] - 2 * down[-4] - down[0];
  const int v = (t >> 1) + 50;  // arithmetic shift: halves rounding down, also below 0
  return v > 255 ? colour : std::max(v, 0);
}

}  // namespace asmpic::pixel_rows
