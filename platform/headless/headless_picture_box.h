#pragma once
// A picture box backed by an image in memory. Nothing shows it while a plane is being drawn into
// it, so it draws a plane that covers its whole image only when the image is next looked at (its
// accessors, a new picture, FinishDrawing): a benchmark run that draws after every call then
// converts no plane that no one sees.
#include <cstdint>
#include <memory>
#include <optional>

#include "platform/picture_box.h"

namespace asmpic::platform {

class HeadlessPictureBox : public PictureBox {
 public:
  // A box of the given outer size in twips; its image has the size in pixels that twips per pixel
  // give (rounded half to even in single precision, as the engine rounds). A box too large to
  // hold in memory has no image.
  HeadlessPictureBox(Window& container, float widthTwips, float heightTwips, float twipsPerPixelX = 15.0f,
                     float twipsPerPixelY = 15.0f, Colour backColor = 0);

  float WidthTwips() const override { return widthTwips_; }
  float HeightTwips() const override { return heightTwips_; }
  ImageView PersistentImage() override;
  void SetPicture(const Image* picture) override;
  bool ShowPlane(std::shared_ptr<const std::uint8_t> plane, int width, int height) override;
  void FinishDrawing() override { DrawPending(); }
  const Image* Picture() const override { return picture_ ? &*picture_ : nullptr; }
  bool Visible() const override { return visible_; }
  void SetVisible(bool visible) override { visible_ = visible; }
  Colour BackColor() const override { return backColor_; }
  void SetBackColor(Colour colour) { backColor_ = colour; }
  void Refresh() override { ++refreshes; }
  Window& Container() override { return container_; }
  int ScreenBitsPerPixel() const override { return screenBits_; }
  void SetScreenBitsPerPixel(int bits) { screenBits_ = bits; }

  // Makes the persistent image unavailable, so every draw fails (a lost device, in tests).
  void SetImageUnavailable(bool unavailable) { unavailable_ = unavailable; }
  // What the box shows.
  const Image& image() const {
    DrawPending();
    return image_;
  }
  int refreshes = 0;

 private:
  Window& container_;
  float widthTwips_;
  float heightTwips_;
  Colour backColor_;
  int screenBits_ = 32;
  bool visible_ = true;
  bool unavailable_ = false;
  // A plane shown but not yet drawn into image_.
  struct PendingPlane {
    std::shared_ptr<const std::uint8_t> plane;
    int width = 0;
    int height = 0;
  };
  void DrawPending() const;

  // Drawing the pending plane changes neither what the box shows nor what its accessors return;
  // it does write, so even the const accessors must not be called from two threads at once.
  mutable Image image_;
  mutable PendingPlane pending_;
  std::optional<Image> picture_;
};

}  // namespace asmpic::platform
