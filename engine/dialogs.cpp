// The picture file and colour dialogs: load a picture into the bound box and bind to it again,
// save what the box shows as a bitmap file, and pick a colour with the engine's custom colours.
#include <algorithm>
#include <array>
#include <cctype>
#include <exception>
#include <string_view>

#include "engine/cls_asmpic.h"
#include "engine/messages.h"
#include "platform/picture_io.h"

namespace asmpic {

namespace {

using platform::FileFilter;

const std::array<FileFilter, 2> kOpenFilter{{
    {"Pictures (*.bmp *.gif *.jpg *.wmf *.ico *.cur)", "*.bmp;*.gif;*.jpg;*.wmf;*.ico;*.cur"},
    {"All Files (*.*)", "*.*"},
}};
const std::array<FileFilter, 1> kSaveFilter{{
    {"Pictures (*.bmp)", "*.bmp"},
}};

// A file name as a dialog hands it over: the text before the first zero character.
std::string_view UpToZero(std::string_view text) {
  return text.substr(0, text.find('\0'));
}

std::string TrimBlanks(std::string_view text) {
  const auto first = text.find_first_not_of(' ');
  if (first == std::string_view::npos) return {};
  return std::string(text.substr(first, text.find_last_not_of(' ') - first + 1));
}

// Bitmap files keep a name that already ends in ".bmp" in any case, blanks and all; any other
// name is trimmed and gets ".bmp" added (so "photo.jpg" becomes "photo.jpg.bmp").
std::string BitmapFileName(std::string_view chosen) {
  std::string lastFour(chosen.substr(chosen.size() - std::min<std::size_t>(chosen.size(), 4)));
  std::transform(lastFour.begin(), lastFour.end(), lastFour.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  if (lastFour == ".bmp") return std::string(chosen);
  return TrimBlanks(chosen) + ".bmp";
}

}  // namespace

void clsASMpic::dialogShowOpen(const std::string& Caption) {
  if (CheckPictureBox()) return;
  platform::PictureBox& box = *box_;
  platform::Window& window = box.Container();
  const std::string title = Caption.empty() ? messages::kOpenTitle : Caption;

  // Everything up to a decoded picture may fail without touching the box's picture, the binding
  // or the buffer; only the visibility has to be given back.
  std::optional<platform::Image> picture;
  bool hidden = false;
  try {
    const auto chosen = runtime_.FileAndColourDialogs().GetOpenFileName(window, title, kOpenFilter);
    if (!chosen) return;  // cancelled: nothing to show, nothing changed
    box.SetVisible(false);
    hidden = true;
    picture = platform::LoadPictureFile(TrimBlanks(UpToZero(*chosen)));
    if (picture) box.SetPicture(&*picture);
  } catch (const std::exception&) {
    picture.reset();
  }
  if (!picture) {
    if (hidden) box.SetVisible(true);
    runtime_.MsgBox(messages::kLoadFailed, platform::MsgBoxButtons::OK, platform::MsgBoxIcon::Critical,
                    window.Caption());
    return;
  }

  window.SetMousePointer(platform::MousePointer::Hourglass);
  // Binding again reads the box's new picture into all three planes at the box's size and draws
  // it, which shows the box; its own failures are reported by the binding.
  PictureBox(box);
  window.Refresh();
  window.SetMousePointer(platform::MousePointer::Default);
}

void clsASMpic::dialogShowSave(const std::string& Caption) {
  if (CheckPictureBox()) return;
  platform::PictureBox& box = *box_;
  platform::Window& window = box.Container();
  const std::string title = Caption.empty() ? messages::kSaveTitle : Caption;

  bool saved = false;
  try {
    const auto chosen = runtime_.FileAndColourDialogs().GetSaveFileName(window, title, kSaveFilter);
    if (!chosen) return;
    // What the box shows, which with AutoDraw off need not be the working picture.
    saved = platform::SaveBitmapFile(box.PersistentImage(), BitmapFileName(UpToZero(*chosen)));
  } catch (const std::exception&) {
    saved = false;
  }
  if (!saved) {
    runtime_.MsgBox(messages::kSaveFailed, platform::MsgBoxButtons::OK, platform::MsgBoxIcon::Critical,
                    window.Caption());
  }
}

std::int32_t clsASMpic::dialogChoseColor() {
  if (CheckPictureBox()) return 0;
  // The dialog works on a copy, so a cancelled dialog leaves the engine's custom colours alone.
  platform::CustomColours offered = customColours_;
  const auto chosen = runtime_.FileAndColourDialogs().ChooseColor(box_->Container(), offered);
  if (!chosen) return -1;
  customColours_ = offered;
  return *chosen;
}

}  // namespace asmpic
