#pragma once
// The window that contains the picture boxes, as the engine sees it.
#include <QWidget>

#include "platform/picture_box.h"

namespace asmpic::platform {

class QtWindow : public Window {
 public:
  explicit QtWindow(QWidget& widget) : widget_(widget) {}

  std::string Caption() const override { return widget_.windowTitle().toStdString(); }
  // 0 the default arrow, 11 the hourglass (a busy cursor over the whole window).
  void SetMousePointer(MousePointer pointer) override;
  void Refresh() override { widget_.repaint(); }

  // Owner of the window's dialogs.
  QWidget& widget() const { return widget_; }

 private:
  QWidget& widget_;
};

}  // namespace asmpic::platform
