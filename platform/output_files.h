#pragma once
// Outputs written whole or not at all. A run names its outputs before it starts (Stage), which
// checks that each can be written and opens a temporary file beside it; after the run it writes
// their contents and commits them together: every target is replaced by its complete new file
// or, when any output could not be written, none is and the temporary files go away.
//
// Standard output ("-") and targets that are no regular file (a pipe, a terminal, a device, a
// link into /dev or /proc such as /dev/stdout) are written straight through: a device is never
// replaced by a file.
#include <cstddef>
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
  // target itself is not touched.
  std::ostream* Stage(const std::string& path, std::string* error);

  // Completes every staged output (flushed and synced to disk), then puts each new file in place
  // of its target. When any output could not be written completely, no target is replaced and
  // `error` says which and why. The set is empty afterwards, either way.
  bool Commit(std::string* error);

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
