#include "platform/qt/qt_timer.h"

namespace asmpic::platform {

QtTimer::QtTimer(int interval, bool enabled) : interval_(interval), enabled_(enabled) {
  timer_.setTimerType(Qt::PreciseTimer);
  QObject::connect(&timer_, &QTimer::timeout, &timer_, [this] { Tick(); });
  Apply();
}

void QtTimer::SetInterval(int milliseconds) {
  interval_ = milliseconds;
  Apply();
}

void QtTimer::SetEnabled(bool enabled) {
  if (enabled == enabled_) return;  // enabling a running timer does not restart its interval
  enabled_ = enabled;
  Apply();
}

void QtTimer::Apply() {
  if (enabled_ && interval_ > 0) {
    timer_.start(interval_);
  } else {
    timer_.stop();
  }
}

void QtTimer::Tick() {
  if (ticking_) return;
  ticking_ = true;
  if (onTick) onTick();
  ticking_ = false;
}

}  // namespace asmpic::platform
