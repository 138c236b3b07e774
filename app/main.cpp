// asmbench: the benchmark. With a display it opens the window; with none, or with --headless, it
// runs the benchmark once on the headless backend and prints the list and the score. Built without
// the window (ASMPIC_WITH_WINDOW 0), it always runs headless; the window's part is
// app/window/window_main.cpp.
#include <CLI/CLI.hpp>

#include <algorithm>
#include <cstdlib>
#include <iostream>
#include <optional>
#include <string>

#include "app/history/history_cli.h"
#include "app/run/headless_bench.h"
#include "platform/command_line.h"
#include "platform/kernel_option.h"
#if ASMPIC_WITH_WINDOW
#include "app/window/window_main.h"
#endif

#if !ASMPIC_WITH_WINDOW
namespace asmpic::app {
// What the window would have been given, in an asmbench built without it.
struct WindowOptions {
  bool run = false;
  std::string screenshot;
  bool verbose = false;
};
}  // namespace asmpic::app
#endif

namespace {

using namespace asmpic;

bool HasDisplay() {
  for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"}) {
    const char* value = std::getenv(name);
    if (value != nullptr && *value != '\0') return true;
  }
  return false;
}

}  // namespace

int main(int argc, char** argv) {
#if ASMPIC_WITH_WINDOW
  CLI::App cli{
      "asmbench: ASMpic Bench, a desktop benchmark of seven image-effect tests.\n"
      "Opens the window; without a display, with --headless, or with any option of the\n"
      "headless run below, runs the benchmark without a window and prints each test's\n"
      "seconds and the score, then the multi-core score and whether every picture was right."};
#else
  CLI::App cli{
      "asmbench: ASMpic Bench, a desktop benchmark of seven image-effect tests.\n"
      "Built without the window: runs the benchmark on the headless backend and prints each\n"
      "test's seconds and the score, then the multi-core score and whether every picture was right."};
#endif
  cli.formatter(platform::ReadableHelp());
  KernelChoice kernels = KernelChoice::kBest;
  AddKernelsOption(cli, kernels);
  SetVersionFlag(cli, "asmbench", ASMPIC_VERSION, kernels);
  bool headless = false;
  app::WindowOptions window;
  app::HeadlessOptions headlessOptions;
  cli.add_flag("--headless", headless, "run without a window even where there is a display");
#if ASMPIC_WITH_WINDOW
  CLI::Option* run = app::AddWindowOptions(cli, window);
#else
  // Not offered, only recognised, so that asking for the window gets a clear answer.
  CLI::Option* run = cli.add_flag("--run", window.run)->group("");
  cli.add_option("--screenshot", window.screenshot)->group("");
#endif
  auto headlessOnly = app::AddHeadlessOptions(cli, headlessOptions);
  for (CLI::Option* option : app::AddHistoryOptions(cli, headlessOptions.history)) option->excludes(run);
  // Without --compare, --chart draws a headless run's scaling (and says so when there is none).
  headlessOnly.push_back(cli.get_option("--chart"));
  for (CLI::Option* option : headlessOnly) option->excludes(run);
  cli.footer(app::HeadlessExitStatusHelp());
  if (const auto status = platform::ParseCommandLine(cli, argc, argv, "asmbench")) return *status;
  window.verbose = headlessOptions.verbose;
  SetKernelChoice(kernels);  // before any engine exists
  headlessOptions.kernels = KernelStore(kernels);

  if (headlessOptions.history.command()) {
    return app::RunHistoryCommand(headlessOptions.history, headlessOptions.assetsDirectory, std::cout,
                                  std::cerr);
  }
#if !ASMPIC_WITH_WINDOW
  if (window.run || !window.screenshot.empty()) {
    std::cerr << "asmbench: this asmbench was built without the window; --run and --screenshot need it "
                 "(the benchmark runs with --headless)\n";
    return 2;
  }
#endif
  if (window.run && headless) {
    std::cerr << "asmbench: --run opens the window; it cannot be combined with --headless\n";
    return 2;
  }
  const bool askedForHeadless = std::any_of(headlessOnly.begin(), headlessOnly.end(),
                                            [](const CLI::Option* option) { return option->count() > 0; });
  if (headless || askedForHeadless || (!window.run && !HasDisplay())) {
    return app::RunHeadlessBenchmark(headlessOptions, std::cout, std::cerr);
  }
#if ASMPIC_WITH_WINDOW
  if (window.run && !HasDisplay()) {
    std::cerr << "asmbench: --run needs a display\n";
    return 2;
  }
  if (const auto status = app::RunWindow(argc, argv, window, headlessOptions.history)) return *status;
  const char* display = std::getenv("DISPLAY");
  if (window.run) {
    std::cerr << "asmbench: --run: cannot open the display " << display << '\n';
    return app::kExitError;
  }
  std::cerr << "asmbench: cannot open the display " << display
            << "; running the benchmark without a window\n";
  return app::RunHeadlessBenchmark(headlessOptions, std::cout, std::cerr);
#else
  std::cerr << "asmbench: this asmbench was built without the window; running the benchmark without one\n";
  return app::RunHeadlessBenchmark(headlessOptions, std::cout, std::cerr);
#endif
}
