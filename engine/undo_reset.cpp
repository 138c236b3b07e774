// Undo and reset: whole planes moved back, one level of undo.
#include "engine/cls_asmpic.h"

namespace asmpic {

void clsASMpic::UndoLast() {
  if (CheckPictureBox()) return;
  buffer_.CopyPlane(3, 2);
  BlitToPicture(2);
}

void clsASMpic::ResetPic() {
  if (CheckPictureBox()) return;
  buffer_.CopyPlane(1, 2);
  buffer_.CopyPlane(1, 3);
  BlitToPicture(1);
}

void clsASMpic::UndoLastDontDraw() {
  if (CheckPictureBox()) return;
  box_->FinishDrawing();  // the box keeps showing the picture it was given
  buffer_.CopyPlane(3, 2);
}

}  // namespace asmpic
