#include "platform/qt/qt_label.h"

#include "platform/qt/qt_colour.h"

namespace asmpic::platform {

QtLabel::QtLabel(QWidget* parent) : QLabel(parent) {
  setAutoFillBackground(false);
  SetForeColor(0);
}

void QtLabel::SetForeColor(Colour colour) {
  foreColor_ = colour;
  QPalette palette = this->palette();
  palette.setColor(QPalette::WindowText, ToQColor(colour));
  setPalette(palette);
}

}  // namespace asmpic::platform
