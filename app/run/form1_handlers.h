#pragma once
// What Form1 does when Command1 is pressed and when its timers tick, written against the platform
// interfaces so that the window, the headless run and the tests share it.
#include <QtGlobal>
#include <span>
#include <string>

#include "engine/cls_asmpic.h"
#include "platform/controls.h"
#include "platform/picture_box.h"
#include "platform/runtime.h"

namespace asmpic::app {

// Told about each test of a run, outside its timed span.
class RunObserver {
 public:
  virtual ~RunObserver() = default;
  // Just before the test's first clock reading.
  virtual void TestStarting(int index) { (void)index; }
  // After its second clock reading, before the reset: plane 2 holds the test's last picture.
  virtual void TestFinished(int index, float elapsedSeconds, const clsASMpic& engine) {
    (void)index, (void)elapsedSeconds, (void)engine;
  }
  // Before each engine call of a test, after the yield.
  virtual void Iteration(int index, int call) { (void)index, (void)call; }
};

// The controls and services the handlers use.
struct Form1Controls {
  platform::Runtime& runtime;
  clsASMpic& Engine1;
  clsASMpic& Engine2;
  platform::PictureBox& Picture2;
  platform::ListBox& List1;
  platform::Label& Label1;
  platform::Timer& Timer1;
  platform::Timer& Timer2;
  platform::Shell& shell;
};

struct RunOptions {
  // The end of a run in the window starts Timer2, so the question comes 10 s after the score.
  bool startTimer2 = false;
  RunObserver* observer = nullptr;
};

// Shared by the runs of one window: set `closing` when the window goes away in the middle of a
// run, and every run (nested ones too) returns at its next yield without touching the controls.
struct RunState {
  bool closing = false;
  int depth = 0;  // runs in progress, nested included
};

// Command1: the benchmark run. Returns false when it stopped because the window is closing.
bool Command1_Click(Form1Controls& form, RunState& state, const RunOptions& options = {});

// Some of the run's tests (indices into kBenchmarkTests, in the order given), each exactly as
// Command1 runs it: List1 is cleared and gets one line per test; no score, Picture2 and the timers
// are left alone. Returns false when it stopped because the window is closing.
bool RunSomeTests(Form1Controls& form, RunState& state, std::span<const int> tests,
                  const RunOptions& options = {});

// Timer1: the score animation, one palette step on Engine2 while Picture2 is shown.
void Timer1_Timer(Form1Controls& form);

// Timer2: asks whether to send the score and opens the mail link on Yes; then both timers stop.
// When no mail program can take the link, a message box shows its subject instead.
void Timer2_Timer(Form1Controls& form);

// The window's own texts (Russian), translated through WindowText() when a translation is installed.
inline constexpr const char* kQuestionPrompt =
    QT_TRANSLATE_NOOP("asmpic::app::Form1", "Хотите послать результаты автору программы?");
inline constexpr const char* kQuestionTitle =
    QT_TRANSLATE_NOOP("asmpic::app::Form1", "ТЕСТ ЗАВЕРШЕН УСПЕШНО");
// Shown when no mail program could take the link, with the link's subject (%1), so that the user
// can send the score by hand.
inline constexpr const char* kMailNotOpenedPrompt = QT_TRANSLATE_NOOP(
    "asmpic::app::Form1", "Не удалось открыть почтовую программу. Отправьте письмо вручную с темой:\n\n%1");
inline constexpr const char* kMailNotOpenedTitle =
    QT_TRANSLATE_NOOP("asmpic::app::Form1", "Письмо не отправлено");

// The decimal separator of the user's locale.
std::string LocaleDecimalSeparator();

}  // namespace asmpic::app
