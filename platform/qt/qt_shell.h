#pragma once
#include "platform/controls.h"

namespace asmpic::platform {

// Opens links with the desktop's handler (a mail link opens the mail program).
class QtShell : public Shell {
 public:
  void Open(const std::string& link) override;
};

}  // namespace asmpic::platform
