#include "app/run/scaling.h"

#include <algorithm>
#include <cstdio>
#include <ostream>

#include "app/results/json_report.h"
#include "app/run/multicore.h"
#include "app/run/multicore_throughput.h"
#include "platform/interruption.h"

namespace asmpic::app {

std::vector<int> ScalingThreadCounts(int usable) {
  std::vector<int> counts{1};
  for (int n = 2; n < usable; n *= 2) counts.push_back(n);
  if (usable > 1) counts.push_back(usable);
  return counts;
}

std::vector<int> ScalingThreadCounts(const cpu_set_t& mask) {
  return ScalingThreadCounts(CPU_COUNT(&mask));
}

MedianEstimate ScalingPoint::efficiency() const {
  MedianEstimate e = speedup;
  const double n = std::max(threads, 1);
  e.median /= n;
  if (e.low) *e.low /= n;
  if (e.high) *e.high /= n;
  return e;
}

void SummarizeScaling(ScalingResult& result) {
  if (result.points.empty()) return;
  const std::vector<double>& single = result.points.front().mpix;
  for (ScalingPoint& point : result.points) {
    point.throughput = EstimateMedian(point.mpix);
    point.speedups.clear();
    for (std::size_t r = 0; r < point.mpix.size() && r < single.size(); ++r) {
      if (single[r] > 0.0) point.speedups.push_back(point.mpix[r] / single[r]);
    }
    point.speedup = EstimateMedian(point.speedups);
  }
  result.rounds = static_cast<int>(single.size());
}

ScalingResult RunScaling(const platform::Image& picture1, const platform::Image& picture2, const ScalingPlan& plan,
                         const MonotonicClock& clock, std::ostream* progress) {
  ScalingResult result;
  result.usableProcessors = plan.threadCounts.empty() ? 0 : plan.threadCounts.back();
  for (const int n : plan.threadCounts) {
    ScalingPoint point;
    point.threads = n;
    result.points.push_back(std::move(point));
  }
  const long long pixels = plan.pixelsPerCall > 0 ? plan.pixelsPerCall
                                                  : static_cast<long long>(picture1.width) * picture1.height;
  std::vector<Verdict> verdicts;
  double filled = 0.0;
  // Round 0 warms up (caches, the processors' clocks) and is not kept.
  for (int round = 0; round <= plan.maxRounds; ++round) {
    if (round > plan.minRounds && filled >= plan.minTime) break;
    if (platform::CaughtSignal() != 0) break;
    if (progress != nullptr) {
      *progress << "\rScaling: round " << round << (round == 0 ? " (warm-up)" : "") << "   " << std::flush;
    }
    std::vector<double> mpix(result.points.size(), 0.0);
    for (std::size_t k = 0; k < result.points.size(); ++k) {
      // Alternate order: a drift within a round favours no thread count.
      const std::size_t i = round % 2 == 0 ? k : result.points.size() - 1 - k;
      const MultiCorePasses pass = RunMultiCore(picture1, picture2, plan.tests, result.points[i].threads, 1, 0.0,
                                                plan.kernels, clock);
      if (pass.samples.empty()) break;  // interrupted
      mpix[i] = PassTotalThroughput(pass.samples.front(), pixels);
      for (const double wall : pass.wallSeconds) filled += wall;
      for (const Validation& v : pass.threads) verdicts.push_back(v.verdict);
    }
    if (platform::CaughtSignal() != 0) break;  // a round cut short is not kept
    if (round == 0) {
      filled = 0.0;
      continue;
    }
    for (std::size_t i = 0; i < result.points.size(); ++i) result.points[i].mpix.push_back(mpix[i]);
  }
  if (progress != nullptr) *progress << "\r" << std::string(40, ' ') << "\r" << std::flush;
  result.verdict = Combine(verdicts);
  SummarizeScaling(result);
  return result;
}

nlohmann::ordered_json ScalingJson(const ScalingResult& result) {
  nlohmann::ordered_json points = nlohmann::ordered_json::array();
  for (const ScalingPoint& p : result.points) {
    points.push_back({{"threads", p.threads},
                      {"mpix_per_second", EstimateJson(p.throughput)},
                      {"speedup", EstimateJson(p.speedup)},
                      {"efficiency", EstimateJson(p.efficiency())},
                      {"round_mpix_per_second", p.mpix}});
  }
  return {{"usable_processors", result.usableProcessors},
          {"rounds", result.rounds},
          {"interval", kIntervalMethod},
          {"level", 0.95},
          {"validation", VerdictName(result.verdict)},
          {"points", points}};
}

namespace {

std::string Interval(const MedianEstimate& e, int digits) {
  char text[64];
  if (e.low && e.high) {
    std::snprintf(text, sizeof text, "%.*f (%.*f-%.*f)", digits, e.median, digits, *e.low, digits, *e.high);
  } else {
    std::snprintf(text, sizeof text, "%.*f", digits, e.median);
  }
  return text;
}

}  // namespace

void WriteScaling(const ScalingResult& result, std::ostream& out) {
  out << "Thread scaling (" << result.usableProcessors
      << (result.usableProcessors == 1 ? " processor" : " processors") << " this process may use, " << result.rounds
      << (result.rounds == 1 ? " round" : " rounds") << "; medians with 95 % intervals):\n";
  char line[160];
  std::snprintf(line, sizeof line, "%7s  %-26s  %-22s  %s\n", "threads", "Mpix/s", "speed-up", "efficiency");
  out << line;
  for (const ScalingPoint& p : result.points) {
    std::snprintf(line, sizeof line, "%7d  %-26s  %-22s  %s\n", p.threads, Interval(p.throughput, 1).c_str(),
                  Interval(p.speedup, 2).c_str(), Interval(p.efficiency(), 2).c_str());
    out << line;
  }
}

}  // namespace asmpic::app
