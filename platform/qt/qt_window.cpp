#include "platform/qt/qt_window.h"

namespace asmpic::platform {

void QtWindow::SetMousePointer(MousePointer pointer) {
  if (pointer == MousePointer::Hourglass) {
    widget_.setCursor(Qt::WaitCursor);
  } else {
    widget_.unsetCursor();
  }
}

}  // namespace asmpic::platform
