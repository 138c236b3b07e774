#pragma once
#include <QTimer>

#include "platform/controls.h"

namespace asmpic::platform {

// A timer that ticks once per interval while it is enabled and its interval is above 0 (an
// interval of 0 never ticks, though the timer may count as enabled). A tick never runs inside its
// own handler, even when the handler yields to the event loop.
class QtTimer : public Timer {
 public:
  QtTimer(int interval, bool enabled);

  int Interval() const override { return interval_; }
  void SetInterval(int milliseconds) override;
  bool Enabled() const override { return enabled_; }
  void SetEnabled(bool enabled) override;

  bool running() const { return timer_.isActive(); }

 private:
  void Apply();
  void Tick();

  QTimer timer_;
  int interval_;
  bool enabled_;
  bool ticking_ = false;
};

}  // namespace asmpic::platform
