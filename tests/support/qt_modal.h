#pragma once
// Acting on a modal dialog from a test while the code under test waits in the dialog's exec().
#include <QApplication>
#include <QTimer>
#include <QWidget>
#include <functional>

namespace asmpic::testing {

// Runs `act` on the modal dialog of type T as soon as the event loop shows it.
template <typename T>
void WhenShown(std::function<void(T&)> act) {
  QTimer::singleShot(0, [act] {
    auto* dialog = qobject_cast<T*>(QApplication::activeModalWidget());
    if (dialog == nullptr) {
      // Not up yet: look again on the next pass.
      WhenShown<T>(act);
      return;
    }
    act(*dialog);
  });
}

}  // namespace asmpic::testing
