#pragma once
// Dialogs answered from queues: each question takes the next answer; an empty queue cancels.
#include <deque>
#include <string>
#include <vector>

#include "platform/dialogs.h"

namespace asmpic::platform {

class HeadlessDialogs : public Dialogs {
 public:
  std::optional<std::string> GetOpenFileName(Window& owner, std::string_view title,
                                             std::span<const FileFilter> filter) override;
  std::optional<std::string> GetSaveFileName(Window& owner, std::string_view title,
                                             std::span<const FileFilter> filter) override;
  std::optional<Colour> ChooseColor(Window& owner, CustomColours& custom) override;

  struct ColourAnswer {
    Colour colour;
    std::optional<CustomColours> custom;  // what the user left in the custom colours, if changed
  };
  std::deque<std::optional<std::string>> openAnswers;
  std::deque<std::optional<std::string>> saveAnswers;
  std::deque<std::optional<ColourAnswer>> colourAnswers;

  // What was asked, for tests.
  struct FileQuestion {
    std::string title;
    std::vector<FileFilter> filter;
    const Window* owner = nullptr;
  };
  std::vector<FileQuestion> openQuestions;
  std::vector<FileQuestion> saveQuestions;
  std::vector<CustomColours> colourQuestions;  // the custom colours offered each time
  std::vector<const Window*> colourOwners;
};

}  // namespace asmpic::platform
