// The sustained run on a real X server, reached as a user reaches it: a double-click on the score
// display opens the results dialog, its "Sustained run…" button the sustained dialog. A short run
// of the real passes is started; the chart must grow on the screen by two passes; cancel must keep
// the passes (shown, and stored in the history under this program's own XDG_DATA_HOME); the dialog
// is grabbed from the screen, saved as PNG and checked for the chart's line.
//   sustained_dialog_smoke SCREENSHOT.png
#include <QApplication>
#include <QDoubleSpinBox>
#include <QElapsedTimer>
#include <QImage>
#include <QLabel>
#include <QPixmap>
#include <QPushButton>
#include <QScreen>
#include <QTemporaryDir>
#include <QTest>
#include <cstdio>
#include <cstdlib>
#include <functional>

#include "app/history/drawing.h"
#include "app/history/history_store.h"
#include "app/window/form1.h"
#include "app/window/results_dialog.h"
#include "app/window/sustained_dialog.h"
#include "app/window/window_results.h"
#include "platform/qt/qt_runtime.h"

#if defined(__SANITIZE_ADDRESS__)
// See tests/support/qt_test_main.cpp.
extern "C" const char* __asan_default_options() {
  return "intercept_tls_get_addr=0";
}
#endif

namespace {

using namespace asmpic;

int Fail(const char* what) {
  std::fprintf(stderr, "sustained dialog: %s\n", what);
  return 1;
}

// Processes events until `done` or `seconds` have passed (real passes are slow under the sanitizers).
bool WaitFor(const std::function<bool()>& done, int seconds) {
  QElapsedTimer timer;
  timer.start();
  while (!done() && timer.elapsed() < seconds * 1000LL) QTest::qWait(20);
  return done();
}

// `widget` as the X server shows it.
QImage Grab(QWidget& widget) {
  const QPoint origin = widget.mapToGlobal(QPoint(0, 0));
  return widget.screen()
      ->grabWindow(0, origin.x(), origin.y(), widget.width(), widget.height())
      .toImage()
      .convertToFormat(QImage::Format_RGB32);
}

long long Count(const QImage& image, const QRect& area, const std::function<bool(QRgb)>& pick) {
  long long n = 0;
  const QRect r = area.intersected(image.rect());
  for (int y = r.top(); y <= r.bottom(); ++y)
    for (int x = r.left(); x <= r.right(); ++x) n += pick(image.pixel(x, y));
  return n;
}

// Pixels that differ between two grabs of one widget.
long long Differing(const QImage& a, const QImage& b) {
  if (a.size() != b.size()) return a.width() * a.height();
  long long n = 0;
  for (int y = 0; y < a.height(); ++y)
    for (int x = 0; x < a.width(); ++x) n += a.pixel(x, y) != b.pixel(x, y);
  return n;
}

// The chart's line: its blue, or close to it where the antialiasing blends it with the ground.
bool ChartBlue(QRgb p) {
  const QRgb blue = app::kChartBlue;
  return std::abs(qRed(p) - qRed(blue)) <= 24 && std::abs(qGreen(p) - qGreen(blue)) <= 24 &&
         std::abs(qBlue(p) - qBlue(blue)) <= 24;
}

}  // namespace

int main(int argc, char** argv) {
  // The history of this program alone, where the window keeps it by default.
  QTemporaryDir dataHome;
  if (!dataHome.isValid() || !qputenv("XDG_DATA_HOME", dataHome.path().toLocal8Bit()))
    return Fail("no folder for the history");
  QApplication application(argc, argv);
  if (argc != 2) return Fail("usage: sustained_dialog_smoke SCREENSHOT.png");
  if (QGuiApplication::platformName() != QStringLiteral("xcb")) return Fail("not on an X server");
  platform::QtRuntime runtime;
  const auto form = app::ShowForm1(runtime);
  if (!QTest::qWaitForWindowExposed(form.get(), 10000)) return Fail("the window was never shown");
  const app::HistoryOptions history;  // the default history, under XDG_DATA_HOME
  app::WindowResults results(*form, history);

  QTest::mouseDClick(&form->Label1(), Qt::LeftButton);
  auto* resultsDialog = form->findChild<app::ResultsDialog*>(QStringLiteral("ResultsDialog"));
  if (resultsDialog == nullptr || !QTest::qWaitForWindowExposed(resultsDialog, 10000))
    return Fail("no results dialog after a double-click");
  auto* open = resultsDialog->findChild<QPushButton*>(QStringLiteral("sustainedButton"));
  if (open == nullptr) return Fail("the results dialog offers no sustained run");
  QTest::mouseClick(open, Qt::LeftButton);
  auto* dialog = resultsDialog->findChild<app::SustainedDialog*>();
  if (dialog == nullptr || !QTest::qWaitForWindowExposed(dialog, 10000)) return Fail("no sustained dialog");
  auto* minutes = dialog->findChild<QDoubleSpinBox*>(QStringLiteral("sustainedMinutes"));
  auto* start = dialog->findChild<QPushButton*>(QStringLiteral("sustainedStart"));
  auto* cancel = dialog->findChild<QPushButton*>(QStringLiteral("sustainedCancel"));
  auto* status = dialog->findChild<QLabel*>(QStringLiteral("sustainedStatus"));
  auto* chart = dialog->findChild<app::SustainedChartWidget*>(QStringLiteral("sustainedChart"));
  if (minutes == nullptr || start == nullptr || cancel == nullptr || status == nullptr || chart == nullptr)
    return Fail("the sustained dialog lacks a control");

  // Half a minute: long enough for the passes wanted under the sanitizers; cancel ends it sooner.
  minutes->setValue(0.5);
  QTest::mouseClick(start, Qt::LeftButton);
  if (!dialog->running()) return Fail("start did not start a run");
  const auto passes = [dialog] { return dialog->run().passes.size(); };
  const auto runSeconds = [dialog] {
    return dialog->run().passes.empty() ? 0.0 : dialog->run().passes.back().endSeconds;
  };
  if (!WaitFor([&] { return passes() >= 1; }, 120)) return Fail("no pass finished");
  QTest::qWait(200);  // let the server draw the pass
  const std::size_t early = passes();
  const QImage before = Grab(*chart);
  // Two passes more, and a few seconds of them, so that the line is long enough to be seen.
  if (!WaitFor([&] { return passes() >= early + 2 && runSeconds() >= 4.0; }, 150))
    return Fail("the chart did not grow by two passes");
  QTest::qWait(200);
  const QImage after = Grab(*chart);
  const long long changed = Differing(before, after);
  const long long blueBefore = Count(before, before.rect(), ChartBlue);
  const long long blueAfter = Count(after, after.rect(), ChartBlue);
  std::printf(
      "chart: %zu passes, then %zu: %lld pixels changed on the screen, its line from %lld to %lld pixels\n",
      early, passes(), changed, blueBefore, blueAfter);
  if (changed < 20 || blueAfter <= blueBefore)
    return Fail("the chart on the screen did not grow as passes finished");

  QTest::mouseClick(cancel, Qt::LeftButton);
  if (!WaitFor([&] { return !dialog->running(); }, 150)) return Fail("cancel did not end the run");
  const std::size_t kept = passes();
  const QString shown = status->text();
  std::printf("kept %zu passes; the dialog says: %s\n", kept, qPrintable(shown));
  if (kept < early + 2) return Fail("cancel lost passes");
  if (!shown.contains(QString::number(kept))) return Fail("the dialog does not show the passes kept");
  if (!dialog->storedId()) return Fail("the run was not stored");
  const auto db = app::OpenHistory(history.path(), app::HistoryAccess::kRead);
  const auto document = db->ok() ? db->Load(*dialog->storedId()) : std::nullopt;
  if (!document || document->at("sustained").at("passes") != static_cast<int>(kept))
    return Fail("the history does not hold the passes kept");

  QTest::qWait(300);  // let the server draw the end of the run
  const QImage image = Grab(*dialog);
  if (!image.save(QString::fromLocal8Bit(argv[1]), "PNG")) return Fail("cannot save the screenshot");
  const QRect chartArea(chart->mapTo(dialog, QPoint(0, 0)), chart->size());
  const long long blue = Count(image, chartArea, ChartBlue);
  const long long dark = Count(image, image.rect(), [](QRgb p) { return qGray(p) < 100; });
  std::printf("dialog %dx%d: %lld pixels of the chart's blue, %lld dark pixels\n", image.width(),
              image.height(), blue, dark);
  if (image.size() != dialog->size() || image.width() < 480 || image.height() < 320)
    return Fail("the screenshot is not the dialog's size");
  if (dark < 500) return Fail("the screenshot is blank");
  if (blue < 30) return Fail("the chart shows no line");
  return 0;
}
