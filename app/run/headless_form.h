#pragma once
// Form1 without a window: the same controls, engines and handlers on the headless backend, for
// `asmbench --headless` and the tests.
#include <span>

#include "app/run/form1_handlers.h"
#include "platform/headless/headless_controls.h"
#include "platform/headless/headless_picture_box.h"
#include "platform/headless/headless_runtime.h"

namespace asmpic::app {

class HeadlessForm1 {
 public:
  // Shows the start pictures in Picture1 and Picture2, binds Engine1 and Engine2 and hides
  // Picture2, as the window does when it loads. `kernels` lets tests and checks swap the kernels.
  HeadlessForm1(const platform::Image& picture1, const platform::Image& picture2,
                const KernelStore& kernels = {});
  HeadlessForm1(const HeadlessForm1&) = delete;
  HeadlessForm1& operator=(const HeadlessForm1&) = delete;

  Form1Controls controls();

  // Runs `tests` (indices into kBenchmarkTests) as a press of Command1 would: all seven are the
  // whole run with its score; a subset is each of those tests alone, without a score.
  void Run(std::span<const int> tests, RunObserver* observer);

  platform::HeadlessRuntime runtime;
  platform::HeadlessWindow window{"ASMpic Bench"};
  platform::HeadlessPictureBox Picture1{window, 4455, 3255};
  platform::HeadlessPictureBox Picture2{window, 4455, 1455};
  platform::HeadlessListBox List1;
  platform::HeadlessLabel Label1{"1212", 255};
  platform::HeadlessTimer Timer1{runtime, 30, true};
  platform::HeadlessTimer Timer2{runtime, 10000, false};
  platform::HeadlessShell shell;
  clsASMpic Engine1;
  clsASMpic Engine2;
  RunState state;
};

}  // namespace asmpic::app
