#pragma once
#include <QListWidget>

#include "platform/controls.h"

namespace asmpic::platform {

// A list box: unsorted lines, replaced by index counted from 0.
class QtListBox : public QListWidget, public ListBox {
  Q_OBJECT

 public:
  explicit QtListBox(QWidget* parent = nullptr);

  void Clear() override { clear(); }
  void AddItem(const std::string& text) override;
  int ListCount() const override { return count(); }
  // An index outside 0 .. ListCount() - 1 throws std::out_of_range.
  std::string List(int index) const override;
  void SetList(int index, const std::string& text) override;
};

}  // namespace asmpic::platform
