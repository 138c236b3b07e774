#include "platform/interruption.h"

#include <atomic>
#include <csignal>
#include <utility>

namespace asmpic::platform {

namespace {

std::atomic<int> caught{0};
static_assert(std::atomic<int>::is_always_lock_free, "the signal handler needs a lock-free flag");

struct sigaction previousInterrupt {};
struct sigaction previousTerminate {};

void Note(int signal) {
  caught.store(signal);
}

}  // namespace

InterruptionCatcher::InterruptionCatcher() {
  caught.store(0);
  struct sigaction action {};
  action.sa_handler = Note;
  sigemptyset(&action.sa_mask);
  // SA_RESETHAND: a second signal finds the default action and ends the program at once.
  action.sa_flags = SA_RESTART | SA_RESETHAND;
  // A signal that was ignored when the program started (a background job's SIGINT) stays ignored.
  for (auto [signal, previous] :
       {std::pair{SIGINT, &previousInterrupt}, std::pair{SIGTERM, &previousTerminate}}) {
    sigaction(signal, nullptr, previous);
    if (previous->sa_handler != SIG_IGN) sigaction(signal, &action, nullptr);
  }
}

InterruptionCatcher::~InterruptionCatcher() {
  sigaction(SIGINT, &previousInterrupt, nullptr);
  sigaction(SIGTERM, &previousTerminate, nullptr);
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
    default:
      return "a signal";
  }
}

}  // namespace asmpic::platform
