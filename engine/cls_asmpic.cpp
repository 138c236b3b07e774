#include "engine/cls_asmpic.h"

#include "engine/messages.h"
#include "kernels/rounding.h"
#include "platform/plane_transfer.h"

namespace asmpic {

using platform::MsgBoxButtons;
using platform::MsgBoxIcon;

clsASMpic::clsASMpic(platform::Runtime& runtime, const KernelStore& kernels)
    : runtime_(runtime), kernels_(kernels) {}

clsASMpic::~clsASMpic() = default;

void clsASMpic::PictureBox(platform::PictureBox& PicBox) {
  // The box shown so far lets go of the old buffer before a new one is allocated.
  if (box_ != nullptr) box_->FinishDrawing();
  box_ = &PicBox;
  const auto fail = [this](const char* message) {
    box_ = nullptr;
    runtime_.MsgBox(message, MsgBoxButtons::OK, MsgBoxIcon::Critical, messages::kEngineTitle);
  };

  // The size in pixels: twips over twips per pixel, both single precision, halves to even.
  const auto width =
      RoundToInt32(ToSingle(static_cast<double>(PicBox.WidthTwips()) / runtime_.TwipsPerPixelX()));
  const auto height =
      RoundToInt32(ToSingle(static_cast<double>(PicBox.HeightTwips()) / runtime_.TwipsPerPixelY()));
  if (!width || !height || *width < 0 || *height < 0) return fail(messages::kBindingFailed);
  width_ = *width;
  height_ = *height;

  if (!CheckColorDepth(PicBox)) return fail(messages::kWrongDepth);

  params_.width = width_;
  params_.height = height_;
  if (!AllocBuffers()) return fail(messages::kBindingFailed);
  params_.pixels = buffer_.data();
  BlitToPicture(3);
}

bool clsASMpic::CheckColorDepth(platform::PictureBox& box) const {
  const int bits = box.ScreenBitsPerPixel();
  return bits == 16 || bits == 32;
}

bool clsASMpic::AllocBuffers() {
  if (!GETDIBS(box_->PersistentImage())) return false;
  buffer_.CopyPlane(1, 2);
  buffer_.CopyPlane(1, 3);
  return true;
}

bool clsASMpic::GETDIBS(platform::ImageView bitmap) {
  // A buffer that cannot be had (an enormous box) or a bitmap that cannot be read leaves nothing
  // to bind to: report it here and let the binding fail.
  const bool hasPixels = width_ > 0 && height_ > 0;
  if (!buffer_.Allocate(width_, height_) ||
      (hasPixels && !platform::ReadImageIntoPlane(bitmap, buffer_.plane(1).data(), width_, height_))) {
    runtime_.MsgBox(messages::kGetDibsFailed, MsgBoxButtons::OK, MsgBoxIcon::Critical,
                    messages::kEngineTitle);
    return false;
  }
  return true;
}

void clsASMpic::BlitToPicture(int planeNumber) {
  box_->SetVisible(true);
  if (width_ <= 0 || height_ <= 0) {
    box_->SetPicture(nullptr);
  } else if (!box_->ShowPlane(buffer_.sharedPlane(planeNumber), width_, height_)) {
    // Nothing can be drawn: give the buffer back, say so, and end the program.
    buffer_.Release();
    params_.pixels = nullptr;
    box_ = nullptr;
    runtime_.MsgBox(messages::kBlitError, MsgBoxButtons::OK, MsgBoxIcon::Critical, messages::kEngineTitle);
    runtime_.End(1);
    return;
  }
  box_->Refresh();
}

void clsASMpic::AutoDraw(bool autoON) {
  autoDraw_ = autoON;
  if (box_ == nullptr) return;  // nothing to draw or copy before a binding
  if (autoON) {
    BlitToPicture(2);
  } else {
    box_->FinishDrawing();
    buffer_.CopyPlane(2, 3);
  }
}

void clsASMpic::DrawNow() {
  if (box_ == nullptr) return;
  BlitToPicture(2);
  runtime_.DoEvents();
}

bool clsASMpic::CheckPictureBox() {
  if (box_ != nullptr) return false;
  runtime_.MsgBox(messages::kNoPictureBox, MsgBoxButtons::OK, MsgBoxIcon::Information,
                  messages::kEngineTitle);
  return true;
}

std::int32_t clsASMpic::EffectColour(std::int32_t colorX) const {
  return colorX < 0 ? box_->BackColor() : colorX;
}

// The default centre is the whole-number half, W div 2 and H div 2, truncated before it becomes a
// float: a 5-pixel-wide picture turns about column 2, not 2.5.
float clsASMpic::CentreX(std::optional<double> centerX) const {
  const std::int32_t half = width_ / 2;
  return centerX ? ToSingle(*centerX) : static_cast<float>(half);
}

float clsASMpic::CentreY(std::optional<double> centerY) const {
  const std::int32_t half = height_ / 2;
  return centerY ? ToSingle(*centerY) : static_cast<float>(half);
}

void clsASMpic::Call(KernelEntry kernel, std::uint32_t arg1, std::uint32_t arg2, std::intptr_t arg3) {
  CallKernel(kernel, params_, arg1, arg2, arg3);
}

}  // namespace asmpic
