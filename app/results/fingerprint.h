#pragma once
// What a result's numbers depend on besides the machine and its load: the program and the sources
// it was built from (the commit, and a fingerprint of the kernels' sources that any edit of a kernel
// changes), the compiler and its flags, the start picture, the kernels each test ran, the scale of
// the scores, and the pictures the tests are checked against. Two results whose fingerprints differ
// in these did not do the same work, and a ratio between them is no measurement of the machine.
#include <nlohmann/json.hpp>

#include <string>

#include "app/run/benchmark_runner.h"
#include "app/results/build_info.h"

namespace asmpic::app {

// Raised whenever the classic score's table or the throughput score's formula changes, so that
// scores from before and after are not compared as if measured alike.
inline constexpr int kScoreScaleVersion = 1;

// The commit the program was built from ("unknown" outside a checkout).
std::string SourceCommit();
// Sixteen hexadecimal digits of SHA-256 over every file under kernels/, taken at build time.
std::string KernelSourcesFingerprint();

// The result document's "fingerprint" object.
nlohmann::ordered_json FingerprintJson(const BenchmarkResult& result, const BuildInfo& build);

}  // namespace asmpic::app
