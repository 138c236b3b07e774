#include "app/run/multicore_throughput.h"

#include <algorithm>
#include <limits>

#include "app/run/benchmark_table.h"

namespace asmpic::app {

namespace {

struct Span {
  double first = std::numeric_limits<double>::infinity();
  double last = -std::numeric_limits<double>::infinity();
  void Add(const TestSample& s) {
    first = std::min(first, s.startSeconds);
    last = std::max(last, s.startSeconds + s.monotonicSeconds);
  }
  double length() const { return last > first ? last - first : 0.0; }
};

int Calls(const TestSample& s) { return CallCount(kBenchmarkTests.at(static_cast<std::size_t>(s.test))); }

}  // namespace

std::vector<double> PassWallThroughput(const PassSamples& pass, long long pixelsPerCall) {
  std::vector<double> mpix;
  if (pass.empty()) return mpix;
  Span wall;
  for (const auto& thread : pass) {
    for (const TestSample& s : thread) wall.Add(s);
  }
  mpix.assign(pass.front().size(), 0.0);
  if (!(wall.length() > 0.0)) return mpix;
  for (const auto& thread : pass) {
    Span own;
    for (const TestSample& s : thread) own.Add(s);
    const double share = own.length() / wall.length();
    for (std::size_t t = 0; t < thread.size() && t < mpix.size(); ++t) {
      mpix[t] += MegapixelsPerSecond(Calls(thread[t]), pixelsPerCall, thread[t].monotonicSeconds) * share;
    }
  }
  return mpix;
}

double PassTotalThroughput(const PassSamples& pass, long long pixelsPerCall) {
  Span wall;
  long long calls = 0;
  for (const auto& thread : pass) {
    for (const TestSample& s : thread) {
      wall.Add(s);
      calls += Calls(s);
    }
  }
  if (calls == 0) return 0.0;
  return MegapixelsPerSecond(static_cast<int>(std::min<long long>(calls, std::numeric_limits<int>::max())),
                             pixelsPerCall, wall.length());
}

Throughput WallThroughput(const std::vector<PassSamples>& passes, long long pixelsPerCall) {
  std::vector<std::vector<double>> perPass;
  for (const PassSamples& pass : passes) perPass.push_back(PassWallThroughput(pass, pixelsPerCall));
  return SummarizeThroughput(perPass);
}

}  // namespace asmpic::app
