#include "platform/qt/qt_shell.h"

#include <QDesktopServices>
#include <QUrl>

namespace asmpic::platform {

void QtShell::Open(const std::string& link) {
  // Tolerant parsing keeps the link's own percent escapes; a link the desktop cannot open is
  // ignored.
  QDesktopServices::openUrl(QUrl(QString::fromStdString(link), QUrl::TolerantMode));
}

}  // namespace asmpic::platform
