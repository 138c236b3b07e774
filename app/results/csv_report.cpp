#include "app/results/csv_report.h"

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
  out << "run,test,calls,seconds,monotonic_seconds,hash,match,mpix_per_second,mode,kernel_target,threads\n";
  const auto rows = [&](std::size_t run, const RunSamples& samples) {
    const std::vector<double> mpix = RunThroughput(samples.tests, result.pixelsPerCall);
    for (std::size_t i = 0; i < samples.tests.size(); ++i) {
      const TestSample& s = samples.tests[i];
      const BenchmarkTest& test = kBenchmarkTests.at(static_cast<std::size_t>(s.test));
      const bool match = s.hash == kExpectedPictureHashes[static_cast<std::size_t>(s.test)];
      out << run << ',' << test.name << ',' << CallCount(test) << ',' << Number(s.seconds) << ','
          << Number(s.monotonicSeconds) << ',' << HashText(s.hash) << ','
          << (compared ? (match ? "1" : "0") : "") << ',' << Number(mpix[i]) << ',' << result.mode << ','
          << kernelTarget << ",1\n";
    }
  };
  if (result.classicPass) rows(0, *result.classicPass);
  for (std::size_t run = 0; run < result.runs.size(); ++run) rows(run + 1, result.runs[run]);
}

}  // namespace asmpic::app
