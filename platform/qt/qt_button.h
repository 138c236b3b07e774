#pragma once
#include <QPushButton>

#include "platform/controls.h"

namespace asmpic::platform {

// A push button whose press calls onClick.
class QtButton : public QPushButton, public Button {
  Q_OBJECT

 public:
  explicit QtButton(QWidget* parent = nullptr);

  std::string Caption() const override { return text().toStdString(); }
};

}  // namespace asmpic::platform
