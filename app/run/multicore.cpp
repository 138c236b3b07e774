#include "app/run/multicore.h"

#include <atomic>
#include <exception>
#include <latch>
#include <memory>
#include <stdexcept>
#include <string>
#include <thread>

#include "app/run/headless_form.h"
#include "platform/interruption.h"

namespace asmpic::app {

namespace {

// One thread's share of a pass.
void RunCopy(platform::Image picture1, platform::Image picture2, std::span<const int> tests,
             const KernelStore& kernels, RunObserver& observer, std::latch& ready, std::latch& go,
             const std::atomic<bool>& cancelled, std::string& error) {
  std::unique_ptr<HeadlessForm1> form;
  try {
    form = std::make_unique<HeadlessForm1>(picture1, picture2, kernels);
  } catch (const std::exception& e) {
    error = e.what();
  }
  ready.count_down();
  go.wait();
  if (!form || cancelled) return;
  try {
    form->Run(tests, &observer);
  } catch (const std::exception& e) {
    error = e.what();
  }
}

}  // namespace

MultiCorePasses RunMultiCore(const platform::Image& picture1, const platform::Image& picture2,
                             std::span<const int> tests, int threads, int passes, double minTime,
                             const KernelStore& kernels, const MonotonicClock& clock,
                             std::ostream* progress) {
  const auto count = static_cast<std::size_t>(std::max(threads, 0));
  MultiCorePasses result;
  std::vector<PictureValidator> validators(count);
  std::unique_ptr<ProgressObserver> progressLine;
  if (progress != nullptr) progressLine = std::make_unique<ProgressObserver>(*progress, clock);

  // A signal (platform/interruption.h) stops every thread's form at its next yield and the passes.
  double filled = 0.0;
  for (int pass = 0; count > 0 && (pass < passes || filled < minTime) && platform::CaughtSignal() == 0;
       ++pass) {
    if (progressLine) {
      progressLine->SetLabel(RunLabel(std::to_string(count) + (count == 1 ? " thread" : " threads") + ", pass",
                                      pass, passes, filled, minTime));
    }
    std::vector<std::unique_ptr<RunRecorder>> recorders;
    for (std::size_t t = 0; t < count; ++t) {
      recorders.push_back(
          std::make_unique<RunRecorder>(validators[t], clock, t == 0 ? progressLine.get() : nullptr));
    }
    std::vector<std::string> errors(count);
    std::latch ready(static_cast<std::ptrdiff_t>(count));
    std::latch go(1);
    std::atomic<bool> cancelled{false};
    std::vector<std::thread> workers;
    workers.reserve(count);
    try {
      for (std::size_t t = 0; t < count; ++t) {
        // Each thread gets its own copies of the pictures.
        workers.emplace_back(RunCopy, picture1, picture2, tests, std::cref(kernels), std::ref(*recorders[t]),
                             std::ref(ready), std::ref(go), std::cref(cancelled), std::ref(errors[t]));
      }
    } catch (const std::exception& e) {  // no thread to be had, or no memory for a copy
      // The threads already started are waiting for the start: let them end without work.
      cancelled = true;
      go.count_down();
      for (auto& worker : workers) worker.join();
      throw std::runtime_error("cannot start " + std::to_string(count) + " threads: " + e.what());
    }
    ready.wait();
    const double start = clock();
    go.count_down();
    for (auto& worker : workers) worker.join();
    result.wallSeconds.push_back(clock() - start);
    filled += result.wallSeconds.back();
    for (std::size_t t = 0; t < count; ++t) {
      if (!errors[t].empty()) throw std::runtime_error("thread " + std::to_string(t + 1) + ": " + errors[t]);
    }
    auto& passSamples = result.samples.emplace_back();
    for (auto& recorder : recorders) passSamples.push_back(recorder->TakeSamples());
  }
  if (progressLine) progressLine->Clear();
  for (const auto& validator : validators) result.threads.push_back(validator.result());
  return result;
}

}  // namespace asmpic::app
