#include "platform/interruption.h"

#include <time.h>
#include <unistd.h>

#include <array>
#include <atomic>
#include <csignal>

namespace asmpic::platform {

namespace {

constexpr std::array kCaught{SIGINT, SIGTERM, SIGHUP};

std::atomic<int> caught{0};
std::atomic<int> heldBack{0};  // a second signal that arrived during a commit section
std::atomic<int> committing{0};
std::atomic<bool> catching{false};
std::atomic<long long> caughtAtNs{0};  // when the first signal was noted, on the monotonic clock
static_assert(std::atomic<int>::is_always_lock_free, "the signal handler needs lock-free flags");
static_assert(std::atomic<long long>::is_always_lock_free);

// A copy of the first signal that arrives this soon after it is the same request, not a second
// one: `timeout` and other wrappers send their signal to the program and then to its whole
// process group, so the program may receive it twice within microseconds. A person pressing
// Ctrl-C twice takes far longer.
constexpr long long kSameRequestNs = 200'000'000;

long long MonotonicNs() {
  timespec now{};
  clock_gettime(CLOCK_MONOTONIC, &now);  // async-signal-safe
  return static_cast<long long>(now.tv_sec) * 1'000'000'000 + now.tv_nsec;
}

std::array<std::atomic<const char*>, 64> filesToRemove{};
static_assert(std::atomic<const char*>::is_always_lock_free);

std::array<struct sigaction, kCaught.size()> previous{};
struct sigaction previousPipe {};

// Everything here is async-signal-safe: unlink, signal, raise.
void EndNow(int signal) {
  for (auto& file : filesToRemove) {
    if (const char* path = file.exchange(nullptr)) ::unlink(path);
  }
  std::signal(signal, SIG_DFL);
  ::raise(signal);  // delivered as soon as the handler returns: the program ends by the signal
}

void Note(int signal) {
  int none = 0;
  if (caught.compare_exchange_strong(none, signal)) {
    caughtAtNs.store(MonotonicNs());
    return;
  }
  if (signal == caught.load() && MonotonicNs() - caughtAtNs.load() < kSameRequestNs) return;
  if (committing.load() > 0) {
    heldBack.store(signal);
    return;
  }
  EndNow(signal);
}

}  // namespace

InterruptionCatcher::InterruptionCatcher() {
  caught.store(0);
  heldBack.store(0);
  struct sigaction action {};
  action.sa_handler = Note;
  sigemptyset(&action.sa_mask);
  for (int signal : kCaught) sigaddset(&action.sa_mask, signal);  // one handler at a time
  action.sa_flags = SA_RESTART;
  // A signal that was ignored when the program started (a background job's SIGINT, nohup's
  // SIGHUP) stays ignored.
  for (std::size_t i = 0; i < kCaught.size(); ++i) {
    sigaction(kCaught[i], nullptr, &previous[i]);
    if (previous[i].sa_handler != SIG_IGN) sigaction(kCaught[i], &action, nullptr);
  }
  struct sigaction ignore {};
  ignore.sa_handler = SIG_IGN;
  sigemptyset(&ignore.sa_mask);
  sigaction(SIGPIPE, &ignore, &previousPipe);
  catching.store(true);
}

InterruptionCatcher::~InterruptionCatcher() {
  catching.store(false);
  for (std::size_t i = 0; i < kCaught.size(); ++i) sigaction(kCaught[i], &previous[i], nullptr);
  sigaction(SIGPIPE, &previousPipe, nullptr);
}

int CaughtSignal() {
  return caught.load();
}

const char* SignalName(int signal) {
  switch (signal) {
    case SIGINT:
      return "SIGINT";
    case SIGTERM:
      return "SIGTERM";
    case SIGHUP:
      return "SIGHUP";
    default:
      return "a signal";
  }
}

int RememberFileToRemove(const char* path) {
  for (std::size_t i = 0; i < filesToRemove.size(); ++i) {
    const char* none = nullptr;
    if (filesToRemove[i].compare_exchange_strong(none, path)) return static_cast<int>(i);
  }
  return -1;
}

void ForgetFile(int slot) {
  if (slot >= 0 && static_cast<std::size_t>(slot) < filesToRemove.size()) filesToRemove[slot].store(nullptr);
}

CommitSection::CommitSection() {
  committing.fetch_add(1);
}

CommitSection::~CommitSection() {
  if (committing.fetch_sub(1) == 1) {
    if (const int signal = heldBack.exchange(0); signal != 0 && catching.load()) EndNow(signal);
  }
}

}  // namespace asmpic::platform
