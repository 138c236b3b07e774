#pragma once
// clsASMpic, the image engine: bound to one picture box, it holds the box's pixels in a
// three-plane buffer, runs the effect kernels over it and draws the working picture back.
#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>

#include "engine/pixel_buffer.h"
#include "kernels/kernel_store.h"
#include "platform/dialogs.h"
#include "platform/picture_box.h"
#include "platform/runtime.h"

namespace asmpic {

class clsASMpic {
 public:
  // The engine reports through `runtime` (message boxes, dialogs, random numbers, ending the
  // program); the runtime must outlive it.
  explicit clsASMpic(platform::Runtime& runtime, const KernelStore& kernels = {});
  ~clsASMpic();
  clsASMpic(const clsASMpic&) = delete;
  clsASMpic& operator=(const clsASMpic&) = delete;

  // --- Binding and drawing -------------------------------------------------------------------
  // Binds the engine to `PicBox`: reads its pixels into all three planes and draws them.
  // Failures are reported by message box and leave the engine unbound.
  void PictureBox(platform::PictureBox& PicBox);
  void AutoDraw(bool autoON);
  bool AutoDraw() const { return autoDraw_; }
  void DrawNow();

  // --- Effects --------------------------------------------------------------------------------
  void ASM_Rotate(std::int16_t Angle, bool AntiAlias = false, bool SourcePic = true, std::int32_t colorX = -1,
                  std::optional<double> centerX = std::nullopt, std::optional<double> centerY = std::nullopt);
  void ASM_PalEffects(std::int32_t OpCode, std::int16_t Amount = 1, std::int32_t colorX = -1);
  void ASM_PixelEffects(const std::int32_t& OpCode, std::int16_t Amount = 1, std::int32_t colorX = -1);
  void ASM_IncrementalPalEffects(const std::int32_t& OpCode, std::int16_t Amount = 1);
  void ASM_ColorXEffects(std::int32_t OpCode, std::int32_t colorX, std::int16_t Amount = 1,
                         std::optional<double> centerX = std::nullopt,
                         std::optional<double> centerY = std::nullopt);
  void ASM_Magnify(float Factor, std::optional<double> centerX = std::nullopt,
                   std::optional<double> centerY = std::nullopt, bool AntiAlias = false,
                   std::int32_t colorX = -1);

  // --- Undo and reset -------------------------------------------------------------------------
  void UndoLast();
  void ResetPic();
  void UndoLastDontDraw();

  // --- Dialogs --------------------------------------------------------------------------------
  void dialogShowOpen(const std::string& Caption = "");
  void dialogShowSave(const std::string& Caption = "");
  std::int32_t dialogChoseColor();

  // --- Inspection (tools and tests) -----------------------------------------------------------
  bool bound() const { return box_ != nullptr; }
  int Width() const { return width_; }
  int Height() const { return height_; }
  const KernelParams& params() const { return params_; }
  const PixelBuffer& buffer() const { return buffer_; }
  std::span<const std::uint8_t> plane(int k) const { return buffer_.plane(k); }
  const platform::CustomColours& customColours() const { return customColours_; }

 private:
  bool CheckPictureBox();
  bool CheckColorDepth(platform::PictureBox& box) const;
  bool AllocBuffers();
  bool GETDIBS(platform::ImageView bitmap);
  void BlitToPicture(int planeNumber);

  // The sequence every effect method shares: the box check (stop when unbound), the undo copy
  // of plane 2 into plane 3 when `makeUndoCopy` and AutoDraw are on, the kernel work (skipped for
  // a picture without pixels), and the draw of plane 2 when AutoDraw is on. A box that puts its
  // drawing off needs to draw the planes before they change only when no draw follows: with
  // AutoDraw on, the new picture is shown before anyone can look.
  template <typename KernelWork>
  void RunEffect(bool makeUndoCopy, KernelWork&& work) {
    if (CheckPictureBox()) return;
    if (!autoDraw_) box_->FinishDrawing();
    if (makeUndoCopy && autoDraw_) buffer_.CopyPlane(2, 3);
    if (width_ > 0 && height_ > 0) work();
    if (autoDraw_) BlitToPicture(2);
  }
  // A negative colour stands for the bound box's BackColor, taken unchanged.
  std::int32_t EffectColour(std::int32_t colorX) const;
  // A missing centre is W div 2 (H div 2), the centre as single precision.
  float CentreX(std::optional<double> centerX) const;
  float CentreY(std::optional<double> centerY) const;
  void Call(KernelEntry kernel, std::uint32_t arg1, std::uint32_t arg2, std::intptr_t arg3);

  platform::Runtime& runtime_;
  KernelStore kernels_;
  platform::PictureBox* box_ = nullptr;
  std::int32_t width_ = 0;
  std::int32_t height_ = 0;
  PixelBuffer buffer_;
  KernelParams params_;
  bool autoDraw_ = true;
  platform::CustomColours customColours_{};
};

}  // namespace asmpic
