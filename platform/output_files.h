#pragma once
// Outputs written whole or not at all. A run names its outputs before it starts (Stage), which
// checks that each can be written and opens a temporary file beside it; after the run it writes
// their contents and commits them together: every target is replaced by its complete new file
// or, when any output could not be written or put in place, none is and the temporary files go
// away. A replaced target is kept as a hard link until every new file is in place, so that a
// rename that fails half-way puts the earlier ones back; the folders are synced after the
// renames, so that the new files survive a power cut. A replaced file keeps its permissions, its
// owner where the system allows it, and the links that lead to it (the file a link names is
// replaced, the link stays).
//
// Standard output ("-") and targets that are no regular file (a pipe, a terminal, a device, a
// link into /dev or /proc such as /dev/stdout) are written straight through: a device is never
// replaced by a file.
#include <cstddef>
#include <functional>
#include <iosfwd>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace asmpic::platform {

class OutputFiles {
 public:
  // Outputs named "-" go to `standardOutput`.
  explicit OutputFiles(std::ostream& standardOutput);
  // Discards whatever was not committed.
  ~OutputFiles();
  OutputFiles(const OutputFiles&) = delete;
  OutputFiles& operator=(const OutputFiles&) = delete;

  // Stages an output: the stream its content goes to, or nullptr when it cannot be written, with
  // `error` naming the file and the system's reason ("x/y.csv: No such file or directory"). The
  // target itself is not touched. A named pipe that no program reads is refused at once.
  std::ostream* Stage(const std::string& path, std::string* error);

  // Completes every staged output (flushed and synced to disk), then puts each new file in place
  // of its target. When any output could not be written completely or put in place, no target is
  // replaced and `error` says which and why. `alongside`, when given, is the other half of the
  // same decision (storing the run): it runs once every new file is in place, and when it fails
  // (saying why in its argument) the targets are put back as they were. Signals wait for the
  // renames to end. The set is empty afterwards, either way.
  bool Commit(std::string* error, const std::function<bool(std::string*)>& alongside = {});

  // Removes the temporary files; every target stays as it was.
  void Discard();

 private:
  struct Output;
  std::ostream& standardOutput_;
  std::vector<std::unique_ptr<Output>> outputs_;
};

// The first two of `paths` that name the same file, by their indices: the same existing file
// (through links too), the same new file, or standard output ("-", or a path to the file or
// device that standard output is). Nothing when they all differ.
std::optional<std::pair<std::size_t, std::size_t>> FindSameFile(const std::vector<std::string>& paths);

}  // namespace asmpic::platform
