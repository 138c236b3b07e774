// Opens the benchmark window on a real X server, grabs what the server shows, and checks that
// Picture1 shows the start picture, List1 is uncovered, and both engines are bound. Saves the
// window's part of the screen as a PNG file.
#include <QApplication>
#include <QElapsedTimer>
#include <QImage>
#include <QPixmap>
#include <QScreen>
#include <QTest>
#include <cstdio>
#include <cstdlib>

#include "app/run/assets.h"
#include "app/window/form1.h"
#include "platform/picture_io.h"
#include "platform/qt/qt_runtime.h"

#if defined(__SANITIZE_ADDRESS__)
// LeakSanitizer's walk over the dynamic TLS blocks crashes once Qt has loaded its plugins on this
// toolchain's sanitizer runtime; skip only that walk (see tests/support/qt_test_main.cpp).
extern "C" const char* __asan_default_options() {
  return "intercept_tls_get_addr=0";
}
#endif

namespace {

int Fail(const char* what) {
  std::fprintf(stderr, "real window: %s\n", what);
  return 1;
}

int ChannelDifference(QRgb a, QRgb b) {
  return std::max(
      {std::abs(qRed(a) - qRed(b)), std::abs(qGreen(a) - qGreen(b)), std::abs(qBlue(a) - qBlue(b))});
}

}  // namespace

int main(int argc, char** argv) {
  QElapsedTimer clock;
  clock.start();
  QApplication application(argc, argv);
  if (argc != 2) return Fail("usage: real_window_smoke SCREENSHOT.png");
  if (QGuiApplication::platformName() != QStringLiteral("xcb"))
    return Fail("not on an X server (QT_QPA_PLATFORM=xcb)");

  asmpic::platform::QtRuntime runtime;
  const auto form = asmpic::app::ShowForm1(runtime);
  if (!QTest::qWaitForWindowExposed(form.get(), 10000)) return Fail("the window was never shown");
  const qint64 startup = clock.elapsed();
  QTest::qWait(300);  // let the server finish drawing

  QScreen* screen = form->screen();
  const QImage shot = screen->grabWindow(0).toImage().convertToFormat(QImage::Format_RGB32);
  const QRect client(form->mapToGlobal(QPoint(0, 0)), form->size());
  const QImage window = shot.copy(client);
  if (!window.save(QString::fromLocal8Bit(argv[1]), "PNG")) return Fail("cannot save the screenshot");
  std::printf("window shown after %lld ms; client area %dx%d at (%d, %d); screen depth %d\n",
              static_cast<long long>(startup), client.width(), client.height(), client.x(), client.y(),
              screen->depth());

  if (!form->Engine1().bound() || !form->Engine2().bound()) return Fail("an engine is not bound");
  if (form->Picture2().Visible()) return Fail("Picture2 is shown at start-up");

  const auto start = asmpic::platform::LoadPictureFile(asmpic::app::AssetPath("picture1.jpg"));
  if (!start) return Fail("cannot read the start picture");
  // A 16-bit screen keeps only 5 or 6 bits of each channel.
  const int tolerance = screen->depth() >= 24 ? 0 : 8;
  const QPoint at = form->Picture1().pos();
  const int width = form->Engine1().Width();
  const int height = form->Engine1().Height();
  long long wrong = 0;
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      if (ChannelDifference(window.pixel(at.x() + x, at.y() + y), start->at(x, y)) > tolerance) ++wrong;
    }
  }
  std::printf("Picture1: %dx%d pixels at (%d, %d), %lld differ from the start picture\n", width, height,
              at.x(), at.y(), wrong);
  if (wrong != 0) return Fail("Picture1 does not show the start picture");
  std::printf("real window: ok\n");
  return 0;
}
