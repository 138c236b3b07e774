#pragma once
// Progress of a headless run on a terminal: the test's name and its engine calls so far, written
// over itself on one line. Meant for stderr when it is a terminal; never for files or pipes.
#include <functional>
#include <iosfwd>
#include <string>

#include "app/run/form1_handlers.h"

namespace asmpic::app {

// True when standard error is a terminal.
bool StderrIsTerminal();

// The label of the `index`-th (from 0) of the timed runs or passes that go on until there are
// `count` of them and they have filled `minTime` seconds (`filled` so far): "run 3 of 5" while
// the count is what decides, then "run 6, 2.1 of 3.0 s" while the time is, so that neither part
// ever goes past its total. `noun` leads it ("run", "2 threads, pass").
std::string RunLabel(const std::string& noun, int index, int count, double filled, double minTime);

class ProgressObserver : public RunObserver {
 public:
  // `label` leads the line ("run 2 of 5"); `seconds` is a monotonic clock. A line is written at
  // most every `interval` seconds, the first only after `interval` has passed, so a run shorter
  // than a moment shows nothing.
  ProgressObserver(std::ostream& out, std::function<double()> seconds, double interval = 0.1);
  ~ProgressObserver() override;

  void SetLabel(std::string label) { label_ = std::move(label); }
  void TestStarting(int index) override;
  void Iteration(int index, int call) override;
  // Clears the line, if one was written.
  void Clear();

 private:
  std::ostream& out_;
  std::function<double()> seconds_;
  double interval_;
  double last_;
  std::string label_;
  bool written_ = false;
};

}  // namespace asmpic::app
