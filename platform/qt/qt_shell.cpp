#include "platform/qt/qt_shell.h"

#include <QDesktopServices>
#include <QProcess>
#include <QStandardPaths>
#include <QUrl>

namespace asmpic::platform {

void QtShell::Open(const std::string& link, std::function<void()> cannotOpen) {
  const QString text = QString::fromStdString(link);
  const QString opener = QStandardPaths::findExecutable(QStringLiteral("xdg-open"));
  if (opener.isEmpty()) {
    // Tolerant parsing keeps the link's own percent escapes.
    if (!QDesktopServices::openUrl(QUrl(text, QUrl::TolerantMode)) && cannotOpen) cannotOpen();
    return;
  }
  // The link is passed as it is, percent escapes and all. The opener may run as long as the
  // program it started, so its end is awaited without blocking the window.
  auto* process = new QProcess(&openers_);
  process->setProgram(opener);
  process->setArguments({text});
  process->setStandardOutputFile(QProcess::nullDevice());
  QObject::connect(process, &QProcess::finished, process,
                   [process, cannotOpen](int exitCode, QProcess::ExitStatus status) {
                     process->deleteLater();
                     if ((status != QProcess::NormalExit || exitCode != 0) && cannotOpen) cannotOpen();
                   });
  QObject::connect(process, &QProcess::errorOccurred, process,
                   [process, cannotOpen](QProcess::ProcessError error) {
                     if (error != QProcess::FailedToStart) return;
                     process->deleteLater();
                     if (cannotOpen) cannotOpen();
                   });
  process->start();
}

}  // namespace asmpic::platform
