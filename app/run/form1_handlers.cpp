#include "app/run/form1_handlers.h"

#include <locale>
#include <optional>

#include "app/run/benchmark_table.h"
#include "app/run/score.h"
#include "app/run/translation.h"

namespace asmpic::app {

namespace {

// Runs one test's loop: a yield before every engine call. False when the window is closing.
bool RunTestLoop(Form1Controls& form, RunState& state, const RunOptions& options, int index) {
  const BenchmarkTest& test = kBenchmarkTests[static_cast<std::size_t>(index)];
  int call = 0;
  const auto yield = [&] {
    form.runtime.DoEvents();
    if (state.closing) return false;
    if (options.observer != nullptr) options.observer->Iteration(index, call);
    ++call;
    return true;
  };
  if (test.rotates) {
    for (int i = 1; i <= 360; ++i) {
      if (!yield()) return false;
      form.Engine1.ASM_Rotate(static_cast<std::int16_t>(i), false, true, -1);
    }
    for (int i = 360; i >= 1; --i) {
      if (!yield()) return false;
      form.Engine1.ASM_Rotate(static_cast<std::int16_t>(i), false, true, -1);
    }
    return true;
  }
  for (int i = 1; i <= 360; i += test.step) {
    if (!yield()) return false;
    form.Engine1.ASM_PixelEffects(test.opcode, 1, -1);
  }
  return true;
}

// Counts a run in progress for as long as it lasts.
class RunDepth {
 public:
  explicit RunDepth(RunState& state) : state_(state) { ++state_.depth; }
  ~RunDepth() { --state_.depth; }
  RunDepth(const RunDepth&) = delete;
  RunDepth& operator=(const RunDepth&) = delete;

 private:
  RunState& state_;
};

// One test as the run makes it: its caption appended to List1, the clock read around its loop, the
// caption and elapsed seconds written into the last line, and the picture reset. The elapsed time,
// or nothing when the window is closing.
std::optional<float> RunOneTest(Form1Controls& form, RunState& state, const RunOptions& options, int index,
                                const std::string& decimalSeparator) {
  const BenchmarkTest& test = kBenchmarkTests[static_cast<std::size_t>(index)];
  form.List1.AddItem(test.caption);
  if (options.observer != nullptr) options.observer->TestStarting(index);
  const float start = form.runtime.Timer();
  const double monotonicStart = form.runtime.MonotonicSeconds();
  if (!RunTestLoop(form, state, options, index)) return std::nullopt;
  const float end = form.runtime.Timer();
  const float elapsed = ElapsedSeconds(start, end, form.runtime.MonotonicSeconds() - monotonicStart);
  if (options.observer != nullptr) options.observer->TestFinished(index, elapsed, form.Engine1);
  form.List1.SetList(form.List1.ListCount() - 1, test.caption + FormatSeconds(elapsed, decimalSeparator));
  form.Engine1.ResetPic();
  return elapsed;
}

}  // namespace

std::string LocaleDecimalSeparator() {
  try {
    return std::string(1, std::use_facet<std::numpunct<char>>(std::locale("")).decimal_point());
  } catch (const std::runtime_error&) {
    return ".";  // an unknown locale in the environment
  }
}

bool Command1_Click(Form1Controls& form, RunState& state, const RunOptions& options) {
  RunDepth depth(state);
  // The question belongs to the run that just ended: a new run stops its timer, so the modal
  // question never opens in the middle of a timed test.
  form.Timer2.SetEnabled(false);
  const std::string separator = LocaleDecimalSeparator();
  form.Picture2.SetVisible(false);
  form.List1.Clear();
  float total = 0.0f;
  for (int index = 0; index < static_cast<int>(kBenchmarkTests.size()); ++index) {
    const std::optional<float> elapsed = RunOneTest(form, state, options, index, separator);
    if (!elapsed) return false;
    total += *elapsed;
  }

  form.Picture2.SetVisible(true);
  const Score score = ComputeScore(total);
  form.Label1.SetForeColor(score.colour);
  form.Label1.SetCaption(std::to_string(score.value));
  form.Timer1.SetEnabled(true);
  if (options.startTimer2) form.Timer2.SetEnabled(true);
  return true;
}

bool RunSomeTests(Form1Controls& form, RunState& state, std::span<const int> tests,
                  const RunOptions& options) {
  RunDepth depth(state);
  const std::string separator = LocaleDecimalSeparator();
  form.List1.Clear();
  for (const int index : tests) {
    if (index < 0 || index >= static_cast<int>(kBenchmarkTests.size())) continue;
    if (!RunOneTest(form, state, options, index, separator)) return false;
  }
  return true;
}

void Timer1_Timer(Form1Controls& form) {
  if (!form.Picture2.Visible()) return;
  form.Engine2.ASM_IncrementalPalEffects(1, 1);
}

void Timer2_Timer(Form1Controls& form) {
  // The question is modal and the timer keeps running while it is open: ask once at a time.
  static thread_local bool asking = false;
  if (asking) return;
  asking = true;
  const auto answer =
      form.runtime.MsgBox(WindowText(kQuestionPrompt).toStdString(), platform::MsgBoxButtons::YesNo,
                          platform::MsgBoxIcon::Question, WindowText(kQuestionTitle).toStdString());
  asking = false;
  if (answer == platform::MsgBoxResult::Yes) {
    const std::string text = form.Label1.Caption();
    platform::Runtime& runtime = form.runtime;
    const auto open = [&](char suffix) {
      form.shell.Open(MailLink(text, suffix), [&runtime, subject = MailSubject(text, suffix)] {
        runtime.MsgBox(WindowText(kMailNotOpenedPrompt).arg(QString::fromStdString(subject)).toStdString(),
                       platform::MsgBoxButtons::OK, platform::MsgBoxIcon::Exclamation,
                       WindowText(kMailNotOpenedTitle).toStdString());
      });
    };
    if (form.Label1.ForeColor() == kGreen) open('A');
    if (form.Label1.ForeColor() == kRed) open('B');
  }
  form.Timer1.SetEnabled(false);
  form.Timer2.SetEnabled(false);
}

}  // namespace asmpic::app
