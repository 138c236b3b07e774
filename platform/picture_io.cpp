#include "platform/picture_io.h"

#include <QFile>
#include <QImage>
#include <QImageReader>
#include <QImageWriter>

namespace asmpic::platform {

namespace {

void Say(std::string* error, const QString& text) {
  if (error != nullptr) *error = text.toStdString();
}

Image FromQImage(const QImage& decoded) {
  // ARGB32 (not premultiplied) keeps transparency for the box to paint over its background.
  const QImage argb = decoded.convertToFormat(QImage::Format_ARGB32);
  Image image(argb.width(), argb.height());
  for (int y = 0; y < argb.height(); ++y) {
    const auto* row = reinterpret_cast<const std::uint32_t*>(argb.constScanLine(y));
    std::copy_n(row, argb.width(), image.pixels.begin() + static_cast<std::ptrdiff_t>(y) * argb.width());
  }
  return image;
}

}  // namespace

std::optional<Image> LoadPictureFile(const std::string& path, std::string* error) {
  QImageReader reader(QFile::decodeName(path.c_str()));
  reader.setAutoTransform(false);
  // Refuse pictures whose header claims more pixels than we are willing to hold, before decoding.
  const QSize size = reader.size();
  if (size.isValid() && static_cast<long long>(size.width()) * size.height() > kMaxPicturePixels) {
    Say(error, QStringLiteral("%1: the picture is too large (%2 x %3)")
                   .arg(QString::fromStdString(path))
                   .arg(size.width())
                   .arg(size.height()));
    return std::nullopt;
  }
  QImage decoded;
  if (!reader.read(&decoded) || decoded.isNull()) {
    Say(error, QStringLiteral("%1: %2").arg(QString::fromStdString(path), reader.errorString()));
    return std::nullopt;
  }
  return FromQImage(decoded);
}

bool SaveBitmapFile(const ImageView& image, const std::string& path, std::string* error) {
  if (image.isNull()) {
    Say(error, QStringLiteral("nothing to save"));
    return false;
  }
  const QImage view(image.bits, image.width, image.height, image.bytesPerLine, QImage::Format_RGB32);
  QImageWriter writer(QFile::decodeName(path.c_str()), "bmp");
  if (!writer.write(view.convertToFormat(QImage::Format_RGB888))) {
    Say(error, QStringLiteral("%1: %2").arg(QString::fromStdString(path), writer.errorString()));
    return false;
  }
  return true;
}

}  // namespace asmpic::platform
