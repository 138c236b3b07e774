#include "platform/headless/headless_controls.h"

#include <stdexcept>

#include "platform/headless/headless_runtime.h"

namespace asmpic::platform {

std::string HeadlessListBox::List(int index) const {
  if (index < 0 || index >= ListCount()) throw std::out_of_range("list index out of range");
  return items_[static_cast<std::size_t>(index)];
}

void HeadlessListBox::SetList(int index, const std::string& text) {
  if (index < 0 || index >= ListCount()) throw std::out_of_range("list index out of range");
  items_[static_cast<std::size_t>(index)] = text;
}

HeadlessTimer::HeadlessTimer(HeadlessRuntime& runtime, int interval, bool enabled)
    : runtime_(runtime), interval_(interval), enabled_(enabled), lastMs_(runtime.Milliseconds()) {
  runtime_.AddTimer(this);
}

HeadlessTimer::~HeadlessTimer() {
  runtime_.RemoveTimer(this);
}

void HeadlessTimer::SetEnabled(bool enabled) {
  // Enabling starts a fresh interval, as a real timer does.
  if (enabled && !enabled_) lastMs_ = runtime_.Milliseconds();
  enabled_ = enabled;
}

void HeadlessTimer::Poll(double nowMs) {
  if (!enabled_ || ticking_ || interval_ <= 0 || nowMs - lastMs_ < interval_) return;
  lastMs_ = nowMs;
  ++ticks;
  ticking_ = true;
  if (onTick) onTick();
  ticking_ = false;
}

}  // namespace asmpic::platform
