#include "app/results/validation.h"

#include <xxhash.h>

#include <algorithm>
#include <cstdio>

#include "app/run/benchmark_table.h"
#include "app/results/expected_hashes.h"

namespace asmpic::app {

std::uint64_t HashPlane(std::span<const std::uint8_t> plane) {
  return XXH3_64bits(plane.data(), plane.size());
}

std::string HashText(std::uint64_t hash) {
  char text[17];
  std::snprintf(text, sizeof text, "%016llx", static_cast<unsigned long long>(hash));
  return text;
}

const char* VerdictName(Verdict verdict) {
  switch (verdict) {
    case Verdict::Valid:
      return "valid";
    case Verdict::Invalid:
      return "invalid";
    case Verdict::NotApplicable:
      break;
  }
  return "not_applicable";
}

std::string DescribeMismatch(const TestCheck& check) {
  const BenchmarkTest& test = kBenchmarkTests.at(static_cast<std::size_t>(check.test));
  return std::string("the ") + test.name + " test computed a wrong picture: hash " +
         HashText(check.computed) + ", expected " + HashText(check.expected) + " (" +
         std::to_string(check.wrongRuns) + " of " + std::to_string(check.runs) +
         (check.runs == 1 ? " run)" : " runs)");
}

void ReportMismatches(const Validation& validation, const std::string& where, std::ostream& err) {
  for (const TestCheck& check : validation.tests) {
    if (!check.matches()) err << "asmbench: invalid result: " << DescribeMismatch(check) << where << '\n';
  }
}

void PictureValidator::TestFinished(int index, float elapsedSeconds, const clsASMpic& engine) {
  (void)elapsedSeconds;
  if (index < 0 || index >= static_cast<int>(kBenchmarkTests.size())) return;
  lastHash_ = HashPlane(engine.plane(2));
  if (!startPicture_ && engine.bound()) startPicture_ = HashPlane(engine.plane(1));
  if (!engine.bound()) {
    notApplicable_ = "Picture1 is not bound";
  } else if (engine.Width() != kStandardWidth || engine.Height() != kStandardHeight) {
    notApplicable_ = "Picture1 is " + std::to_string(engine.Width()) + "x" + std::to_string(engine.Height()) +
                     " pixels, the expected pictures are for 297x217";
  } else if (HashPlane(engine.plane(1)) != kStartPictureHash) {
    notApplicable_ = "the start picture is not the shipped one";
  }

  auto check =
      std::find_if(checks_.begin(), checks_.end(), [&](const TestCheck& c) { return c.test == index; });
  if (check == checks_.end()) {
    const std::uint64_t expected = kExpectedPictureHashes[static_cast<std::size_t>(index)];
    check = checks_.insert(checks_.end(), {.test = index, .expected = expected, .computed = lastHash_});
  }
  ++check->runs;
  if (lastHash_ != check->expected) {
    if (check->wrongRuns == 0) check->computed = lastHash_;
    ++check->wrongRuns;
  }
}

Validation PictureValidator::result() const {
  Validation v;
  v.tests = checks_;
  v.startPicture = startPicture_;
  if (checks_.empty()) {
    v.reason = "no test finished";
  } else if (!notApplicable_.empty()) {
    v.reason = notApplicable_;
  } else {
    const bool allMatch =
        std::all_of(checks_.begin(), checks_.end(), [](const TestCheck& c) { return c.matches(); });
    v.verdict = allMatch ? Verdict::Valid : Verdict::Invalid;
  }
  return v;
}

Verdict Combine(std::span<const Verdict> verdicts) {
  if (std::find(verdicts.begin(), verdicts.end(), Verdict::Invalid) != verdicts.end())
    return Verdict::Invalid;
  if (std::find(verdicts.begin(), verdicts.end(), Verdict::NotApplicable) != verdicts.end())
    return Verdict::NotApplicable;
  return verdicts.empty() ? Verdict::NotApplicable : Verdict::Valid;
}

}  // namespace asmpic::app
