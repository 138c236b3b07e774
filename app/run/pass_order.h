#pragma once
// The order of the tests in each timed pass. After the classic pass the tests run in an order
// that changes from pass to pass, so that a test never always follows the same one (caches,
// clock and heat left by its predecessor) and a slow drift spreads over all of them. The orders
// come from a seed, so that a run can be made again exactly.
#include <cstdint>
#include <random>
#include <span>
#include <string>
#include <vector>

namespace asmpic::app {

class HeadlessForm1;
class RunObserver;

// A seed from the system's random source.
std::uint64_t RandomSeed();

class PassOrder {
 public:
  // `shuffled` false: every pass keeps the given order.
  PassOrder(std::uint64_t seed, bool shuffled) : random_(seed), shuffled_(shuffled) {}

  // The next pass's order of `tests`.
  std::vector<int> Next(std::span<const int> tests);

 private:
  std::mt19937_64 random_;
  bool shuffled_;
};

// Runs `order` on the form as the window's run would run those tests, the second picture hidden
// while they run (and shown again after, if it was); List1 then holds their lines in the order of `tests`, as a run in that order
// would have left it. False when a signal stopped the run.
bool RunInOrder(HeadlessForm1& form, std::span<const int> order, std::span<const int> tests,
                RunObserver* observer);

}  // namespace asmpic::app
