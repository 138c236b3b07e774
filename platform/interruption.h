#pragma once
// SIGINT, SIGTERM and SIGHUP in a run without a window: the first one is noted, so that the run
// stops at its next yield and leaves every output as it was; a second one, of any of the three,
// ends the program at once (a copy of the first that arrives within 0.2 s of it is not a second
// one: wrappers such as `timeout` send their signal twice), after removing the temporary files of outputs not yet in place.
// While outputs are being put in place (a CommitSection), a second signal waits for the end of
// the section, so that the outputs are either all replaced or all as they were.
// SIGPIPE is ignored meanwhile: a closed pipe makes its writes fail, which the program reports as
// the failure of that one output, instead of ending a finished run without a word.
namespace asmpic::platform {

// Catches the signals for as long as it lives.
class InterruptionCatcher {
 public:
  InterruptionCatcher();
  ~InterruptionCatcher();
  InterruptionCatcher(const InterruptionCatcher&) = delete;
  InterruptionCatcher& operator=(const InterruptionCatcher&) = delete;
};

// The signal caught so far (SIGINT, SIGTERM or SIGHUP), or 0. Safe to call from any thread.
int CaughtSignal();

// "SIGINT", "SIGTERM" or "SIGHUP".
const char* SignalName(int signal);

// The exit status that says a run ended because of `signal`: 128 + its number, as the shell
// reports a program the signal ended (130 for SIGINT, 143 for SIGTERM, 129 for SIGHUP).
inline int InterruptedExitStatus(int signal) {
  return 128 + signal;
}

// A file that a second signal removes before the program ends: a temporary output, or the link
// that keeps a replaced target while outputs are put in place. `path` must stay valid and
// unchanged until it is forgotten. A slot for ForgetFile, or -1 when every slot is taken.
int RememberFileToRemove(const char* path);
void ForgetFile(int slot);

// While it lives, a second signal is held back; when it ends, a held-back signal ends the
// program as it would have at once.
class CommitSection {
 public:
  CommitSection();
  ~CommitSection();
  CommitSection(const CommitSection&) = delete;
  CommitSection& operator=(const CommitSection&) = delete;
};

}  // namespace asmpic::platform
