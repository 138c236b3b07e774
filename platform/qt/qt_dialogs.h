#pragma once
// The file and colour dialogs as Qt shows them, owned by the window that contains the engine's box.
#include <QString>

#include "platform/dialogs.h"

namespace asmpic::platform {

class QtDialogs : public Dialogs {
 public:
  std::optional<std::string> GetOpenFileName(Window& owner, std::string_view title,
                                             std::span<const FileFilter> filter) override;
  // Picking an existing file replaces it without a question.
  std::optional<std::string> GetSaveFileName(Window& owner, std::string_view title,
                                             std::span<const FileFilter> filter) override;
  std::optional<Colour> ChooseColor(Window& owner, CustomColours& custom) override;
};

// A file dialog's filter in Qt's form: the entries' labels joined by ";;". A label that already
// names its patterns in parentheses is used as it is; otherwise its patterns are appended.
QString QtFileFilter(std::span<const FileFilter> filter);

}  // namespace asmpic::platform
