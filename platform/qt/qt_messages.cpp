#include "platform/qt/qt_messages.h"

#include <cstdio>

namespace asmpic::platform {

namespace {

QtMessageHandler next = nullptr;
bool installed = false;

void Filter(QtMsgType type, const QMessageLogContext& context, const QString& message) {
  if (IsQtNoise(type, message)) return;
  if (next != nullptr) {
    next(type, context, message);
  } else {
    // What Qt does without a handler of its own: the formatted message on stderr.
    fprintf(stderr, "%s\n", qPrintable(qFormatLogMessage(type, context, message)));
  }
}

}  // namespace

bool IsQtNoise(QtMsgType type, const QString& message) {
  return type == QtWarningMsg && message.startsWith(QStringLiteral("QStandardPaths: XDG_RUNTIME_DIR not set"));
}

void FilterQtNoise() {
  if (installed) return;
  installed = true;
  next = qInstallMessageHandler(Filter);
}

}  // namespace asmpic::platform
