#pragma once
// The timed runs' samples as a table, one row per test per run, with a header row:
//   run                 1 .. N, the timed run (the warm-up is not included)
//   test                the test's short name (asmbench --list-tests)
//   calls               engine calls the test makes
//   seconds             time-of-day seconds, as the list shows them (single precision)
//   monotonic_seconds   the same span on the monotonic clock
//   hash                XXH3-64 of plane 2 after the test, 16 hexadecimal digits
//   match               1 when the hash is the expected one, 0 when not, empty when not applicable
#include <ostream>

#include "app/results/benchmark_runner.h"

namespace asmpic::app {

void WriteCsv(const BenchmarkResult& result, std::ostream& out);

}  // namespace asmpic::app
