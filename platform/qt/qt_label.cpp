#include "platform/qt/qt_label.h"

#include "platform/qt/qt_colour.h"

namespace asmpic::platform {

QtLabel::QtLabel(QWidget* parent) : QLabel(parent) {
  setAutoFillBackground(false);
  ShowForeColor();
}

void QtLabel::SetForeColor(Colour colour) {
  foreColor_ = colour;
  ShowForeColor();
}

void QtLabel::ShowForeColor() {
  QPalette palette = this->palette();
  palette.setColor(QPalette::WindowText, ToQColor(foreColor_));
  setPalette(palette);
}

}  // namespace asmpic::platform
