// The engine's sine and cosine against MPFR evaluated independently (256 bits, then rounded to a
// double): the exact values, and the single-precision values and rounded coordinates the kernels
// take from them, at the arguments the kernels use and where C libraries go wrong.
#include <gtest/gtest.h>
#include <mpfr.h>

#include <cmath>
#include <cstdint>
#include <numbers>
#include <random>
#include <set>
#include <thread>
#include <vector>

#include "kernels/rounding.h"
#include "kernels/sine_cosine.h"

namespace asmpic {
namespace {

using MpfrFunction = int (*)(mpfr_ptr, mpfr_srcptr, mpfr_rnd_t);

double Oracle(double x, MpfrFunction function) {
  mpfr_t argument, result;
  mpfr_init2(argument, 53);
  mpfr_init2(result, 256);
  mpfr_set_d(argument, x, MPFR_RNDN);
  function(result, argument, MPFR_RNDN);
  const double value = mpfr_get_d(result, MPFR_RNDN);
  mpfr_clear(argument);
  mpfr_clear(result);
  return value;
}
double OracleSine(double x) {
  return Oracle(x, mpfr_sin);
}
double OracleCosine(double x) {
  return Oracle(x, mpfr_cos);
}

// The double nearest k * pi / 2, where the cosine (k odd) or sine (k even) nearly vanishes and a
// C library's relative error is largest.
double NearestMultipleOfHalfPi(std::int64_t k) {
  mpfr_t v;
  mpfr_init2(v, 256);
  mpfr_const_pi(v, MPFR_RNDN);
  mpfr_mul_si(v, v, static_cast<long>(k), MPFR_RNDN);
  mpfr_div_2ui(v, v, 1, MPFR_RNDN);
  const double x = mpfr_get_d(v, MPFR_RNDN);
  mpfr_clear(v);
  return x;
}

// Angles whose sine or cosine lies within a few ulp of half way between two floats: every one of
// them must take the exact path, and the C library's value is the wrong side for some.
std::vector<double> AnglesAtSingleBoundaries(int count, unsigned seed) {
  std::mt19937 random(seed);
  std::vector<double> angles;
  for (int i = 0; i < count; ++i) {
    const float f = std::uniform_real_distribution<float>(-1.0f, 1.0f)(random);
    const double half = (static_cast<double>(f) + std::nextafter(f, 2.0f)) / 2;
    angles.push_back(std::acos(half));
    angles.push_back(std::asin(half) + (i % 2 == 0 ? 0.0 : 2 * std::numbers::pi));
  }
  return angles;
}

void ExpectSameEverywhere(const std::vector<double>& angles, const char* what) {
  for (const double x : angles) {
    const double s = OracleSine(x), c = OracleCosine(x);
    ASSERT_EQ(SingleSine(x), ToSingle(s)) << what << " sin " << std::hexfloat << x;
    ASSERT_EQ(SingleCosine(x), ToSingle(c)) << what << " cos " << std::hexfloat << x;
  }
}

TEST(SineCosine, ExactValuesEqualMpfrFromTinyToHugeArguments) {
  std::vector<double> angles = {0.0, -0.0, 0x1p-1074, 0x1p-30, -0x1p-26, 1e-8, 0.5, 1.0, 3.0, 1e6, 1e22,
                                0x1p1023, std::numeric_limits<double>::max(),
                                // the double closest to a multiple of pi / 2 of all doubles
                                std::ldexp(6381956970095103.0, 797)};
  std::mt19937_64 random(5);
  for (int i = 0; i < 3000; ++i) {
    angles.push_back(std::ldexp(std::uniform_real_distribution<double>(-1.0, 1.0)(random),
                                std::uniform_int_distribution<int>(-40, 60)(random)));
  }
  for (const std::int64_t k : {1, 2, 3, 4, 5, 7, 100, 1001, 123456789}) {
    const double x = NearestMultipleOfHalfPi(k);
    angles.insert(angles.end(), {x, std::nextafter(x, 0.0), std::nextafter(x, 10.0 * x), -x});
  }
  for (const double x : angles) {
    ASSERT_EQ(ExactSine(x), OracleSine(x)) << std::hexfloat << x;
    ASSERT_EQ(ExactCosine(x), OracleCosine(x)) << std::hexfloat << x;
  }
  EXPECT_TRUE(std::isnan(ExactSine(std::numeric_limits<double>::infinity())));
  EXPECT_TRUE(std::isnan(SingleCosine(std::numeric_limits<double>::quiet_NaN())));
  EXPECT_EQ(std::signbit(SingleSine(-0.0)), true);
}

// Every angle the rotate kernel can be given (degrees + 360 from a 16-bit angle) and every angle of
// a 297 x 217 twirl at each amount, converted as the kernels convert them.
TEST(SineCosine, SingleValuesOfTheRotationAndTwirlAnglesEqualTheExactValueRounded) {
  std::vector<double> rotation;
  for (std::int32_t degrees = -32768 + 360; degrees <= 32767 + 360; ++degrees) {
    rotation.push_back(degrees * (std::numbers::pi / 180.0));
  }
  ExpectSameEverywhere(rotation, "rotation");

  std::set<double> twirl;
  for (const double pi :
       {std::numbers::pi / 2, std::numbers::pi, 3 * std::numbers::pi / 2, 2 * std::numbers::pi}) {
    const double k = ToSingle(pi), m = 297;
    for (int dx = -148; dx <= 148; ++dx)
      for (int dy = -108; dy <= 108; ++dy) twirl.insert(k * std::sqrt(double(dx * dx + dy * dy)) / m);
  }
  ExpectSameEverywhere({twirl.begin(), twirl.end()}, "twirl");

  std::vector<double> nearMultiples;
  for (std::int64_t k = 1; k <= 2000; ++k) {
    const double x = NearestMultipleOfHalfPi(k);
    nearMultiples.insert(nearMultiples.end(), {x, std::nextafter(x, 0.0), std::nextafter(x, 1e9)});
  }
  ExpectSameEverywhere(nearMultiples, "near k pi / 2");
}

// Values half way between two floats cannot be settled by any C library's value: SingleSine and
// SingleCosine must take MPFR's, and a result that changes with every ulp (the value itself) is
// always the exact one.
TEST(SineCosine, ValuesNoCLibraryValueSettlesTakeTheExactPath) {
  ExpectSameEverywhere(AnglesAtSingleBoundaries(3000, 11), "boundary");
  for (const double x : {0.7, -2.5, 1e5}) {
    EXPECT_EQ(ThroughSine(x, [](double s) { return s; }), OracleSine(x));
    EXPECT_EQ(ThroughCosine(x, [](double c) { return c; }), OracleCosine(x));
  }
  // The workers of a large picture reach the exact path at the same time.
  const std::vector<double> angles = AnglesAtSingleBoundaries(200, 12);
  std::vector<float> first(angles.size()), second(angles.size());
  std::jthread a([&] {
    for (std::size_t i = 0; i < angles.size(); ++i) first[i] = SingleSine(angles[i]);
  });
  std::jthread b([&] {
    for (std::size_t i = 0; i < angles.size(); ++i) second[i] = SingleSine(angles[i]);
  });
  a.join();
  b.join();
  for (std::size_t i = 0; i < angles.size(); ++i) {
    ASSERT_EQ(first[i], ToSingle(OracleSine(angles[i])));
    ASSERT_EQ(second[i], first[i]);
  }
}

// The ripple table's rows and the flare's coordinates: a result rounded after more arithmetic.
TEST(SineCosine, RoundedRippleRowsAndFlareCoordinatesEqualTheExactValuesResults) {
  for (std::int32_t i = 1; i <= 4000; ++i) {
    const double x = i / 5.0, s = OracleSine(x);
    for (const std::int32_t amount : {1, -1, 7, 300, -32768, 32767}) {
      const auto row = [&](double v) { return ToSingle(i + 2 * v * amount); };
      ASSERT_EQ(ThroughSine(x, row), row(s)) << i << " " << amount;
    }
  }
  const double degree = ToSingle(std::numbers::pi / 180.0);
  for (int t = 1; t <= 359; ++t) {
    const double angle = t * degree, s = OracleSine(angle), c = OracleCosine(angle);
    for (const double centre : {148.0, 108.5, 0.25, -3.0, 1000.0}) {
      for (double radius = 1; radius <= 3000; ++radius) {
        const auto at = [&](double v) { return RoundClamped(centre + radius * v); };
        ASSERT_EQ(ThroughSine(angle, at), at(s)) << t << " " << centre << " " << radius;
        ASSERT_EQ(ThroughCosine(angle, at), at(c)) << t << " " << centre << " " << radius;
      }
    }
  }
}

}  // namespace
}  // namespace asmpic
