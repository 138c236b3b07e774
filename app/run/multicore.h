#pragma once
// The multi-core pass: the same tests on several independent headless forms at once, one per
// thread. Each thread builds its own form (runtime, controls, two engines) from its own copies of
// the start pictures; nothing but the read-only plan is shared.
#include <ostream>
#include <span>
#include <vector>

#include "app/run/run_recorder.h"
#include "app/results/validation.h"
#include "kernels/kernel_store.h"
#include "platform/image.h"

namespace asmpic::app {

struct MultiCorePasses {
  std::vector<double> wallSeconds;  // per pass: from the common start to the last thread's end
  std::vector<std::vector<std::vector<TestSample>>> samples;  // per pass, per thread, per test
  std::vector<Validation> threads;                            // per thread, over every pass
};

// Runs at least `passes` passes, and more until their wall times add up to `minTime`, each starting `threads`
// threads that build their forms, wait for each other, then run `tests` (all seven: the window's run; else
// the subset) while the wall time is taken on `clock`. `progress`, when set, shows the first thread's
// progress. Throws std::runtime_error when a thread cannot be started or its form cannot be built.
MultiCorePasses RunMultiCore(const platform::Image& picture1, const platform::Image& picture2,
                             std::span<const int> tests, int threads, int passes, double minTime,
                             const KernelStore& kernels, const MonotonicClock& clock,
                             std::ostream* progress = nullptr);

}  // namespace asmpic::app
