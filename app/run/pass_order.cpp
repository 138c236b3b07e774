#include "app/run/pass_order.h"

#include <algorithm>

#include "app/run/headless_form.h"

namespace asmpic::app {

std::uint64_t RandomSeed() {
  std::random_device source;
  return source() & 0x7fffffffU;  // what --seed takes back
}

std::vector<int> PassOrder::Next(std::span<const int> tests) {
  std::vector<int> order(tests.begin(), tests.end());
  if (!shuffled_) return order;
  // Fisher-Yates with the generator's raw output, so that a seed gives the same orders with every
  // standard library (std::shuffle's use of the generator is left to each).
  for (std::size_t i = order.size(); i > 1; --i) {
    const auto j = static_cast<std::size_t>(random_() % i);
    std::swap(order[i - 1], order[j]);
  }
  return order;
}

bool RunInOrder(HeadlessForm1& form, std::span<const int> order, std::span<const int> tests,
                RunObserver* observer) {
  Form1Controls controls = form.controls();
  // As the window's run does: the second picture's animation stays still while tests are timed.
  const bool shown = form.Picture2.Visible();
  form.Picture2.SetVisible(false);
  const bool finished = RunSomeTests(controls, form.state, order, {.observer = observer});
  form.Picture2.SetVisible(shown);
  if (!finished) return false;
  const std::vector<std::string> lines = form.List1.items();
  form.List1.Clear();
  for (const int test : tests) {
    const auto at = std::find(order.begin(), order.end(), test);
    const auto index = static_cast<std::size_t>(at - order.begin());
    if (at != order.end() && index < lines.size()) form.List1.AddItem(lines[index]);
  }
  return true;
}

}  // namespace asmpic::app
