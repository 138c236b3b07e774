#pragma once
// The file and colour dialogs, owned by the window that contains the engine's picture box.
#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "platform/picture_box.h"

namespace asmpic::platform {

// One entry of a file dialog's filter: its label and its patterns joined by ";".
struct FileFilter {
  std::string label;
  std::string patterns;
};

// Sixteen colours (0x00BBGGRR) that the colour dialog offers besides its own.
using CustomColours = std::array<Colour, 16>;

class Dialogs {
 public:
  virtual ~Dialogs() = default;
  // The chosen path, or nothing when the user cancels.
  virtual std::optional<std::string> GetOpenFileName(Window& owner, std::string_view title,
                                                     std::span<const FileFilter> filter) = 0;
  virtual std::optional<std::string> GetSaveFileName(Window& owner, std::string_view title,
                                                     std::span<const FileFilter> filter) = 0;
  // The chosen colour, or nothing when the user cancels. On confirmation `custom` holds the
  // custom colours as the user left them.
  virtual std::optional<Colour> ChooseColor(Window& owner, CustomColours& custom) = 0;
};

}  // namespace asmpic::platform
