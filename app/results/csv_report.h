#pragma once
// The timed runs' samples as a table, one row per test per run, with a header row:
//   run                 1 .. N, the timed run (the warm-up is not included); 0 the window's pass
//                       that gave the list and the score, when the run made one
//   test                the test's short name (asmbench --list-tests)
//   calls               engine calls the test makes
//   seconds             time-of-day seconds, as the list shows them (single precision)
//   monotonic_seconds   the same span on the monotonic clock
//   hash                XXH3-64 of plane 2 after the test, 16 hexadecimal digits
//   match               1 when the hash is the expected one, 0 when not, empty when not applicable
//   mpix_per_second     the test's throughput in this run
//   mode                headless or window
//   kernel_target       the kernels' code: AVX2, SSE2, reference, ...
//   threads             engines that ran at once for the sample: 1
#include <ostream>
#include <string>

#include "app/run/benchmark_runner.h"

namespace asmpic::app {

void WriteCsv(const BenchmarkResult& result, const std::string& kernelTarget, std::ostream& out);

}  // namespace asmpic::app
