#pragma once
#include <QObject>

#include "platform/controls.h"

namespace asmpic::platform {

// Opens links with the desktop's handler (a mail link opens the mail program).
//
// Where the freedesktop opener xdg-open is installed (the one Qt's own desktop services use on
// such desktops), it runs as a child process, so that its failure (no program for the link) is
// seen: it exits with a non-zero status. Elsewhere Qt's desktop services open the link and their
// answer counts. A link that was handed on successfully changes nothing here.
class QtShell : public Shell {
 public:
  void Open(const std::string& link, std::function<void()> cannotOpen) override;

 private:
  QObject openers_;  // parent of the running xdg-open processes
};

}  // namespace asmpic::platform
