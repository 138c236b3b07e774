#pragma once
// Proof that a run computed the right pictures: plane 2 after each test's loop is hashed and
// compared with the hash that the reference kernels give on the shipped start picture.
#include <cstdint>
#include <optional>
#include <ostream>
#include <span>
#include <string>
#include <vector>

#include "app/run/form1_handlers.h"

namespace asmpic::app {

// XXH3 (64 bits) of a plane's bytes.
std::uint64_t HashPlane(std::span<const std::uint8_t> plane);
// Sixteen lower-case hexadecimal digits.
std::string HashText(std::uint64_t hash);

enum class Verdict { Valid, Invalid, NotApplicable };
// "valid", "invalid", "not_applicable".
const char* VerdictName(Verdict verdict);

struct TestCheck {
  int test = 0;  // index into kBenchmarkTests
  std::uint64_t expected = 0;
  std::uint64_t computed = 0;  // the first wrong hash when a run was wrong, else what every run gave
  int runs = 0;                // runs that finished the test
  int wrongRuns = 0;
  bool matches() const { return wrongRuns == 0; }
};

struct Validation {
  Verdict verdict = Verdict::NotApplicable;
  std::string reason;                         // why the hashes could not be compared
  std::vector<TestCheck> tests;               // in the order the tests first finished
  std::optional<std::uint64_t> startPicture;  // plane 1's hash when the first test finished
};

// "the ripple test computed a wrong picture: hash ..., expected ... (2 of 5 runs)".
std::string DescribeMismatch(const TestCheck& check);

// One line "asmbench: invalid result: <mismatch><where>" per test whose picture was wrong.
void ReportMismatches(const Validation& validation, const std::string& where, std::ostream& err);

// Hashes plane 2 whenever a test finishes, across any number of runs of one engine. The hashes
// are compared only when the engine works on the standard 297 x 217 Picture1 showing the shipped
// start picture; otherwise the result is not applicable.
class PictureValidator : public RunObserver {
 public:
  void TestFinished(int index, float elapsedSeconds, const clsASMpic& engine) override;

  Validation result() const;
  // Plane 2's hash when the last test finished.
  std::uint64_t lastHash() const { return lastHash_; }

 private:
  std::vector<TestCheck> checks_;
  std::string notApplicable_;
  std::uint64_t lastHash_ = 0;
  std::optional<std::uint64_t> startPicture_;
};

// Invalid when any is invalid, else not applicable when any is, else valid.
Verdict Combine(std::span<const Verdict> verdicts);

}  // namespace asmpic::app
