#pragma once
// Form1, the benchmark's only window: the picture being worked on (Picture1), the start button
// (Command1), the list of timings (List1), the score display over it (Picture2 with Label1), two
// timers, and the two engines bound to the picture boxes. The window only builds its controls and
// binds the engines; what a press of Command1 and the timers' ticks do is connected from outside
// through the controls' onClick and onTick.
#include <QString>
#include <QWidget>
#include <memory>
#include <optional>
#include <string>

#include "engine/cls_asmpic.h"
#include "platform/qt/qt_button.h"
#include "platform/qt/qt_label.h"
#include "platform/qt/qt_list_box.h"
#include "platform/qt/qt_picture_box.h"
#include "platform/qt/qt_timer.h"
#include "platform/qt/qt_window.h"
#include "platform/runtime.h"

namespace asmpic::app {

struct Form1Options {
  // The folder with the start pictures and the icon; empty: AssetsDirectory().
  std::string assetsDirectory;
  // What both picture boxes report as the screen's bits per pixel, instead of the screen's depth.
  std::optional<int> screenBitsPerPixel;
};

class Form1 : public QWidget {
  Q_OBJECT

 public:
  // Builds the window and its controls at the runtime's twips per pixel, then loads: creates the
  // engines, binds them (their failures are reported by the engines and the window opens all the
  // same) and hides Picture2. The runtime must outlive the window.
  explicit Form1(platform::Runtime& runtime, const Form1Options& options = {});
  ~Form1() override;

  platform::QtPictureBox& Picture1() { return *picture1_; }
  platform::QtButton& Command1() { return *command1_; }
  platform::QtListBox& List1() { return *list1_; }
  platform::QtPictureBox& Picture2() { return *picture2_; }
  platform::QtLabel& Label1() { return *label1_; }
  platform::QtTimer& Timer1() { return timer1_; }
  platform::QtTimer& Timer2() { return timer2_; }
  clsASMpic& Engine1() { return *engine1_; }
  clsASMpic& Engine2() { return *engine2_; }
  platform::QtWindow& Window() { return window_; }
  platform::Runtime& Runtime() { return runtime_; }

  // Saves what the window shows in the format the file's name asks for (.png, .bmp, .jpg), through
  // a temporary file that replaces the old one only once complete; false with a reason.
  bool SaveScreenshot(const std::string& path, std::string* error = nullptr);

 private:
  void BuildControls(const std::string& assets);
  void Form_Load();

  platform::Runtime& runtime_;
  platform::QtWindow window_;
  // The controls are children of the window, which deletes them.
  platform::QtPictureBox* picture1_ = nullptr;
  platform::QtButton* command1_ = nullptr;
  platform::QtListBox* list1_ = nullptr;
  platform::QtPictureBox* picture2_ = nullptr;
  platform::QtLabel* label1_ = nullptr;
  platform::QtTimer timer1_;
  platform::QtTimer timer2_;
  // Declared last, so they go before the boxes they are bound to.
  std::unique_ptr<clsASMpic> engine1_;
  std::unique_ptr<clsASMpic> engine2_;
};

// Makes the window and shows it.
std::unique_ptr<Form1> ShowForm1(platform::Runtime& runtime, const Form1Options& options = {});

}  // namespace asmpic::app
