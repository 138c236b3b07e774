// The pictures a run computes, checked against the committed hashes: the reference kernels give
// them, the engine's faster kernels give them too, and a kernel whose output changed makes the
// run invalid.
#include <gtest/gtest.h>

#include <sstream>

#include "app/run/benchmark_table.h"
#include "app/run/headless_bench.h"
#include "app/run/headless_form.h"
#include "app/run/benchmark_runner.h"
#include "app/results/expected_hashes.h"
#include "tests/app/results_support.h"

namespace asmpic::app {
namespace {

using testing::Shipped;

// The hashes as the table in expected_hashes.h would hold them.
std::string AsTable(const std::vector<std::uint64_t>& hashes) {
  std::string text;
  for (const std::uint64_t h : hashes) text += "0x" + HashText(h) + "ull, ";
  return text;
}

BenchmarkPlan SingleRun(KernelStore kernels) {
  BenchmarkPlan plan;
  plan.warmup = false;
  plan.kernels = kernels;
  return plan;
}

TEST(ExpectedHashes, TheReferenceKernelsComputeTheCommittedPictures) {
  HeadlessForm1 form(Shipped().picture1, Shipped().picture2, KernelStore::Reference());
  ASSERT_EQ(form.Engine1.Width(), kStandardWidth);
  ASSERT_EQ(form.Engine1.Height(), kStandardHeight);
  EXPECT_EQ(HashPlane(form.Engine1.plane(1)), kStartPictureHash)
      << "the shipped start picture decodes to other pixels: 0x"
      << HashText(HashPlane(form.Engine1.plane(1)));

  PictureValidator validator;
  auto controls = form.controls();
  Command1_Click(controls, form.state, {.observer = &validator});
  const Validation v = validator.result();
  std::vector<std::uint64_t> computed;
  for (const TestCheck& check : v.tests) computed.push_back(check.computed);
  EXPECT_EQ(v.verdict, Verdict::Valid) << "a kernel's output changed; if that was meant, the table is now\n"
                                       << AsTable(computed);
  ASSERT_EQ(v.tests.size(), kBenchmarkTests.size());
  for (std::size_t i = 0; i < v.tests.size(); ++i) EXPECT_EQ(v.tests[i].test, static_cast<int>(i));
}

TEST(ExpectedHashes, TheEngineKernelsComputeTheSamePicturesInEveryRun) {
  BenchmarkPlan plan = SingleRun({});
  plan.warmup = true;
  plan.repeat = 2;
  const BenchmarkResult result = RunBenchmark(Shipped().picture1, Shipped().picture2, plan);
  EXPECT_EQ(result.verdict, Verdict::Valid);
  for (const TestCheck& check : result.validation.tests)
    EXPECT_EQ(check.runs, 3);  // the warm-up is checked too
  for (const RunSamples& run : result.runs) {
    for (const TestSample& sample : run.tests) {
      EXPECT_EQ(sample.hash, kExpectedPictureHashes[static_cast<std::size_t>(sample.test)]);
    }
  }
}

TEST(ExpectedHashes, AChangedKernelOutputMakesTheRunInvalidAndNamesTheTest) {
  HeadlessOptions options;
  options.assetsDirectory = ASMPIC_ASSETS;
  options.kernels = testing::SpoiltRippleKernels();
  options.noWarmup = true;
  options.minTime = 0.0;  // the first pass already computes the wrong picture
  options.threads = 2;
  options.showProgress = false;
  std::ostringstream out, err;
  EXPECT_EQ(RunHeadlessBenchmark(options, out, err), kExitInvalid);
  const std::string errors = err.str();
  EXPECT_NE(errors.find("invalid result: the ripple test computed a wrong picture"), std::string::npos)
      << errors;
  EXPECT_NE(errors.find("in thread 2"), std::string::npos) << errors;
  for (const char* good : {"rotate", "smoothing", "contour", "emboss", "relief", "twirl"}) {
    EXPECT_EQ(errors.find(std::string("the ") + good + " test"), std::string::npos) << errors;
  }
  EXPECT_NE(errors.find("Validation: INVALID"), std::string::npos) << errors;
}

// Scripts read the seven list lines and the score line from standard output; the multi-core,
// statistics and validation lines must not follow them there.
TEST(ClassicOutput, StandardOutputHoldsExactlyTheSevenListLinesAndTheScore) {
  HeadlessOptions options;
  options.assetsDirectory = ASMPIC_ASSETS;
  options.kernels = testing::IdleKernels();
  options.repeat = 2;
  options.threads = 2;
  options.showProgress = false;
  std::ostringstream out, err;
  RunHeadlessBenchmark(options, out, err);
  std::istringstream lines(out.str());
  std::vector<std::string> printed;
  for (std::string line; std::getline(lines, line);) printed.push_back(line);
  ASSERT_EQ(printed.size(), 8u) << out.str();
  EXPECT_EQ(printed[0].rfind("Rotating... ", 0), 0u);
  EXPECT_EQ(printed[7].rfind("Score: ", 0), 0u);
  EXPECT_NE(err.str().find("Multi-core: "), std::string::npos) << err.str();
  EXPECT_NE(err.str().find("Statistics of 2 runs"), std::string::npos) << err.str();
}

TEST(ExpectedHashes, AnotherStartPictureCannotBeChecked) {
  const platform::Image grey(300, 222, 0xFF808080u);
  const BenchmarkResult result = RunBenchmark(grey, Shipped().picture2, SingleRun(testing::IdleKernels()));
  EXPECT_EQ(result.verdict, Verdict::NotApplicable);
  EXPECT_EQ(result.validation.reason, "the start picture is not the shipped one");
}

}  // namespace
}  // namespace asmpic::app
