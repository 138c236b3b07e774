#pragma once
// In-memory controls: a window, list box, label, timer, button and shell that remember what was
// done to them, for headless runs and tests.
#include <string>
#include <vector>

#include "platform/controls.h"
#include "platform/picture_box.h"

namespace asmpic::platform {

class HeadlessRuntime;

class HeadlessWindow : public Window {
 public:
  explicit HeadlessWindow(std::string caption = "ASMpic Bench") : caption_(std::move(caption)) {}
  std::string Caption() const override { return caption_; }
  void SetCaption(std::string caption) { caption_ = std::move(caption); }
  void SetMousePointer(MousePointer pointer) override { pointers.push_back(pointer); }
  void Refresh() override { ++refreshes; }

  std::vector<MousePointer> pointers;  // every pointer set, in order
  int refreshes = 0;

 private:
  std::string caption_;
};

class HeadlessListBox : public ListBox {
 public:
  void Clear() override { items_.clear(); }
  void AddItem(const std::string& text) override { items_.push_back(text); }
  int ListCount() const override { return static_cast<int>(items_.size()); }
  std::string List(int index) const override;
  void SetList(int index, const std::string& text) override;
  const std::vector<std::string>& items() const { return items_; }

 private:
  std::vector<std::string> items_;
};

class HeadlessLabel : public Label {
 public:
  HeadlessLabel(std::string caption = {}, Colour foreColor = 0)
      : caption_(std::move(caption)), fore_(foreColor) {}
  std::string Caption() const override { return caption_; }
  void SetCaption(const std::string& text) override { caption_ = text; }
  Colour ForeColor() const override { return fore_; }
  void SetForeColor(Colour colour) override { fore_ = colour; }

 private:
  std::string caption_;
  Colour fore_;
};

// Ticks when the runtime yields and its interval has passed on the runtime's millisecond clock.
class HeadlessTimer : public Timer {
 public:
  HeadlessTimer(HeadlessRuntime& runtime, int interval, bool enabled);
  ~HeadlessTimer() override;
  HeadlessTimer(const HeadlessTimer&) = delete;
  HeadlessTimer& operator=(const HeadlessTimer&) = delete;

  int Interval() const override { return interval_; }
  void SetInterval(int milliseconds) override { interval_ = milliseconds; }
  bool Enabled() const override { return enabled_; }
  void SetEnabled(bool enabled) override;

  // Ticks if enabled and due at `nowMs`; a tick never runs inside its own handler.
  void Poll(double nowMs);
  int ticks = 0;

 private:
  HeadlessRuntime& runtime_;
  int interval_;
  bool enabled_;
  bool ticking_ = false;
  double lastMs_ = 0;
};

class HeadlessButton : public Button {
 public:
  explicit HeadlessButton(std::string caption) : caption_(std::move(caption)) {}
  std::string Caption() const override { return caption_; }
  void Click() {
    if (onClick) onClick();
  }

 private:
  std::string caption_;
};

// Records the links; `canOpen` false plays a desktop where no program opens them.
class HeadlessShell : public Shell {
 public:
  void Open(const std::string& link, std::function<void()> cannotOpen) override {
    opened.push_back(link);
    if (!canOpen && cannotOpen) cannotOpen();
  }
  std::vector<std::string> opened;
  bool canOpen = true;
};

}  // namespace asmpic::platform
