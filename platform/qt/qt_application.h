#pragma once
// Starting Qt for the window. Qt ends the program (abort, exit status 134) when the window system
// it is told to use cannot start, as when DISPLAY names an X server that does not answer. Here it
// is offered the offscreen platform as a fallback, so that the caller learns of it and can run
// without a window instead.
#include <QApplication>
#include <memory>
#include <string>

namespace asmpic::platform {

struct QtStart {
  std::unique_ptr<QApplication> application;  // null when no display could be reached
  std::string qtMessages;                     // what Qt said while it tried, one message a line
};

// `argc` and `argv` must outlive the application.
QtStart StartQtApplication(int& argc, char** argv);

}  // namespace asmpic::platform
