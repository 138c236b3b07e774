#include "platform/qt/qt_list_box.h"

#include <stdexcept>

namespace asmpic::platform {

QtListBox::QtListBox(QWidget* parent) : QListWidget(parent) {
  setSortingEnabled(false);
}

void QtListBox::AddItem(const std::string& text) {
  addItem(QString::fromStdString(text));
}

std::string QtListBox::List(int index) const {
  if (index < 0 || index >= count()) throw std::out_of_range("list index out of range");
  return item(index)->text().toStdString();
}

void QtListBox::SetList(int index, const std::string& text) {
  if (index < 0 || index >= count()) throw std::out_of_range("list index out of range");
  item(index)->setText(QString::fromStdString(text));
}

}  // namespace asmpic::platform
