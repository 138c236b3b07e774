#include "platform/qt/qt_runtime.h"
#include <chrono>

#include <QApplication>
#include <QMessageBox>
#include <QScreen>
#include <QTime>
#include <cstdio>
#include <cstdlib>

namespace asmpic::platform {

namespace {

QMessageBox::Icon IconOf(MsgBoxIcon icon) {
  switch (icon) {
    case MsgBoxIcon::Critical:
      return QMessageBox::Critical;
    case MsgBoxIcon::Question:
      return QMessageBox::Question;
    case MsgBoxIcon::Exclamation:
      return QMessageBox::Warning;
    case MsgBoxIcon::Information:
      return QMessageBox::Information;
    case MsgBoxIcon::None:
      break;
  }
  return QMessageBox::NoIcon;
}

float TwipsPerPixel(bool horizontal) {
  const QScreen* screen = QGuiApplication::primaryScreen();
  qreal dpi = 96.0;
  if (screen != nullptr) dpi = horizontal ? screen->logicalDotsPerInchX() : screen->logicalDotsPerInchY();
  if (!(dpi > 0.0)) dpi = 96.0;
  return static_cast<float>(1440.0 / dpi);
}

}  // namespace

MsgBoxResult QtRuntime::MsgBox(std::string_view prompt, MsgBoxButtons buttons, MsgBoxIcon icon,
                               std::string_view title) {
  const bool question = buttons == MsgBoxButtons::YesNo;
  QMessageBox box(IconOf(icon), QString::fromUtf8(title.data(), static_cast<qsizetype>(title.size())),
                  QString::fromUtf8(prompt.data(), static_cast<qsizetype>(prompt.size())),
                  question ? QMessageBox::Yes | QMessageBox::No : QMessageBox::Ok,
                  QApplication::activeWindow());
  box.exec();
  if (!question) return MsgBoxResult::OK;
  // Closing the question without an answer counts as No.
  return box.clickedButton() == box.button(QMessageBox::Yes) ? MsgBoxResult::Yes : MsgBoxResult::No;
}

void QtRuntime::DoEvents() {
  QCoreApplication::processEvents(QEventLoop::AllEvents);
}

float QtRuntime::Timer() {
  return static_cast<float>(QTime::currentTime().msecsSinceStartOfDay() / 1000.0);
}

double QtRuntime::MonotonicSeconds() {
  return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

float QtRuntime::TwipsPerPixelX() const {
  return TwipsPerPixel(true);
}
float QtRuntime::TwipsPerPixelY() const {
  return TwipsPerPixel(false);
}

void QtRuntime::End(int status) {
  std::fflush(nullptr);
  std::_Exit(status);
}

}  // namespace asmpic::platform
