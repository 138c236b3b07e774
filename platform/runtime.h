#pragma once
// The runtime services the engine and the window rely on: message boxes, yielding to the event
// loop, the time-of-day clock, random numbers, screen metrics, dialogs and ending the program.
#include <string_view>

#include "platform/dialogs.h"
#include "platform/random_numbers.h"

namespace asmpic::platform {

enum class MsgBoxButtons { OK, YesNo };
enum class MsgBoxIcon { None, Critical, Question, Exclamation, Information };
enum class MsgBoxResult { OK, Yes, No };

class Runtime {
 public:
  virtual ~Runtime() = default;

  // A modal message box; returns the button pressed.
  virtual MsgBoxResult MsgBox(std::string_view prompt, MsgBoxButtons buttons, MsgBoxIcon icon,
                              std::string_view title) = 0;

  // Processes the pending events once (repaints, timer ticks, input) and returns.
  virtual void DoEvents() = 0;

  // Seconds since local midnight, with a fraction.
  virtual float Timer() = 0;

  // Seconds on a clock that only goes forward (no midnight, no corrections of the time of day).
  virtual double MonotonicSeconds() = 0;

  // Twips (1/1440 inch) per screen pixel.
  virtual float TwipsPerPixelX() const = 0;
  virtual float TwipsPerPixelY() const = 0;

  virtual Dialogs& FileAndColourDialogs() = 0;

  // Ends the program with the given exit status.
  virtual void End(int status) = 0;

  RandomNumbers& Random() { return random_; }
  // Re-seeds the random numbers from the clock.
  void Randomize() { random_.Randomize(Timer()); }

 private:
  RandomNumbers random_;
};

}  // namespace asmpic::platform
