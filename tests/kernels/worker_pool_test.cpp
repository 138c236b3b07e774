// The worker pool: every row of a split runs exactly once, whoever calls and however often.
#include "kernels/worker_pool.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

namespace asmpic {
namespace {

// Counts how often each row of first..last was worked on.
std::vector<int> RowCounts(std::int64_t first, std::int64_t last, int bands) {
  std::vector<std::atomic<int>> counts(static_cast<std::size_t>(last + 2));
  RunInBands(first, last, bands, [&](std::int64_t from, std::int64_t to) {
    for (std::int64_t y = from; y <= to; ++y) ++counts[static_cast<std::size_t>(y)];
  });
  std::vector<int> result;
  for (auto& c : counts) result.push_back(c.load());
  return result;
}

TEST(WorkerPool, EveryRowOnceForAnySplit) {
  for (int bands : {1, 2, 3, 7, 64}) {
    for (std::int64_t rows : {1, 2, 5, 100}) {
      const auto counts = RowCounts(1, rows, bands);
      for (std::int64_t y = 0; y < static_cast<std::int64_t>(counts.size()); ++y)
        ASSERT_EQ(counts[y], (y >= 1 && y <= rows) ? 1 : 0)
            << "bands " << bands << ", rows " << rows << ", row " << y;
    }
  }
  EXPECT_EQ(RowCounts(5, 4, 4), std::vector<int>(6, 0)) << "an empty range runs nothing";
}

TEST(WorkerPool, CallersAtOnceAndNestedCallsAllFinish) {
  std::vector<std::thread> callers;
  std::atomic<int> wrong{0};
  for (int t = 0; t < 4; ++t) {
    callers.emplace_back([&] {
      for (int i = 0; i < 50; ++i) {
        std::atomic<int> rows{0};
        RunInBands(0, 99, 4, [&](std::int64_t from, std::int64_t to) {
          // A kernel that splits again from inside a band runs that split on its own thread.
          RunInBands(from, to, 2,
                     [&](std::int64_t a, std::int64_t b) { rows += static_cast<int>(b - a + 1); });
        });
        if (rows != 100) ++wrong;
      }
    });
  }
  for (auto& caller : callers) caller.join();
  EXPECT_EQ(wrong, 0);
}

TEST(WorkerPool, SmallPicturesStayOnTheCallingThread) {
  EXPECT_EQ(BandsForPixels(kParallelPixels - 1), 1);
  EXPECT_GE(BandsForPixels(kParallelPixels), 1);
}

}  // namespace
}  // namespace asmpic
