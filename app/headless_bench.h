#pragma once
// The benchmark without a window: Form1's run on the headless backend, printed as the list shows it.
#include <iosfwd>
#include <string>

#include "platform/controls.h"

namespace CLI {
class App;
}

namespace asmpic::app {

struct HeadlessOptions {
  std::string assetsDirectory;  // empty: AssetsDirectory()
};

// Registers the headless run's command-line options.
void AddHeadlessOptions(CLI::App& cli, HeadlessOptions& options);
// The exit statuses, for --help.
std::string HeadlessExitStatusHelp();

// Runs the benchmark once and prints the seven list lines and the score line to `out`; errors go
// to `err`. Returns the exit status.
int RunHeadlessBenchmark(const HeadlessOptions& options, std::ostream& out, std::ostream& err);

// The list's lines, one per line, then "Score: N (green)" or "Score: N (red)".
void PrintResult(const platform::ListBox& list, const platform::Label& label, std::ostream& out);

}  // namespace asmpic::app
