#include "platform/headless/headless_runtime.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>

#include "platform/headless/headless_controls.h"

namespace asmpic::platform {

float SecondsSinceMidnight() {
  const auto now = std::chrono::system_clock::now();
  const std::time_t seconds = std::chrono::system_clock::to_time_t(now);
  std::tm local{};
  localtime_r(&seconds, &local);
  const auto fraction = std::chrono::duration<double>(now - std::chrono::system_clock::from_time_t(seconds));
  return static_cast<float>(local.tm_hour * 3600.0 + local.tm_min * 60.0 + local.tm_sec + fraction.count());
}

HeadlessRuntime::HeadlessRuntime() = default;

MsgBoxResult HeadlessRuntime::MsgBox(std::string_view prompt, MsgBoxButtons buttons, MsgBoxIcon icon,
                                     std::string_view title) {
  messages.push_back({std::string(prompt), std::string(title), buttons, icon});
  if (echoMessages) {
    std::fprintf(stderr, "%.*s: %.*s\n", static_cast<int>(title.size()), title.data(),
                 static_cast<int>(prompt.size()), prompt.data());
  }
  if (duringMessage) duringMessage();
  if (!answers.empty()) {
    const MsgBoxResult answer = answers.front();
    answers.pop_front();
    return answer;
  }
  return buttons == MsgBoxButtons::YesNo ? MsgBoxResult::No : MsgBoxResult::OK;
}

void HeadlessRuntime::DoEvents() {
  ++yields;
  const double now = Milliseconds();
  // A tick may enable, disable or even destroy timers; poll a snapshot and skip the gone ones.
  const std::vector<HeadlessTimer*> snapshot = timers_;
  for (HeadlessTimer* timer : snapshot) {
    if (std::find(timers_.begin(), timers_.end(), timer) != timers_.end()) timer->Poll(now);
  }
  if (onYield) onYield();
}

float HeadlessRuntime::Timer() {
  return clock ? clock() : SecondsSinceMidnight();
}

double HeadlessRuntime::Milliseconds() const {
  if (millisecondClock) return millisecondClock();
  return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

void HeadlessRuntime::End(int status) {
  if (onEnd) return onEnd(status);
  std::fflush(nullptr);
  std::_Exit(status);
}

void HeadlessRuntime::RemoveTimer(HeadlessTimer* timer) {
  timers_.erase(std::remove(timers_.begin(), timers_.end(), timer), timers_.end());
}

}  // namespace asmpic::platform
