#include "app/run/headless_form.h"

#include "app/run/benchmark_table.h"
#include "platform/interruption.h"

namespace asmpic::app {

HeadlessForm1::HeadlessForm1(const platform::Image& picture1, const platform::Image& picture2,
                             const KernelStore& kernels)
    : Engine1(runtime, kernels), Engine2(runtime, kernels) {
  Picture1.SetPicture(&picture1);
  Picture2.SetPicture(&picture2);
  Engine1.PictureBox(Picture1);
  Engine2.PictureBox(Picture2);
  Picture2.SetVisible(false);
  Timer1.onTick = [this] {
    auto form = controls();
    Timer1_Timer(form);
  };
  Timer2.onTick = [this] {
    auto form = controls();
    Timer2_Timer(form);
  };
  // SIGINT or SIGTERM stops a run at its next yield, as closing the window does.
  runtime.onYield = [this] {
    if (platform::CaughtSignal() != 0) state.closing = true;
  };
}

Form1Controls HeadlessForm1::controls() {
  return {runtime, Engine1, Engine2, Picture2, List1, Label1, Timer1, Timer2, shell};
}

void HeadlessForm1::Run(std::span<const int> tests, RunObserver* observer) {
  auto form = controls();
  if (IsFullRun(tests)) {
    Command1_Click(form, state, {.observer = observer});
  } else {
    RunSomeTests(form, state, tests, {.observer = observer});
  }
}

}  // namespace asmpic::app
