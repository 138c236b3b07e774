#include "app/results/text_report.h"

#include <algorithm>
#include <cstdio>
#include <string>

#include "app/run/benchmark_table.h"

namespace asmpic::app {

namespace {

std::string Fixed(double value, int decimals = 6) {
  char text[48];
  std::snprintf(text, sizeof text, "%.*f", decimals, value);
  return text;
}

std::string Row(const std::string& name, const Statistics& a, const Statistics& b) {
  char text[160];
  std::snprintf(text, sizeof text, "%-10s %9.6f %9.6f %9.6f %9.6f | %9.6f %9.6f %9.6f %9.6f", name.c_str(),
                a.median, a.min, a.max, a.stddev, b.median, b.min, b.max, b.stddev);
  return text;
}

std::string ScoreText(const Score& score) {
  return std::to_string(score.value) + " (" + ColourName(score.colour) + ")";
}

}  // namespace

void WriteScoreLine(const BenchmarkResult& result, std::ostream& out) {
  if (result.score) {
    out << "Score: " << ScoreText(*result.score) << '\n';
  } else {
    out << "Score: none (only some of the tests ran)\n";
  }
}

void WriteClassicLines(const BenchmarkResult& result, std::ostream& out) {
  for (const std::string& line : result.listLines) out << line << '\n';
  WriteScoreLine(result, out);
}

void WriteReport(const BenchmarkResult& result, std::ostream& out) {
  if (result.runs.size() > 1) {
    out << "Statistics of " << result.runs.size() << " runs in seconds (time of day | monotonic clock)"
        << (result.classicPass ? " after a first pass, which gave the list and the score:\n"
                               : ", score from the median total:\n");
    char header[160];
    std::snprintf(header, sizeof header, "%-10s %9s %9s %9s %9s | %9s %9s %9s %9s\n", "test", "median", "min",
                  "max", "stddev", "median", "min", "max", "stddev");
    out << header;
    for (const TestStatistics& stats : result.perTest) {
      out << Row(kBenchmarkTests.at(static_cast<std::size_t>(stats.test)).name, stats.seconds,
                 stats.monotonicSeconds)
          << '\n';
    }
    out << Row("total", result.total, result.monotonicTotal) << '\n';
  }

  if (result.multiCore) {
    const MultiCoreResult& m = *result.multiCore;
    out << "Multi-core: ";
    if (m.score) {
      out << ScoreText(*m.score);
    } else {
      out << "no score (only some of the tests ran)";
    }
    out << " with " << m.threads << (m.threads == 1 ? " thread" : " threads") << ": " << m.threads
        << (m.threads == 1 ? " copy" : " copies") << " in " << Fixed(m.wall.median) << " s wall, "
        << Fixed(m.secondsPerCopy) << " s per copy, speed-up " << Fixed(m.speedup, 2) << '\n';
  }

  out << "Validation: ";
  switch (result.verdict) {
    case Verdict::Valid:
      out << "valid, every picture is the expected one\n";
      break;
    case Verdict::Invalid:
      out << "INVALID, a test computed a wrong picture\n";
      break;
    case Verdict::NotApplicable:
      out << "not applicable, "
          << (result.validation.reason.empty() ? std::string("no picture was checked")
                                               : result.validation.reason)
          << '\n';
      break;
  }
}

std::string ThroughputText(const MedianEstimate& e) {
  char text[96];
  const auto half = e.relativeHalfWidth();
  if (!half) {
    std::snprintf(text, sizeof text, "%.1f Mpix/s (%s)", e.median,
                  e.count == 1 ? "one run, no interval" : "no runs");
    return text;
  }
  std::snprintf(text, sizeof text, "%.1f Mpix/s ± %.1f %%", e.median, 100.0 * *half);
  std::string result = text;
  if (e.confidence < 0.95) {
    std::snprintf(text, sizeof text, " (a %.1f %% interval: %d runs are too few for 95 %%)",
                  100.0 * e.confidence, e.count);
    result += text;
  }
  return result;
}

void WriteThroughput(const BenchmarkResult& result, const std::string& kernels, std::ostream& out) {
  const Throughput& t = result.throughput;
  // Few runs cannot reach 95 %: the header says what the intervals below really cover.
  double least = 1.0;
  for (const MedianEstimate& e : t.tests) {
    if (e.low && e.confidence > 0.0) least = std::min(least, e.confidence);
  }
  char level[64] = "95 %";
  if (least < 0.95) std::snprintf(level, sizeof level, "%.1f %%, too few runs for 95 %%", 100.0 * least);
  out << "Throughput of " << result.runs.size() << (result.runs.size() == 1 ? " run" : " runs")
      << " in Mpix/s on the monotonic clock (median and its interval from order statistics, " << level
      << "):\n";
  char line[160];
  for (std::size_t i = 0; i < t.tests.size() && i < result.plan.tests.size(); ++i) {
    const MedianEstimate& e = t.tests[i];
    const char* name = kBenchmarkTests.at(static_cast<std::size_t>(result.plan.tests[i])).name;
    if (e.low && e.high) {
      std::snprintf(line, sizeof line, "%-10s %9.1f  [%9.1f, %9.1f]\n", name, e.median, *e.low, *e.high);
    } else {
      std::snprintf(line, sizeof line, "%-10s %9.1f\n", name, e.median);
    }
    out << line;
  }
  const std::string who = result.mode + ", " + kernels;
  if (result.fullRun) {
    out << "Throughput score: " << ThroughputText(t.score) << " (geometric mean of the tests; " << who
        << ", 1 thread)\n";
  }
  if (result.multiCore && result.fullRun) {
    const MultiCoreResult& m = *result.multiCore;
    out << "Multi-core throughput score: " << ThroughputText(m.throughput.score) << " (" << who << ", "
        << m.threads << (m.threads == 1 ? " thread" : " threads") << " over wall time, " << m.wallSeconds.size()
        << " passes)\n";
  }
}

void WriteTestList(std::ostream& out) {
  for (const BenchmarkTest& test : kBenchmarkTests) {
    char line[200];
    std::snprintf(line, sizeof line, "%-10s %-14s %4d calls  %s\n", test.name, test.caption, CallCount(test),
                  test.what);
    out << line;
  }
}

}  // namespace asmpic::app
