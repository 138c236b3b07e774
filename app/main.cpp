// asmbench: the benchmark. With a display it opens the window; with none, or with --headless, it
// runs the benchmark once on the headless backend and prints the list and the score.
#include <CLI/CLI.hpp>

#include <QApplication>
#include <QEvent>
#include <QTimer>
#include <algorithm>
#include <cstdlib>
#include <iostream>
#include <optional>
#include <string>

#include "app/form1.h"
#include "app/form1_handlers.h"
#include "app/headless_bench.h"
#include "app/history/history_cli.h"
#include "app/results/validation.h"
#include "app/translation.h"
#include "app/window_results.h"
#include "platform/command_line.h"
#include "platform/kernel_option.h"
#include "platform/picture_save.h"
#include "platform/qt/qt_application.h"
#include "platform/qt/qt_runtime.h"
#include "platform/qt/qt_shell.h"

namespace {

using namespace asmpic;

struct WindowOptions {
  bool run = false;
  std::string screenshot;
  bool verbose = false;
};

bool HasDisplay() {
  for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"}) {
    const char* value = std::getenv(name);
    if (value != nullptr && *value != '\0') return true;
  }
  return false;
}

// Marks the runs in progress as closing when the window is closed, so that they stop at their
// next yield instead of working on a window that is going away.
class CloseWatcher : public QObject {
 public:
  explicit CloseWatcher(app::RunState& state) : state_(state) {}
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() == QEvent::Close) state_.closing = true;
    return QObject::eventFilter(watched, event);
  }

 private:
  app::RunState& state_;
};

// The window, or nothing when no display can be reached.
std::optional<int> RunWindow(int argc, char** argv, const WindowOptions& options,
                             const app::HistoryOptions& history) {
  const platform::QtStart start = platform::StartQtApplication(argc, argv);
  if (!start.application) {
    if (options.verbose) std::cerr << start.qtMessages;
    return std::nullopt;
  }
  QApplication::setApplicationName("ASMpic Bench");
  app::InstallTranslation(*start.application);
  platform::QtRuntime runtime;
  platform::QtShell shell;
  const auto form = app::ShowForm1(runtime);
  app::Form1Controls controls{runtime,          form->Engine1(), form->Engine2(),
                              form->Picture2(), form->List1(),   form->Label1(),
                              form->Timer1(),   form->Timer2(),  shell};
  app::RunState state;
  CloseWatcher watcher(state);
  form->installEventFilter(&watcher);
  app::WindowResults results(*form, history);

  // A run in the window ends by starting the question timer; a scripted --run never asks. Every
  // run's pictures are checked too, silently: only --run reports a wrong one (exit status 3).
  form->Command1().onClick = [&] {
    results.Record([&](app::RunObserver* observer) {
      return app::Command1_Click(controls, state, {.startTimer2 = !options.run, .observer = observer});
    });
  };
  form->Timer1().onTick = [&] { app::Timer1_Timer(controls); };
  form->Timer2().onTick = [&] { app::Timer2_Timer(controls); };

  int status = 0;
  if (options.run) {
    QTimer::singleShot(0, form.get(), [&] {
      if (!results.Record([&](app::RunObserver* observer) {
            return app::Command1_Click(controls, state, {.observer = observer});
          })) {
        std::cerr << "asmbench: the window was closed during the run; no results\n";
        status = 1;
        return;
      }
      app::PrintResult(form->List1(), form->Label1(), std::cout);
      std::cout.flush();
      const app::Validation validation = results.validation();
      if (validation.verdict == app::Verdict::Invalid) {
        app::ReportMismatches(validation, "", std::cerr);
        status = app::kExitInvalid;
      }
      if (!options.screenshot.empty()) {
        QApplication::processEvents();  // let the score display paint before it is grabbed
        std::string error;
        if (!form->SaveScreenshot(options.screenshot, &error)) {
          std::cerr << "asmbench: cannot save the screenshot " << error << '\n';
          status = 1;
        }
      }
      QApplication::quit();
    });
  }
  const int loopStatus = QApplication::exec();
  return status != 0 ? status : loopStatus;
}

}  // namespace

int main(int argc, char** argv) {
  CLI::App cli{
      "asmbench: ASMpic Bench, a desktop benchmark of seven image-effect tests.\n"
      "Opens the window; without a display, with --headless, or with any option of the\n"
      "headless run below, runs the benchmark without a window and prints each test's\n"
      "seconds and the score, then the multi-core score and whether every picture was right."};
  cli.formatter(platform::ReadableHelp());
  KernelChoice kernels = KernelChoice::kBest;
  AddKernelsOption(cli, kernels);
  SetVersionFlag(cli, "asmbench", ASMPIC_VERSION, kernels);
  bool headless = false;
  WindowOptions window;
  app::HeadlessOptions headlessOptions;
  cli.add_flag("--headless", headless, "run without a window even where there is a display");
  auto* run =
      cli.add_flag("--run", window.run, "open the window, press start once, print the results and exit");
  cli.add_option("--screenshot", window.screenshot,
                 "with --run: save the window at the end of the run as .png, .bmp or .jpg, as the name says")
      ->type_name("FILE")
      ->check(CLI::Validator(
          [](std::string& name) -> std::string {
            return platform::PictureFormatOf(name) ? "" : name + " names no .png, .bmp, .jpg or .jpeg file";
          },
          ""))
      ->needs(run);
  const auto headlessOnly = app::AddHeadlessOptions(cli, headlessOptions);
  for (CLI::Option* option : headlessOnly) option->excludes(run);
  for (CLI::Option* option : app::AddHistoryOptions(cli, headlessOptions.history)) option->excludes(run);
  cli.footer(app::HeadlessExitStatusHelp());
  if (const auto status = platform::ParseCommandLine(cli, argc, argv, "asmbench")) return *status;
  window.verbose = headlessOptions.verbose;
  SetKernelChoice(kernels);  // before any engine exists
  headlessOptions.kernels = KernelStore(kernels);

  if (headlessOptions.history.command()) {
    return app::RunHistoryCommand(headlessOptions.history, headlessOptions.assetsDirectory, std::cout,
                                  std::cerr);
  }
  if (window.run && headless) {
    std::cerr << "asmbench: --run opens the window; it cannot be combined with --headless\n";
    return 2;
  }
  const bool askedForHeadless = std::any_of(headlessOnly.begin(), headlessOnly.end(),
                                            [](const CLI::Option* option) { return option->count() > 0; });
  if (headless || askedForHeadless || (!window.run && !HasDisplay())) {
    return app::RunHeadlessBenchmark(headlessOptions, std::cout, std::cerr);
  }
  if (window.run && !HasDisplay()) {
    std::cerr << "asmbench: --run needs a display\n";
    return 2;
  }
  if (const auto status = RunWindow(argc, argv, window, headlessOptions.history)) return *status;
  const char* display = std::getenv("DISPLAY");
  if (window.run) {
    std::cerr << "asmbench: --run: cannot open the display " << display << '\n';
    return app::kExitError;
  }
  std::cerr << "asmbench: cannot open the display " << display
            << "; running the benchmark without a window\n";
  return app::RunHeadlessBenchmark(headlessOptions, std::cout, std::cerr);
}
