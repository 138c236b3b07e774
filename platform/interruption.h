#pragma once
// SIGINT and SIGTERM in a run without a window: the first one is noted, so that the run stops at
// its next yield and leaves every output as it was; a second one ends the program as the signal
// always does.
namespace asmpic::platform {

// Catches the two signals for as long as it lives.
class InterruptionCatcher {
 public:
  InterruptionCatcher();
  ~InterruptionCatcher();
  InterruptionCatcher(const InterruptionCatcher&) = delete;
  InterruptionCatcher& operator=(const InterruptionCatcher&) = delete;
};

// The signal caught so far (SIGINT or SIGTERM), or 0. Safe to call from any thread.
int CaughtSignal();

// "SIGINT" or "SIGTERM".
const char* SignalName(int signal);

// The exit status that says a run ended because of `signal`: 128 + its number, as the shell
// reports a program the signal ended (130 for SIGINT, 143 for SIGTERM).
inline int InterruptedExitStatus(int signal) {
  return 128 + signal;
}

}  // namespace asmpic::platform
