#include "app/results/fingerprint.h"

#include "app/run/benchmark_table.h"
#include "app/results/validation.h"
#include "kernel_fingerprint.h"

namespace asmpic::app {

std::string SourceCommit() {
  return ASMPIC_SOURCE_COMMIT;
}

std::string KernelSourcesFingerprint() {
  return ASMPIC_KERNEL_FINGERPRINT;
}

nlohmann::ordered_json FingerprintJson(const BenchmarkResult& result, const BuildInfo& build) {
  using json = nlohmann::ordered_json;
  json tests = json::array();
  for (const int t : result.plan.tests) {
    const auto index = static_cast<std::size_t>(t);
    json entry = {{"name", kBenchmarkTests.at(index).name},
                  {"calls", CallCount(kBenchmarkTests.at(index))},
                  {"kernel_choice", build.kernelChoice},
                  {"kernel_target", build.kernelTarget},
                  {"expected_hash", nullptr},
                  {"computed_hash", nullptr}};
    for (const TestCheck& check : result.validation.tests) {
      if (check.test != t) continue;
      entry["expected_hash"] = HashText(check.expected);
      entry["computed_hash"] = HashText(check.computed);
    }
    tests.push_back(entry);
  }
  const auto& start = result.validation.startPicture;
  return {{"program_version", build.version},
          {"source_commit", SourceCommit()},
          {"kernel_sources", KernelSourcesFingerprint()},
          {"compiler", build.compiler},
          {"flags", build.flags},
          {"score_scale_version", kScoreScaleVersion},
          {"start_picture", start ? json(HashText(*start)) : json(nullptr)},
          {"pixels_per_call", result.pixelsPerCall},
          {"tests", tests}};
}

}  // namespace asmpic::app
