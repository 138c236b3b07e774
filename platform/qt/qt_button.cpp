#include "platform/qt/qt_button.h"

namespace asmpic::platform {

QtButton::QtButton(QWidget* parent) : QPushButton(parent) {
  connect(this, &QPushButton::clicked, this, [this] {
    if (onClick) onClick();
  });
}

}  // namespace asmpic::platform
