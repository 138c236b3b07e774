#pragma once
// The runtime services on Qt: message boxes, the event loop, the time of day, screen metrics,
// the dialogs and ending the program.
#include "platform/qt/qt_dialogs.h"
#include "platform/runtime.h"

namespace asmpic::platform {

class QtRuntime : public Runtime {
 public:
  MsgBoxResult MsgBox(std::string_view prompt, MsgBoxButtons buttons, MsgBoxIcon icon,
                      std::string_view title) override;
  // Processes the events waiting now, once.
  void DoEvents() override;
  float Timer() override;
  double MonotonicSeconds() override;
  // 1440 over the primary screen's logical dots per inch (15 at 96 dpi).
  float TwipsPerPixelX() const override;
  float TwipsPerPixelY() const override;
  Dialogs& FileAndColourDialogs() override { return dialogs_; }
  // Flushes the standard streams and leaves the process with `status` at once: no window is
  // closed and no destructor runs.
  void End(int status) override;

 private:
  QtDialogs dialogs_;
};

}  // namespace asmpic::platform
