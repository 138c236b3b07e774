#include "platform/qt/qt_picture_box.h"

#include <QPainter>
#include <QScreen>

#include "platform/paint_picture.h"
#include "platform/picture_io.h"
#include "platform/qt/qt_colour.h"
#include "platform/qt/qt_twips.h"

namespace asmpic::platform {

QtPictureBox::QtPictureBox(Window& container, QWidget* parent) : QWidget(parent), container_(container) {
  // The image covers the whole box, so nothing behind it needs painting first.
  setAttribute(Qt::WA_OpaquePaintEvent);
  setFocusPolicy(Qt::StrongFocus);
  FitImage();
}

void QtPictureBox::SetGeometryTwips(float left, float top, float width, float height, float twipsPerPixelX,
                                    float twipsPerPixelY) {
  widthTwips_ = width;
  heightTwips_ = height;
  setGeometry(TwipsToPixels(left, twipsPerPixelX), TwipsToPixels(top, twipsPerPixelY),
              TwipsToPixels(width, twipsPerPixelX), TwipsToPixels(height, twipsPerPixelY));
  // A widget not yet shown gets its resize event only when shown; the image must fit now.
  FitImage();
}

ImageView QtPictureBox::PersistentImage() {
  return View();
}

ImageView QtPictureBox::View() {
  if (image_.isNull()) return {};
  return {image_.bits(), image_.width(), image_.height(), static_cast<std::ptrdiff_t>(image_.bytesPerLine())};
}

void QtPictureBox::SetPicture(const Image* picture) {
  if (picture != nullptr) {
    picture_ = *picture;
  } else {
    picture_.reset();
  }
  RepaintImage();
  update();
}

void QtPictureBox::SetBackColor(Colour colour) {
  backColor_ = colour;
  RepaintImage();
  update();
}

int QtPictureBox::ScreenBitsPerPixel() const {
  if (forcedBits_) return *forcedBits_;
  const QScreen* shownOn = screen();
  const int depth = shownOn != nullptr ? shownOn->depth() : 32;
  // An X11 depth of 24 is stored in 32 bits per pixel.
  return depth == 24 ? 32 : depth;
}

void QtPictureBox::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  if (image_.isNull()) {
    painter.fillRect(rect(), ToQColor(backColor_));
  } else {
    painter.drawImage(0, 0, image_);
  }
}

void QtPictureBox::resizeEvent(QResizeEvent*) {
  FitImage();
}

void QtPictureBox::FitImage() {
  const QSize pixels = size();
  if (image_.size() == pixels && !image_.isNull()) return;
  if (pixels.width() <= 0 || pixels.height() <= 0 ||
      static_cast<long long>(pixels.width()) * pixels.height() > kMaxPicturePixels) {
    image_ = QImage();  // no image: drawing into the box fails
    return;
  }
  image_ = QImage(pixels, QImage::Format_RGB32);  // null if it cannot be allocated
  RepaintImage();
}

void QtPictureBox::RepaintImage() {
  PaintPicture(View(), backColor_, picture_ ? &*picture_ : nullptr);
}

}  // namespace asmpic::platform
