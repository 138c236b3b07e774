#pragma once
// Runs that move between histories: result files imported into a history (asmbench --import), and
// the runs kept locally while their server could not be reached, sent to it later (asmbench
// --push). Both store each run in its own transaction, keyed by its UUID, so that repeating an
// import, or a push that was cut off, stores every run exactly once.
#include <functional>
#include <iosfwd>
#include <string>
#include <vector>

namespace asmpic::app {

// Stores each result file (a result document of any version) in the history at `target`. A file
// that cannot be read, or is not a sound result document, is refused with its name and the reason,
// nothing of it is stored, and the others go on. 0 when every file is stored (or was already), 1
// when one was refused or the history failed.
int ImportResults(const std::vector<std::string>& files, const std::string& target, std::ostream& out,
                  std::ostream& err);

// Sends every run of the local history (`localPath`) that waits to be sent to the server at
// `target`, oldest first, each in its own transaction; a run is marked sent only once the server
// has committed it. `beforeCommit` (for tests) is called with each run's local id before its
// commit. 0 when every run is sent, 1 otherwise (the rest keep waiting).
int PushUnsent(const std::string& localPath, const std::string& target, std::ostream& out, std::ostream& err,
               const std::function<void(long long)>& beforeCommit = {});

}  // namespace asmpic::app
