#include "app/results/csv_report.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>

#include "app/run/benchmark_table.h"
#include "app/results/expected_hashes.h"

namespace asmpic::app {

namespace {

// Shortest text that reads back as the same double.
std::string Number(double value) {
  char text[32];
  for (int digits = 1; digits <= 17; ++digits) {
    std::snprintf(text, sizeof text, "%.*g", digits, value);
    if (std::strtod(text, nullptr) == value) break;
  }
  return text;
}

}  // namespace

void WriteCsv(const BenchmarkResult& result, const std::string& kernelTarget, std::ostream& out) {
  const bool compared = result.validation.verdict != Verdict::NotApplicable;
  out << "run,test,calls,seconds,monotonic_seconds,hash,match,mpix_per_second,mode,kernel_target,threads,position,verdict\n";
  const char* verdict = TrustName(result.trust.state);
  const auto rows = [&](std::size_t run, const RunSamples& samples) {
    const std::vector<double> mpix = RunThroughput(samples.tests, result.pixelsPerCall);
    for (std::size_t i = 0; i < samples.tests.size(); ++i) {
      const TestSample& s = samples.tests[i];
      const BenchmarkTest& test = kBenchmarkTests.at(static_cast<std::size_t>(s.test));
      const bool match = s.hash == kExpectedPictureHashes[static_cast<std::size_t>(s.test)];
      // The test's place in the order its run took (1 first), where the run records one.
      const auto at = std::find(samples.order.begin(), samples.order.end(), s.test);
      const std::string position =
          at == samples.order.end() ? std::string() : std::to_string(at - samples.order.begin() + 1);
      out << run << ',' << test.name << ',' << CallCount(test) << ',' << Number(s.seconds) << ','
          << Number(s.monotonicSeconds) << ',' << HashText(s.hash) << ','
          << (compared ? (match ? "1" : "0") : "") << ',' << Number(mpix[i]) << ',' << result.mode << ','
          << kernelTarget << ",1," << position << ',' << verdict << '\n';
    }
  };
  if (result.classicPass) rows(0, *result.classicPass);
  for (std::size_t run = 0; run < result.runs.size(); ++run) rows(run + 1, result.runs[run]);
}

}  // namespace asmpic::app
