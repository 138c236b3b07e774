// The engine's kernels side by side with the closest OpenCV operations, on the same planes, in
// one process, both on one core (OpenCV with setNumThreads(0), the engine with its pool capped
// to the calling thread). Every iteration times the engine's call and then OpenCV's, in the
// thread's processor time, so both see the same machine; the counters give each one's time per call and their
// ratio opencv_us / engine_us (above 1: the engine is faster). The iteration time is the engine's.
//
//   Op/<op>/<variant>/<width>/<height>   one call of each
//   KernelWork/<variant>                 the benchmark run's kernel calls at 297 x 217 (720
//                                        rotations, 360 smoothings, 36 contours, 360 embosses,
//                                        36 ripples, 36 reliefs, 72 twirls) against OpenCV's
//                                        closest operation for each
//   HeadlessRun/<variant>                one whole headless benchmark run (the seven tests with
//                                        every yield, draw and undo copy) against the same
//                                        OpenCV kernel work
//
// The variants are best and baseline; --kernels=NAME measures one (best, baseline, reference or a
// SIMD target this processor runs: sse4, avx2, avx3, ...), and --kernels=all every SIMD target the
// processor runs, best first, then the baseline, in one run. Each row's label names the code that
// ran; the context names the processor.
#include <benchmark/benchmark.h>

#include <opencv2/core.hpp>
#include <opencv2/imgproc.hpp>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <ctime>
#include <cstdio>
#include <functional>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "app/results/machine_info.h"
#include "app/run/assets.h"
#include "app/run/headless_form.h"
#include "kernels/kernel_store.h"
#include "kernels/pixel/pixel.h"
#include "kernels/worker_pool.h"
#include "platform/picture_io.h"
#include "tests/support/kernel_planes.h"

namespace {

using asmpic::FloatArg;
using asmpic::KernelChoice;
using asmpic::KernelRequest;
using asmpic::KernelStore;
using asmpic::testing::KernelPlanes;

// The calling thread's processor time: on a busy machine, time spent waiting for a core is not
// counted against either side.
struct Clock {
  using time_point = double;
  static double now() {
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + 1e-9 * static_cast<double>(t.tv_nsec);
  }
};

constexpr std::int32_t kFill = 0x00336699;

// The three planes and OpenCV's views of them (4 bytes a pixel, rows as in the buffer), plus the
// maps that OpenCV's remap takes for the ripple and the twirl, made once.
struct Scene {
  KernelPlanes planes;
  cv::Mat source, work, undo, grey;
  cv::Mat rippleX, rippleY, twirlX, twirlY;

  Scene(int width, int height) : planes(width, height) {
    planes.randomize(5);
    planes.params.colour = kFill;
    source = cv::Mat(height, width, CV_8UC4, planes.plane(1));
    work = cv::Mat(height, width, CV_8UC4, planes.plane(2));
    undo = cv::Mat(height, width, CV_8UC4, planes.plane(3));
    grey = cv::Mat(height, width, CV_8UC1);
    // The ripple: each row from a row displaced along a sine; the twirl: a turn growing with the
    // distance from the centre, up to a quarter turn, as the engine's with Amount 1.
    const std::vector<float> table = asmpic::BuildRippleTable(width, height, 1);
    rippleX.create(height, width, CV_32FC1);
    rippleY.create(height, width, CV_32FC1);
    twirlX.create(height, width, CV_32FC1);
    twirlY.create(height, width, CV_32FC1);
    const double cx = width / 2, cy = height / 2, m = std::max(width, height);
    for (int y = 0; y < height; ++y) {
      for (int x = 0; x < width; ++x) {
        rippleX.at<float>(y, x) = static_cast<float>(x);
        rippleY.at<float>(y, x) = table[static_cast<std::size_t>(y)] - 1;
        const double dx = x - cx, dy = y - cy;
        const double theta = 1.5707963 * std::sqrt(dx * dx + dy * dy) / m;
        twirlX.at<float>(y, x) = static_cast<float>(dx * std::cos(theta) - dy * std::sin(theta) + cx);
        twirlY.at<float>(y, x) = static_cast<float>(dx * std::sin(theta) + dy * std::cos(theta) + cy);
      }
    }
  }

  void Call(asmpic::KernelEntry kernel, std::int32_t opcode, std::int32_t amount, std::uint32_t a,
            std::uint32_t b, std::intptr_t arg3) {
    planes.params.opcode = opcode;
    planes.params.amount = amount;
    kernel(&planes.params, a, b, arg3);
  }
};

const cv::Scalar kCvFill(0x99, 0x66, 0x33, 0);

// The 3 x 3 (or smaller) filters closest to the engine's: a horizontal pair, the eight-neighbour
// contour, the difference with a diagonal neighbour, a directional relief.
const cv::Mat kPair = (cv::Mat_<float>(1, 2) << 0.5f, 0.5f);
const cv::Mat kContour = (cv::Mat_<float>(3, 3) << -1, -1, -1, -1, 8, -1, -1, -1, -1);
const cv::Mat kEmboss = (cv::Mat_<float>(2, 2) << 0, 1, -1, 0);
const cv::Mat kRelief = (cv::Mat_<float>(3, 3) << -2, -1, 0, -1, 1, 1, 0, 1, 2);

enum class Op {
  kRotateNearest,
  kRotateSmoothed,
  kTwirl,
  kInvert,
  kThreshold,
  kGreyscale,
  kMagnifyNearest,
  kSmoothing,
  kContour,
  kEmboss,
  kRipple,
  kRelief,
  kCopy,
};

struct OpInfo {
  Op op;
  const char* name;
};

constexpr OpInfo kOps[] = {
    {Op::kRotateNearest, "RotateNearest"},
    {Op::kRotateSmoothed, "RotateSmoothed"},
    {Op::kTwirl, "Twirl"},
    {Op::kInvert, "Invert"},
    {Op::kThreshold, "Threshold"},
    {Op::kGreyscale, "Greyscale"},
    {Op::kMagnifyNearest, "MagnifyNearest"},
    {Op::kSmoothing, "Smoothing"},
    {Op::kContour, "Contour"},
    {Op::kEmboss, "Emboss"},
    {Op::kRipple, "Ripple"},
    {Op::kRelief, "Relief"},
    {Op::kCopy, "PlaneCopy"},
};

// The engine's call for `op`; `step` varies the angle and the zoom from call to call.
void EngineCall(Scene& s, const KernelStore& k, Op op, int step) {
  const float cx = static_cast<float>(s.planes.width() / 2), cy = static_cast<float>(s.planes.height() / 2);
  const std::uint32_t two = FloatArg(2.0f), three = FloatArg(3.0f);
  switch (op) {
    case Op::kRotateNearest:
      return s.Call(k.rotate, 2, 0, FloatArg(cx), FloatArg(cy), step % 360 + 1 + 360);
    case Op::kRotateSmoothed:
      return s.Call(k.rotate, 3, 0, FloatArg(cx), FloatArg(cy), step % 360 + 1 + 360);
    case Op::kMagnifyNearest:
      return s.Call(k.magnify, 0, 0, FloatArg(cx), FloatArg(cy), 5 + step % 26);
    case Op::kTwirl:
      return s.Call(k.pixel, asmpic::kPixelTwirl, 1, two, three, 4);
    case Op::kInvert:
      return s.Call(k.palette, 11, 0, two, three, 4);
    case Op::kThreshold:
      return s.Call(k.palette, 19, 0, two, three, 4);
    case Op::kGreyscale:
      return s.Call(k.palette, 12, 0, two, three, 4);
    case Op::kSmoothing:
      return s.Call(k.pixel, asmpic::kPixelSmoothing, 1, two, three, 4);
    case Op::kContour:
      return s.Call(k.pixel, asmpic::kPixelContour, 1, two, three, 4);
    case Op::kEmboss:
      return s.Call(k.pixel, asmpic::kPixelEmboss, 1, two, three, 4);
    case Op::kRipple: {
      // The table is built for every call, as ASM_PixelEffects does.
      const std::vector<float> table = asmpic::BuildRippleTable(s.planes.width(), s.planes.height(), 1);
      return s.Call(k.pixel, asmpic::kPixelRipple, 1, two, three,
                    reinterpret_cast<std::intptr_t>(table.data()));
    }
    case Op::kRelief:
      return s.Call(k.pixel, asmpic::kPixelRelief, 1, two, three, 4);
    case Op::kCopy:
      std::memcpy(s.planes.plane(2), s.planes.plane(3), s.planes.planeBytes());
      return;
  }
}

void OpenCvCall(Scene& s, Op op, int step) {
  const cv::Point2f centre(static_cast<float>(s.planes.width() / 2),
                           static_cast<float>(s.planes.height() / 2));
  switch (op) {
    case Op::kRotateNearest:
    case Op::kRotateSmoothed: {
      const cv::Mat m = cv::getRotationMatrix2D(centre, step % 360 + 1, 1.0);
      const int interpolation = op == Op::kRotateNearest ? cv::INTER_NEAREST : cv::INTER_LINEAR;
      return cv::warpAffine(s.source, s.work, m, s.work.size(), interpolation, cv::BORDER_CONSTANT, kCvFill);
    }
    case Op::kMagnifyNearest: {
      const double zoom = 1.0 / ((5 + step % 26) / 10.0);
      const cv::Mat m =
          (cv::Mat_<double>(2, 3) << zoom, 0, (1 - zoom) * centre.x, 0, zoom, (1 - zoom) * centre.y);
      return cv::warpAffine(s.undo, s.work, m, s.work.size(), cv::INTER_NEAREST | cv::WARP_INVERSE_MAP,
                            cv::BORDER_CONSTANT, kCvFill);
    }
    case Op::kTwirl:
      return cv::remap(s.undo, s.work, s.twirlX, s.twirlY, cv::INTER_NEAREST, cv::BORDER_CONSTANT, kCvFill);
    case Op::kInvert:
      return cv::bitwise_not(s.work, s.work);
    case Op::kThreshold:
      cv::threshold(s.work, s.work, 180, 255, cv::THRESH_BINARY);
      return;
    case Op::kGreyscale:
      return cv::cvtColor(s.work, s.grey, cv::COLOR_BGRA2GRAY);
    case Op::kSmoothing:
      return cv::filter2D(s.undo, s.work, -1, kPair);
    case Op::kContour:
      return cv::filter2D(s.undo, s.work, -1, kContour);
    case Op::kEmboss:
      return cv::filter2D(s.undo, s.work, -1, kEmboss);
    case Op::kRipple:
      return cv::remap(s.undo, s.work, s.rippleX, s.rippleY, cv::INTER_NEAREST, cv::BORDER_CONSTANT, kCvFill);
    case Op::kRelief:
      return cv::filter2D(s.undo, s.work, -1, kRelief);
    case Op::kCopy:
      return s.undo.copyTo(s.work);
  }
}

double Seconds(double from, double to) {
  return to - from;
}

void SetCounters(benchmark::State& state, double engine, double opencv, double perIteration,
                 const char* unit) {
  const double n = static_cast<double>(state.iterations());
  state.counters[std::string("engine_") + unit] = engine / n * perIteration;
  state.counters[std::string("opencv_") + unit] = opencv / n * perIteration;
  state.counters["ratio"] = opencv / engine;
}

// Holds the variant's target (or lifts any hold), names the code that runs in the row's label, and
// gives the variant's kernels. Benchmarks run one after the other, so each holds its own.
KernelStore VariantKernels(benchmark::State& state, const KernelRequest& variant) {
  asmpic::HoldSimdTarget(variant.target);
  state.SetLabel(asmpic::KernelTargetName(variant.choice));
  return KernelStore(variant.choice);
}

void BM_Op(benchmark::State& state, Op op, KernelRequest variant) {
  Scene scene(static_cast<int>(state.range(0)), static_cast<int>(state.range(1)));
  const KernelStore kernels = VariantKernels(state, variant);
  double engine = 0, opencv = 0;
  int step = 0;
  for (auto _ : state) {
    const auto t0 = Clock::now();
    EngineCall(scene, kernels, op, step);
    const auto t1 = Clock::now();
    OpenCvCall(scene, op, step);
    const auto t2 = Clock::now();
    benchmark::DoNotOptimize(scene.planes.bytes.data());
    benchmark::ClobberMemory();
    engine += Seconds(t0, t1);
    opencv += Seconds(t1, t2);
    state.SetIterationTime(Seconds(t0, t1));
    ++step;
  }
  SetCounters(state, engine, opencv, 1e6, "us");
}

// The calls of one benchmark run: (op, count).
constexpr std::pair<Op, int> kRunCalls[] = {
    {Op::kRotateNearest, 720}, {Op::kSmoothing, 360}, {Op::kContour, 36}, {Op::kEmboss, 360},
    {Op::kRipple, 36},         {Op::kRelief, 36},     {Op::kTwirl, 72}};

// Times `engineWork` against OpenCV's calls for the benchmark's kernel work, interleaved in every
// iteration, and reports both in milliseconds.
template <typename EngineWork>
void TimeAgainstOpenCvKernelWork(benchmark::State& state, Scene& scene, EngineWork engineWork) {
  double engine = 0, opencv = 0;
  for (auto _ : state) {
    const auto t0 = Clock::now();
    engineWork();
    const auto t1 = Clock::now();
    for (const auto& [op, count] : kRunCalls)
      for (int i = 0; i < count; ++i) OpenCvCall(scene, op, i);
    const auto t2 = Clock::now();
    benchmark::DoNotOptimize(scene.planes.bytes.data());
    engine += Seconds(t0, t1);
    opencv += Seconds(t1, t2);
    state.SetIterationTime(Seconds(t0, t1));
  }
  SetCounters(state, engine, opencv, 1e3, "ms");
}

void BM_KernelWork(benchmark::State& state, KernelRequest variant) {
  Scene scene(297, 217);
  const KernelStore kernels = VariantKernels(state, variant);
  TimeAgainstOpenCvKernelWork(state, scene, [&] {
    for (const auto& [op, count] : kRunCalls)
      for (int i = 0; i < count; ++i) EngineCall(scene, kernels, op, i);
  });
}

asmpic::platform::Image StartPicture(const std::string& name) {
  auto picture = asmpic::platform::LoadPictureFile(asmpic::app::AssetPath(name));
  if (!picture) throw std::runtime_error("cannot read the start picture " + name);
  return *picture;
}

void BM_HeadlessRun(benchmark::State& state, KernelRequest variant) {
  const asmpic::platform::Image picture1 = StartPicture("picture1.jpg");
  const asmpic::platform::Image picture2 = StartPicture("picture2.bmp");
  asmpic::app::HeadlessForm1 form(picture1, picture2, VariantKernels(state, variant));
  form.runtime.echoMessages = false;
  const std::vector<int> allTests{0, 1, 2, 3, 4, 5, 6};
  Scene scene(form.Engine1.Width(), form.Engine1.Height());
  TimeAgainstOpenCvKernelWork(state, scene, [&] { form.Run(allTests, nullptr); });
}

struct Variant {
  std::string name;
  KernelRequest request;
};

// The variants that --kernels asks for (see the top of this file); nothing, with a message, for a
// name that is no variant.
std::optional<std::vector<Variant>> VariantsNamed(const std::string& name) {
  if (name.empty()) {
    return std::vector<Variant>{{"best", {KernelChoice::kBest, 0}}, {"baseline", {KernelChoice::kBaseline, 0}}};
  }
  if (name == "all") {
    std::vector<Variant> variants;
    for (const std::int64_t target : asmpic::SimdTargets())
      variants.push_back({asmpic::SimdTargetName(target), {KernelChoice::kBest, target}});
    variants.push_back({"baseline", {KernelChoice::kBaseline, 0}});
    return variants;
  }
  std::string error;
  const std::optional<KernelRequest> request = asmpic::ParseKernelRequest(name, &error);
  if (!request) {
    std::fprintf(stderr, "peers_bench: --kernels: %s, or all\n", error.c_str());
    return std::nullopt;
  }
  return std::vector<Variant>{{name, *request}};
}

// Takes --kernels=NAME or --kernels NAME out of the arguments, for Google Benchmark to parse the rest.
std::string TakeKernelsOption(int& argc, char** argv) {
  std::string name;
  int kept = 1;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg.rfind("--kernels=", 0) == 0) {
      name = arg.substr(10);
    } else if (arg == "--kernels" && i + 1 < argc) {
      name = argv[++i];
    } else {
      argv[kept++] = argv[i];
    }
  }
  argc = kept;
  return name;
}

}  // namespace

int main(int argc, char** argv) {
  cv::setNumThreads(0);
  asmpic::SetMaxBands(1);
  const std::optional<std::vector<Variant>> variants = VariantsNamed(TakeKernelsOption(argc, argv));
  if (!variants) return 2;
  const asmpic::app::MachineInfo machine = asmpic::app::ReadMachineInfo();
  benchmark::AddCustomContext("processor", machine.cpuModel.value_or("unknown"));
  std::string targets;
  for (const std::int64_t target : asmpic::SimdTargets()) {
    if (!targets.empty()) targets += ' ';
    targets += asmpic::SimdTargetName(target);
  }
  benchmark::AddCustomContext("simd_targets", targets.empty() ? "none" : targets);
  benchmark::AddCustomContext("best_target", asmpic::KernelTargetName(KernelChoice::kBest));
  for (const OpInfo& info : kOps) {
    for (const auto& [name, request] : *variants) {
      benchmark::RegisterBenchmark((std::string("Op/") + info.name + "/" + name).c_str(), BM_Op, info.op,
                                   request)
          ->Args({297, 217})
          ->Args({1920, 1080})
          ->UseManualTime()
          ->Unit(benchmark::kMicrosecond);
    }
  }
  for (const auto& [name, request] : *variants) {
    benchmark::RegisterBenchmark((std::string("KernelWork/") + name).c_str(), BM_KernelWork, request)
        ->UseManualTime()
        ->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark((std::string("HeadlessRun/") + name).c_str(), BM_HeadlessRun, request)
        ->UseManualTime()
        ->Unit(benchmark::kMillisecond);
  }
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  asmpic::HoldSimdTarget(0);
  return 0;
}
