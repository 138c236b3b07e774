#pragma once
// What the engine and the window use of a picture box and of the window that contains it.
#include <cstdint>
#include <memory>
#include <string>

#include "platform/image.h"

namespace asmpic::platform {

enum class MousePointer { Default = 0, Hourglass = 11 };

class Window {
 public:
  virtual ~Window() = default;
  virtual std::string Caption() const = 0;
  virtual void SetMousePointer(MousePointer pointer) = 0;
  virtual void Refresh() = 0;
};

class PictureBox {
 public:
  virtual ~PictureBox() = default;

  // Outer size in twips; the box has no border, so this is also its drawable area.
  virtual float WidthTwips() const = 0;
  virtual float HeightTwips() const = 0;

  // The persistent image: what the box shows, always of the box's size in pixels. A null view
  // means the image cannot be had (drawing into the box then fails).
  virtual ImageView PersistentImage() = 0;

  // Sets the box's picture (nullptr: the empty picture) and repaints the persistent image from
  // it: the background colour, with the picture at the top-left corner, unscaled and clipped.
  virtual void SetPicture(const Image* picture) = 0;
  virtual const Image* Picture() const = 0;

  virtual bool Visible() const = 0;
  virtual void SetVisible(bool visible) = 0;

  virtual Colour BackColor() const = 0;

  // Shows a plane of width x height pixels (rows bottom first, 4 bytes a pixel, the fourth ignored)
  // as the box's whole content: the picture cleared, the persistent image repainted with the
  // background and the plane drawn over it at the top-left corner, clipped. False when the
  // persistent image cannot be had (only the background is painted then).
  // A box may put the drawing off until its persistent image is next looked at; it holds `plane`
  // until then, and the plane must not change before the next ShowPlane or SetPicture, or before
  // FinishDrawing is called. Where the plane covers the whole image, the background is not painted
  // first: it would be painted over at once.
  virtual bool ShowPlane(std::shared_ptr<const std::uint8_t> plane, int width, int height);

  // Draws now what ShowPlane put off, so that the plane it was given may change.
  virtual void FinishDrawing() {}

  // Repaints the box on screen from its persistent image.
  virtual void Refresh() = 0;

  virtual Window& Container() = 0;

  // Bits per pixel of the screen the box is shown on.
  virtual int ScreenBitsPerPixel() const = 0;
};

}  // namespace asmpic::platform
