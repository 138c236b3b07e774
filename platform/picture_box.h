#pragma once
// What the engine and the window use of a picture box and of the window that contains it.
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

  // Repaints the box on screen from its persistent image.
  virtual void Refresh() = 0;

  virtual Window& Container() = 0;

  // Bits per pixel of the screen the box is shown on.
  virtual int ScreenBitsPerPixel() const = 0;
};

}  // namespace asmpic::platform
