#pragma once
#include <QLabel>

#include "platform/controls.h"

namespace asmpic::platform {

// A label whose text colour is kept as the control colour it was given (0x00BBGGRR) and shown
// through the palette. It has no background of its own: what lies under it shows around the text.
class QtLabel : public QLabel, public Label {
  Q_OBJECT

 public:
  explicit QtLabel(QWidget* parent = nullptr);

  std::string Caption() const override { return text().toStdString(); }
  void SetCaption(const std::string& caption) override { setText(QString::fromStdString(caption)); }
  Colour ForeColor() const override { return foreColor_; }
  void SetForeColor(Colour colour) override;

 private:
  void ShowForeColor();

  Colour foreColor_ = 0;
};

}  // namespace asmpic::platform
