// asmbench's window: Form1 with its handlers wired to the Qt backend, the results it records, and
// the scripted --run that prints the results and may save a screenshot.
#include "app/window/window_main.h"

#include <QApplication>
#include <QEvent>
#include <QTimer>
#include <iostream>

#include "app/results/validation.h"
#include "app/run/form1_handlers.h"
#include "app/run/headless_bench.h"
#include "app/run/translation.h"
#include "app/window/form1.h"
#include "app/window/window_results.h"
#include "platform/picture_save.h"
#include "platform/qt/qt_application.h"
#include "platform/qt/qt_runtime.h"
#include "platform/qt/qt_shell.h"

namespace asmpic::app {
namespace {

// Marks the runs in progress as closing when the window is closed, so that they stop at their
// next yield instead of working on a window that is going away.
class CloseWatcher : public QObject {
 public:
  explicit CloseWatcher(RunState& state) : state_(state) {}
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() == QEvent::Close) state_.closing = true;
    return QObject::eventFilter(watched, event);
  }

 private:
  RunState& state_;
};

}  // namespace

CLI::Option* AddWindowOptions(CLI::App& cli, WindowOptions& options) {
  auto* run =
      cli.add_flag("--run", options.run, "open the window, press start once, print the results and exit");
  cli.add_option("--screenshot", options.screenshot,
                 "with --run: save the window at the end of the run as .png, .bmp or .jpg, as the name says")
      ->type_name("FILE")
      ->check(CLI::Validator(
          [](std::string& name) -> std::string {
            return platform::PictureFormatOf(name) ? "" : name + " names no .png, .bmp, .jpg or .jpeg file";
          },
          ""))
      ->needs(run);
  return run;
}

std::optional<int> RunWindow(int argc, char** argv, const WindowOptions& options,
                             const HistoryOptions& history) {
  const platform::QtStart start = platform::StartQtApplication(argc, argv);
  if (!start.application) {
    if (options.verbose) std::cerr << start.qtMessages;
    return std::nullopt;
  }
  QApplication::setApplicationName("ASMpic Bench");
  InstallTranslation(*start.application);
  platform::QtRuntime runtime;
  platform::QtShell shell;
  const auto form = ShowForm1(runtime);
  Form1Controls controls{runtime,          form->Engine1(), form->Engine2(),
                              form->Picture2(), form->List1(),   form->Label1(),
                              form->Timer1(),   form->Timer2(),  shell};
  RunState state;
  CloseWatcher watcher(state);
  form->installEventFilter(&watcher);
  WindowResults results(*form, history);

  // A run in the window ends by starting the question timer; a scripted --run never asks. Every
  // run's pictures are checked too, silently: only --run reports a wrong one (exit status 3).
  form->Command1().onClick = [&] {
    results.Record([&](RunObserver* observer) {
      return Command1_Click(controls, state, {.startTimer2 = !options.run, .observer = observer});
    });
  };
  form->Timer1().onTick = [&] { Timer1_Timer(controls); };
  form->Timer2().onTick = [&] { Timer2_Timer(controls); };

  int status = 0;
  if (options.run) {
    QTimer::singleShot(0, form.get(), [&] {
      if (!results.Record([&](RunObserver* observer) {
            return Command1_Click(controls, state, {.observer = observer});
          })) {
        std::cerr << "asmbench: the window was closed during the run; no results\n";
        status = 1;
        return;
      }
      PrintResult(form->List1(), form->Label1(), std::cout);
      std::cout.flush();
      const Validation validation = results.validation();
      if (validation.verdict == Verdict::Invalid) {
        ReportMismatches(validation, "", std::cerr);
        status = kExitInvalid;
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

}  // namespace asmpic::app
