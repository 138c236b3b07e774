// The exactly rounded sine and cosine, from GNU MPFR, for the rare arguments whose result the C
// library's value cannot settle (see sine_cosine.h).
#include "kernels/sine_cosine.h"

#include <mpfr.h>

namespace asmpic {
namespace {

double Exact(double x, int (*function)(mpfr_ptr, mpfr_srcptr, mpfr_rnd_t)) {
  // 53 bits hold every double exactly, and MPFR's exponent range is far wider than a double's: the
  // argument goes in exactly and the result, rounded once to 53 bits, comes out exactly. Results
  // below double's normal range cannot arise: sin x rounds to x itself long before that.
  MPFR_DECL_INIT(argument, 53);
  MPFR_DECL_INIT(result, 53);
  mpfr_set_d(argument, x, MPFR_RNDN);
  function(result, argument, MPFR_RNDN);
  const double value = mpfr_get_d(result, MPFR_RNDN);
  // MPFR keeps constants such as pi per thread on the heap; free them rather than leave them to the
  // workers' thread exit. Exact values are rare, so computing pi again costs next to nothing.
  mpfr_free_cache2(MPFR_FREE_LOCAL_CACHE);
  return value;
}

}  // namespace

double ExactSine(double x) {
  return Exact(x, mpfr_sin);
}

double ExactCosine(double x) {
  return Exact(x, mpfr_cos);
}

}  // namespace asmpic
