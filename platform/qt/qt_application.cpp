#include "platform/qt/qt_application.h"

#include <QByteArray>
#include <QGuiApplication>
#include <QString>
#include <iostream>

#include "platform/qt/qt_messages.h"

namespace asmpic::platform {

namespace {

std::string* held = nullptr;

// Keeps what Qt says while it starts: it is printed afterwards only when the display was reached
// (else the caller says in one line what happened).
void Hold(QtMsgType type, const QMessageLogContext& context, const QString& message) {
  if (held != nullptr && !IsQtNoise(type, message)) *held += qFormatLogMessage(type, context, message).toStdString() + '\n';
}

}  // namespace

QtStart StartQtApplication(int& argc, char** argv) {
  QtStart start;
  // Only an X display is given the fallback; a platform chosen in QT_QPA_PLATFORM, and Wayland
  // sessions, are left to Qt's own choice.
  const bool offerFallback = !qEnvironmentVariableIsEmpty("DISPLAY") &&
                             qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY") &&
                             qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM");
  if (offerFallback) qputenv("QT_QPA_PLATFORM", "xcb;offscreen");
  FilterQtNoise();  // for the messages after the start, which Hold does not see
  held = &start.qtMessages;
  const QtMessageHandler previous = qInstallMessageHandler(Hold);
  start.application = std::make_unique<QApplication>(argc, argv);
  qInstallMessageHandler(previous);
  held = nullptr;
  if (offerFallback) qunsetenv("QT_QPA_PLATFORM");

  if (offerFallback && QGuiApplication::platformName() == QStringLiteral("offscreen")) {
    start.application.reset();
  } else {
    std::cerr << start.qtMessages;
  }
  return start;
}

}  // namespace asmpic::platform
