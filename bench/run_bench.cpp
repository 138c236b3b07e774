// Where the time of a headless benchmark run goes: one whole run of the seven tests (Form1's
// handlers on the headless backend, with every yield, draw and undo copy), with the kernels it
// calls timed inside it, so that the counters split the run into kernel work and everything
// around it. Times are the calling thread's processor time, so other load on the machine is not
// counted against either part.
//
//   HeadlessRun/<variant>            run_ms, kernel_ms, outside_ms and outside_pct per run
//   Draw/<width>/<height>            one draw of plane 2 that is looked at (DrawNow, then the
//                                    box's image), as a window draws every call
//   UndoCopy/<width>/<height>        one effect's undo copy alone (AutoDraw off: plane 2 into 3)
#include <benchmark/benchmark.h>

#include <ctime>
#include <string>
#include <vector>

#include "app/run/assets.h"
#include "app/run/headless_form.h"
#include "kernels/kernel_store.h"
#include "platform/picture_io.h"
#include "tests/support/headless_engine.h"

namespace {

using asmpic::KernelChoice;
using asmpic::KernelEntry;
using asmpic::KernelParams;
using asmpic::KernelStore;

double ThreadSeconds() {
  timespec t{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
  return static_cast<double>(t.tv_sec) + 1e-9 * static_cast<double>(t.tv_nsec);
}

// The kernels the timed store forwards to, and the time spent in them. One run at a time.
KernelStore timedInner = KernelStore::Reference();
double kernelSeconds = 0.0;
long kernelCalls = 0;

template <KernelEntry KernelStore::*Member>
void TimedKernel(KernelParams* block, std::uint32_t arg1, std::uint32_t arg2, std::intptr_t arg3) {
  const double start = ThreadSeconds();
  (timedInner.*Member)(block, arg1, arg2, arg3);
  kernelSeconds += ThreadSeconds() - start;
  ++kernelCalls;
}

// A store whose every kernel is `choice`'s, timed.
KernelStore TimedStore(KernelChoice choice) {
  timedInner = KernelStore(choice);
  KernelStore store(choice);
  store.rotate = TimedKernel<&KernelStore::rotate>;
  store.palette = TimedKernel<&KernelStore::palette>;
  store.pixel = TimedKernel<&KernelStore::pixel>;
  store.colorX = TimedKernel<&KernelStore::colorX>;
  store.magnify = TimedKernel<&KernelStore::magnify>;
  return store;
}

asmpic::platform::Image StartPicture(const std::string& name) {
  auto picture = asmpic::platform::LoadPictureFile(asmpic::app::AssetPath(name));
  if (!picture) throw std::runtime_error("cannot read the start picture " + name);
  return *picture;
}

void BM_HeadlessRun(benchmark::State& state, KernelChoice choice) {
  const auto picture1 = StartPicture("picture1.jpg");
  const auto picture2 = StartPicture("picture2.bmp");
  asmpic::app::HeadlessForm1 form(picture1, picture2, TimedStore(choice));
  form.runtime.echoMessages = false;
  const std::vector<int> allTests{0, 1, 2, 3, 4, 5, 6};
  double run = 0.0;
  kernelSeconds = 0.0;
  kernelCalls = 0;
  for (auto _ : state) {
    const double start = ThreadSeconds();
    form.Run(allTests, nullptr);
    const double seconds = ThreadSeconds() - start;
    run += seconds;
    state.SetIterationTime(seconds);
  }
  const double n = static_cast<double>(state.iterations());
  state.counters["run_ms"] = 1e3 * run / n;
  state.counters["kernel_ms"] = 1e3 * kernelSeconds / n;
  state.counters["outside_ms"] = 1e3 * (run - kernelSeconds) / n;
  state.counters["outside_pct"] = run > 0.0 ? 100.0 * (run - kernelSeconds) / run : 0.0;
  state.counters["calls"] = static_cast<double>(kernelCalls) / n;
}

// An engine bound to a box of the given size showing a random picture.
struct BoundEngine {
  asmpic::testing::HeadlessEngine headless;
  explicit BoundEngine(benchmark::State& state)
      : headless(static_cast<int>(state.range(0)), static_cast<int>(state.range(1)), 0x00336699) {
    headless.Bind(asmpic::testing::RandomPicture(static_cast<int>(state.range(0)),
                                                 static_cast<int>(state.range(1)), 3));
  }
};

void BM_Draw(benchmark::State& state) {
  BoundEngine bound(state);
  for (auto _ : state) {
    bound.headless.engine.DrawNow();
    benchmark::DoNotOptimize(bound.headless.box->image().pixels.data());
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(state.range(0) * state.range(1) * state.iterations());
}

void BM_UndoCopy(benchmark::State& state) {
  BoundEngine bound(state);
  for (auto _ : state) {
    bound.headless.engine.AutoDraw(false);  // copies plane 2 into plane 3, draws nothing
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(state.range(0) * state.range(1) * state.iterations());
}

const bool registered = [] {
  const std::pair<KernelChoice, const char*> variants[] = {{KernelChoice::kBest, "best"},
                                                           {KernelChoice::kBaseline, "baseline"}};
  for (const auto& [choice, name] : variants) {
    benchmark::RegisterBenchmark((std::string("HeadlessRun/") + name).c_str(), BM_HeadlessRun, choice)
        ->UseManualTime()
        ->Unit(benchmark::kMillisecond);
  }
  for (auto* bench : {benchmark::RegisterBenchmark("Draw", BM_Draw),
                      benchmark::RegisterBenchmark("UndoCopy", BM_UndoCopy)}) {
    bench->Args({297, 217})->Args({1920, 1080})->Unit(benchmark::kMicrosecond);
  }
  return true;
}();

}  // namespace
