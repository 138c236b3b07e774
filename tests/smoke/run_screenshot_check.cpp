// Checks the screenshot that `asmbench --run --screenshot` saved at the end of a run: Picture1
// shows the start picture again (the run resets it after every test), and the score display over
// the list shows the score in its colour.
//   run_screenshot_check SCREENSHOT.png green|red
#include <QGuiApplication>
#include <QImage>
#include <cstdio>
#include <cstring>

#include "app/run/assets.h"
#include "platform/picture_io.h"

namespace {

int Fail(const char* what) {
  std::fprintf(stderr, "run screenshot: %s\n", what);
  return 1;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) return Fail("usage: run_screenshot_check SCREENSHOT.png green|red");
  const QImage shot = QImage(QString::fromLocal8Bit(argv[1])).convertToFormat(QImage::Format_RGB32);
  if (shot.isNull()) return Fail("cannot read the screenshot");
  if (shot.width() < 305 || shot.height() < 329) return Fail("the screenshot is smaller than the window");

  const auto start = asmpic::platform::LoadPictureFile(asmpic::app::AssetPath("picture1.jpg"));
  if (!start) return Fail("cannot read the start picture");
  long long wrong = 0;
  for (int y = 0; y < 217; ++y)
    for (int x = 0; x < 297; ++x)
      if ((shot.pixel(8 + x, 8 + y) & 0xFFFFFFu) != (start->at(x, y) & 0xFFFFFFu)) ++wrong;

  // The score's digits are drawn in pure green (0, 255, 0) or pure red (255, 0, 0) over Picture2.
  const QRgb ink = std::strcmp(argv[2], "green") == 0 ? qRgb(0, 255, 0) : qRgb(255, 0, 0);
  long long inked = 0;
  for (int y = 232; y < 329; ++y)
    for (int x = 8; x < 305; ++x)
      if ((shot.pixel(x, y) & 0xFFFFFFu) == (ink & 0xFFFFFFu)) ++inked;

  std::printf("Picture1: %lld pixels differ from the start picture; score display: %lld pixels of %s ink\n",
              wrong, inked, argv[2]);
  if (wrong != 0) return Fail("Picture1 does not show the start picture after the run");
  if (inked < 500) return Fail("the score display does not show the score in its colour");
  return 0;
}
