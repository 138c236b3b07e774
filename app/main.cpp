// asmbench: the benchmark's window.
#include <QApplication>

#include "app/form1.h"
#include "platform/qt/qt_runtime.h"

int main(int argc, char** argv) {
  QApplication application(argc, argv);
  asmpic::platform::QtRuntime runtime;
  const auto form = asmpic::app::ShowForm1(runtime);
  return QApplication::exec();
}
