#pragma once
// A picture box as a widget: it keeps its outer size in twips and a persistent image of its size
// in pixels (QImage::Format_RGB32, the layout the engine's planes share), and paints that image.
#include <QImage>
#include <QWidget>
#include <optional>

#include "platform/picture_box.h"

namespace asmpic::platform {

class QtPictureBox : public QWidget, public PictureBox {
  Q_OBJECT

 public:
  explicit QtPictureBox(Window& container, QWidget* parent = nullptr);

  // Places the box at a rectangle in twips (relative to its parent) and sizes it in pixels at the
  // given twips per pixel; the persistent image follows the new size.
  void SetGeometryTwips(float left, float top, float width, float height, float twipsPerPixelX,
                        float twipsPerPixelY);

  float WidthTwips() const override { return widthTwips_; }
  float HeightTwips() const override { return heightTwips_; }
  ImageView PersistentImage() override;
  void SetPicture(const Image* picture) override;
  const Image* Picture() const override { return picture_ ? &*picture_ : nullptr; }
  // Whether the box itself is shown; a box on a window not yet shown counts as visible.
  bool Visible() const override { return !isHidden(); }
  void SetVisible(bool visible) override { setVisible(visible); }
  Colour BackColor() const override { return backColor_; }
  void SetBackColor(Colour colour);
  void Refresh() override { repaint(); }
  Window& Container() override { return container_; }
  int ScreenBitsPerPixel() const override;
  // Reports `bits` instead of the screen's depth (nothing: the screen's again).
  void SetScreenBitsPerPixel(std::optional<int> bits) { forcedBits_ = bits; }

  const QImage& image() const { return image_; }

 protected:
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;

 private:
  // Gives the persistent image the widget's size and repaints it from the picture.
  void FitImage();
  void RepaintImage();
  ImageView View();

  Window& container_;
  float widthTwips_ = 0;
  float heightTwips_ = 0;
  Colour backColor_ = 0;
  std::optional<int> forcedBits_;
  std::optional<Image> picture_;
  QImage image_;
};

}  // namespace asmpic::platform
