#pragma once
// A program started by a test with its standard output and error on one pipe, so that the test
// can wait for what the program says, signal it, or close the pipe on it.
#include <fcntl.h>
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <string>
#include <vector>

namespace asmpic::testing {

class ChildProgram {
 public:
  using Clock = std::chrono::steady_clock;

  // Starts `program` with `args`; the shell is not involved. A cross-built program comes with the
  // emulator that runs it ("qemu-aarch64 … asmbench"): its words are split at spaces.
  ChildProgram(const std::string& program, const std::vector<std::string>& args) {
    std::vector<std::string> words;
    for (std::size_t at = 0; at < program.size();) {
      const std::size_t end = std::min(program.find(' ', at), program.size());
      if (end > at) words.push_back(program.substr(at, end - at));
      at = end + 1;
    }
    words.insert(words.end(), args.begin(), args.end());
    int ends[2];
    if (words.empty() || ::pipe2(ends, O_CLOEXEC) != 0) return;
    pid_ = ::fork();
    if (pid_ == 0) {
      ::dup2(ends[1], STDOUT_FILENO);
      ::dup2(ends[1], STDERR_FILENO);
      std::vector<char*> argv;
      for (std::string& word : words) argv.push_back(word.data());
      argv.push_back(nullptr);
      ::execv(argv[0], argv.data());
      ::_exit(127);
    }
    ::close(ends[1]);
    read_ = ends[0];
  }
  ~ChildProgram() {
    if (pid_ > 0 && !ended_) {
      ::kill(pid_, SIGKILL);
      Wait();
    }
    CloseOutput();
  }
  ChildProgram(const ChildProgram&) = delete;
  ChildProgram& operator=(const ChildProgram&) = delete;

  // Reads what the program says until `text` appears (true), it closes its output or the
  // deadline passes (false).
  bool WaitFor(const std::string& text, Clock::time_point deadline) {
    while (said_.find(text) == std::string::npos) {
      if (!ReadUntil(deadline)) return false;
    }
    return true;
  }
  // Reads until the deadline (or the end of the output).
  void ReadFor(Clock::duration duration) {
    const auto deadline = Clock::now() + duration;
    while (Clock::now() < deadline && ReadUntil(deadline)) {
    }
  }
  void Signal(int signal) const { ::kill(pid_, signal); }
  // Closes the pipe's reading end: the program's next write meets a closed pipe.
  void CloseOutput() {
    if (read_ >= 0) ::close(read_);
    read_ = -1;
  }
  // Reads the rest and waits for the end: the wait status.
  int Wait() {
    while (read_ >= 0 && ReadUntil(Clock::now() + std::chrono::seconds(60))) {
    }
    int status = 0;
    ::waitpid(pid_, &status, 0);
    ended_ = true;
    return status;
  }
  const std::string& said() const { return said_; }

 private:
  bool ReadUntil(Clock::time_point deadline) {
    if (read_ < 0) return false;
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    if (left <= 0) return false;
    pollfd ready{read_, POLLIN, 0};
    if (::poll(&ready, 1, static_cast<int>(left)) <= 0) return false;
    char buffer[4096];
    const ssize_t count = ::read(read_, buffer, sizeof buffer);
    if (count <= 0) {
      CloseOutput();
      return false;
    }
    said_.append(buffer, static_cast<std::size_t>(count));
    return true;
  }

  pid_t pid_ = -1;
  int read_ = -1;
  bool ended_ = false;
  std::string said_;
};

}  // namespace asmpic::testing
