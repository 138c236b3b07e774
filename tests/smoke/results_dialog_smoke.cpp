// Opens the results dialog on a real X server: presses start in the window, double-clicks the
// score display, grabs the dialog from the screen, saves it as PNG and checks that it shows the
// per-test table (rows of dark text on a light ground) and the chart (bars in the colours of this
// run and of a reference).
//   results_dialog_smoke SCREENSHOT.png
#include <QApplication>
#include <QImage>
#include <QPixmap>
#include <QScreen>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>
#include <cstdio>

#include "app/window/form1.h"
#include "app/window/results_dialog.h"
#include "app/window/window_results.h"
#include "platform/qt/qt_runtime.h"
#include "platform/qt/qt_shell.h"

#if defined(__SANITIZE_ADDRESS__)
// See tests/support/qt_test_main.cpp.
extern "C" const char* __asan_default_options() {
  return "intercept_tls_get_addr=0";
}
#endif

namespace {

using namespace asmpic;

int Fail(const char* what) {
  std::fprintf(stderr, "results dialog: %s\n", what);
  return 1;
}

// Rows of the area with at least one pixel of the colour: one per pixel row of every bar, whatever
// its length (a run under the sanitizers is slow, and its bars short).
int RowsWith(const QImage& image, const QRect& area, QRgb colour) {
  int rows = 0;
  const QRect r = area.intersected(image.rect());
  for (int y = r.top(); y <= r.bottom(); ++y) {
    for (int x = r.left(); x <= r.right(); ++x) {
      if ((image.pixel(x, y) & 0xFFFFFF) == colour) {
        ++rows;
        break;
      }
    }
  }
  return rows;
}

long long Count(const QImage& image, const QRect& area, const std::function<bool(QRgb)>& pick) {
  long long n = 0;
  const QRect r = area.intersected(image.rect());
  for (int y = r.top(); y <= r.bottom(); ++y)
    for (int x = r.left(); x <= r.right(); ++x) n += pick(image.pixel(x, y));
  return n;
}

}  // namespace

int main(int argc, char** argv) {
  QApplication application(argc, argv);
  if (argc != 2) return Fail("usage: results_dialog_smoke SCREENSHOT.png");
  if (QGuiApplication::platformName() != QStringLiteral("xcb")) return Fail("not on an X server");
  QTemporaryDir folder;
  platform::QtRuntime runtime;
  platform::QtShell shell;
  const auto form = app::ShowForm1(runtime);
  if (!QTest::qWaitForWindowExposed(form.get(), 10000)) return Fail("the window was never shown");
  app::Form1Controls controls{runtime,          form->Engine1(), form->Engine2(),
                              form->Picture2(), form->List1(),   form->Label1(),
                              form->Timer1(),   form->Timer2(),  shell};
  app::RunState state;
  app::HistoryOptions history;
  history.dbPath = folder.filePath(QStringLiteral("history.sqlite")).toStdString();
  app::WindowResults results(*form, history);
  if (!results.Record([&](app::RunObserver* observer) {
        return app::Command1_Click(controls, state, {.observer = observer});
      }))
    return Fail("the run did not finish");

  QTest::mouseDClick(&form->Label1(), Qt::LeftButton);
  auto* dialog = form->findChild<app::ResultsDialog*>(QStringLiteral("ResultsDialog"));
  if (dialog == nullptr || !QTest::qWaitForWindowExposed(dialog, 10000))
    return Fail("no dialog after a double-click");
  QTest::qWait(500);  // let the server finish drawing
  const QImage shot = dialog->screen()->grabWindow(0).toImage().convertToFormat(QImage::Format_RGB32);
  const QRect client(dialog->mapToGlobal(QPoint(0, 0)), dialog->size());
  const QImage image = shot.copy(client);
  if (!image.save(QString::fromLocal8Bit(argv[1]), "PNG")) return Fail("cannot save the screenshot");

  auto* table = dialog->findChild<QTableWidget*>(QStringLiteral("resultsTable"));
  auto* chart = dialog->findChild<app::ChartWidget*>(QStringLiteral("resultsChart"));
  if (table == nullptr || chart == nullptr) return Fail("the dialog has no table or no chart");
  const QRect tableArea(table->mapTo(dialog, QPoint(0, 0)), table->size());
  const QRect chartArea(chart->mapTo(dialog, QPoint(0, 0)), chart->size());
  const long long text = Count(image, tableArea, [](QRgb p) { return qGray(p) < 100; });
  const int thisRun = RowsWith(image, chartArea, 0x3366cc);
  const int reference = RowsWith(image, chartArea, 0xdc3912);
  std::printf(
      "dialog %dx%d: table %d rows, %lld dark pixels of text; chart: %d pixel rows of this run's bars, "
      "%d of the first reference's\n",
      image.width(), image.height(), table->rowCount(), text, thisRun, reference);
  if (table->rowCount() != 8 || text < 1500) return Fail("the table does not show the tests");
  // Eight bars (seven tests and the score) of about seven pixel rows each, and a legend square.
  if (thisRun < 40 || reference < 40) return Fail("the chart does not show the bars");
  return 0;
}
