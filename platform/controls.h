#pragma once
// The controls of the benchmark window, as its handlers use them.
#include <functional>
#include <string>

#include "platform/image.h"

namespace asmpic::platform {

class ListBox {
 public:
  virtual ~ListBox() = default;
  virtual void Clear() = 0;
  virtual void AddItem(const std::string& text) = 0;
  virtual int ListCount() const = 0;
  virtual std::string List(int index) const = 0;
  virtual void SetList(int index, const std::string& text) = 0;
};

class Label {
 public:
  virtual ~Label() = default;
  virtual std::string Caption() const = 0;
  virtual void SetCaption(const std::string& text) = 0;
  virtual Colour ForeColor() const = 0;
  virtual void SetForeColor(Colour colour) = 0;
};

class Timer {
 public:
  virtual ~Timer() = default;
  virtual int Interval() const = 0;
  virtual void SetInterval(int milliseconds) = 0;
  virtual bool Enabled() const = 0;
  virtual void SetEnabled(bool enabled) = 0;
  // Called once per interval while enabled.
  std::function<void()> onTick;
};

class Button {
 public:
  virtual ~Button() = default;
  virtual std::string Caption() const = 0;
  std::function<void()> onClick;
};

// Opens a link (a mail link) with the desktop's handler.
class Shell {
 public:
  virtual ~Shell() = default;
  // Hands `link` to the desktop. `cannotOpen` is called on the user-interface thread, at once or
  // once it is known, when no program could open the link; it is not called when one did.
  virtual void Open(const std::string& link, std::function<void()> cannotOpen) = 0;
};

}  // namespace asmpic::platform
