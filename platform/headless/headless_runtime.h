#pragma once
// The runtime without a window system: message boxes go to a log (and to stderr as
// "TITLE: MESSAGE") and are answered from a queue; yielding polls the headless timers; the clock
// and the millisecond clock can be scripted.
#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "platform/headless/headless_dialogs.h"
#include "platform/runtime.h"

namespace asmpic::platform {

class HeadlessTimer;

class HeadlessRuntime : public Runtime {
 public:
  HeadlessRuntime();

  MsgBoxResult MsgBox(std::string_view prompt, MsgBoxButtons buttons, MsgBoxIcon icon,
                      std::string_view title) override;
  void DoEvents() override;
  float Timer() override;
  double MonotonicSeconds() override { return Milliseconds() / 1000.0; }
  float TwipsPerPixelX() const override { return twipsPerPixelX; }
  float TwipsPerPixelY() const override { return twipsPerPixelY; }
  Dialogs& FileAndColourDialogs() override { return dialogs; }
  // Calls onEnd when set (tests), else leaves the process with `status`.
  void End(int status) override;

  // Milliseconds on a monotonic clock, for the timers.
  double Milliseconds() const;

  struct Message {
    std::string prompt;
    std::string title;
    MsgBoxButtons buttons;
    MsgBoxIcon icon;
  };
  std::vector<Message> messages;
  std::deque<MsgBoxResult> answers;  // an empty queue answers OK, or No to a question
  bool echoMessages = true;          // print "TITLE: MESSAGE" on stderr

  float twipsPerPixelX = 15.0f;
  float twipsPerPixelY = 15.0f;
  HeadlessDialogs dialogs;

  std::function<float()> clock;              // seconds since midnight; the real time of day when unset
  std::function<double()> millisecondClock;  // monotonic; std::chrono::steady_clock when unset
  std::function<void()> onYield;             // runs inside every DoEvents, after the timers
  std::function<void()> duringMessage;       // runs while a message box is open, as its modal loop would
  std::function<void(int)> onEnd;
  int yields = 0;

  void AddTimer(HeadlessTimer* timer) { timers_.push_back(timer); }
  void RemoveTimer(HeadlessTimer* timer);

 private:
  std::vector<HeadlessTimer*> timers_;
};

// Seconds since local midnight, from the system clock.
float SecondsSinceMidnight();

}  // namespace asmpic::platform
