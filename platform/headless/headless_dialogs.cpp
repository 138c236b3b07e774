#include "platform/headless/headless_dialogs.h"

namespace asmpic::platform {

namespace {

template <typename T>
std::optional<T> Next(std::deque<std::optional<T>>& answers) {
  if (answers.empty()) return std::nullopt;
  auto answer = std::move(answers.front());
  answers.pop_front();
  return answer;
}

}  // namespace

std::optional<std::string> HeadlessDialogs::GetOpenFileName(Window& owner, std::string_view title,
                                                            std::span<const FileFilter> filter) {
  openQuestions.push_back({std::string(title), {filter.begin(), filter.end()}, &owner});
  return Next(openAnswers);
}

std::optional<std::string> HeadlessDialogs::GetSaveFileName(Window& owner, std::string_view title,
                                                            std::span<const FileFilter> filter) {
  saveQuestions.push_back({std::string(title), {filter.begin(), filter.end()}, &owner});
  return Next(saveAnswers);
}

std::optional<Colour> HeadlessDialogs::ChooseColor(Window& owner, CustomColours& custom) {
  colourQuestions.push_back(custom);
  colourOwners.push_back(&owner);
  auto answer = Next(colourAnswers);
  if (!answer) return std::nullopt;
  if (answer->custom) custom = *answer->custom;
  return answer->colour;
}

}  // namespace asmpic::platform
