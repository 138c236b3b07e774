// The picture file and colour dialogs.
#include "engine/cls_asmpic.h"

namespace asmpic {

void clsASMpic::dialogShowOpen(const std::string&) {
  CheckPictureBox();
}
void clsASMpic::dialogShowSave(const std::string&) {
  CheckPictureBox();
}
std::int32_t clsASMpic::dialogChoseColor() {
  return CheckPictureBox() ? 0 : -1;
}

}  // namespace asmpic
