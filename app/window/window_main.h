#pragma once
// asmbench's window: its command-line options and the window's event loop. Built only with the
// window; the headless asmbench has neither.
#include <CLI/CLI.hpp>

#include <optional>
#include <string>

#include "app/history/history_cli.h"

namespace asmpic::app {

struct WindowOptions {
  bool run = false;
  std::string screenshot;
  bool verbose = false;
};

// Adds --run and --screenshot to asmbench's command line; returns --run.
CLI::Option* AddWindowOptions(CLI::App& cli, WindowOptions& options);

// The window, or nothing when no display can be reached.
std::optional<int> RunWindow(int argc, char** argv, const WindowOptions& options, const HistoryOptions& history);

}  // namespace asmpic::app
