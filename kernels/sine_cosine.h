#pragma once
// The engine's sine and cosine: the double nearest the exact value (an exact half to the even
// neighbour), so that every processor and C library computes the same pictures. C libraries differ
// in the last bit of sin and cos (one picks a fused multiply-add variant at run time, another works
// on the x87 unit, another is a different implementation altogether); each is within a few ulp of
// the exact value, but which neighbour it returns is its own.
//
// The kernels never use a sine or cosine as it is: they round it again, to single precision or to
// an integer coordinate. So the fast path takes the C library's value d and trusts it only as far
// as every double within kSlack of d leads to the same final result; the exactly rounded value lies
// in that range, so that result is the engine's too. Only arguments whose result lies that close to
// a rounding boundary (about one in three million for a single-precision result) compute the exact
// value, with GNU MPFR.
#include <cmath>
#include <cstdint>

#include "kernels/rounding.h"

namespace asmpic {

// Relative distance from the C library's value within which the exactly rounded value lies: about
// 64 ulp, far wider than any C library's error for sin and cos (at most 1 or 2 ulp).
inline constexpr double kSineCosineSlack = 0x1p-46;

// The exactly rounded sine and cosine (slow: use the forms below where a result is rounded again).
double ExactSine(double x);
double ExactCosine(double x);

// A C library value with the range of doubles [low, high] that holds the exactly rounded value.
struct NearbyValue {
  double value;
  double low;
  double high;
};

inline NearbyValue Nearby(double value) {
  const double slack = std::abs(value) * kSineCosineSlack;
  return {value, value - slack, value + slack};
}

// f of the exact sine or cosine of x, for any f that never decreases or never increases (rounding
// to single precision, a coordinate cx + r * s rounded to an integer, ...): when f gives one result
// over the whole nearby range, that result, else f of the exact value.
template <typename F>
auto Settle(const NearbyValue& nearby, F f, double (*exact)(double), double x) {
  const auto low = f(nearby.low);
  if (low == f(nearby.high)) return low;
  return f(exact(x));
}

template <typename F>
auto ThroughSine(double x, F f) {
  return Settle(Nearby(std::sin(x)), f, ExactSine, x);
}

template <typename F>
auto ThroughCosine(double x, F f) {
  return Settle(Nearby(std::cos(x)), f, ExactCosine, x);
}

// The exact sine and cosine rounded to single precision (a plain conversion: no value in the
// range can overflow a float).
inline float SingleSine(double x) {
  return ThroughSine(x, [](double v) { return static_cast<float>(v); });
}

inline float SingleCosine(double x) {
  return ThroughCosine(x, [](double v) { return static_cast<float>(v); });
}

}  // namespace asmpic
