#include "app/history/drawing.h"

#include <QBuffer>
#include <QCoreApplication>
#include <QGuiApplication>
#include <QImage>
#include <QImageWriter>
#include <QPainter>
#include <QSvgGenerator>
#include <iostream>
#include <ostream>

#include "platform/output_files.h"
#include "platform/qt/qt_messages.h"

namespace asmpic::app {

namespace {

constexpr int kFilePixels = 13;

bool EndsWith(const std::string& path, const char* extension) {
  return QString::fromStdString(path).endsWith(QLatin1String(extension), Qt::CaseInsensitive);
}

}  // namespace

std::unique_ptr<QGuiApplication> PictureApplication() {
  if (QCoreApplication::instance() != nullptr) return nullptr;
  // Qt keeps argc and argv for the application's life: they outlive every caller's.
  static int argc = 3;
  static char name[] = "asmbench";
  static char platformOption[] = "-platform";
  static char platform[] = "offscreen";
  static char* argv[] = {name, platformOption, platform, nullptr};
  platform::FilterQtNoise();
  return std::make_unique<QGuiApplication>(argc, argv);
}

QFont PictureFont() {
  QFont font;
  font.setFamilies({QStringLiteral("Liberation Sans"), QStringLiteral("DejaVu Sans")});
  font.setPixelSize(kFilePixels);
  return font;
}

void DrawLabel(QPainter& painter, const QRect& box, int flags, const QString& text) {
  const QRect used = painter.boundingRect(box, flags, text).adjusted(-2, 0, 2, 0);
  painter.fillRect(used, Qt::white);
  painter.drawText(box, flags, text);
}

bool IsPictureFile(const std::string& path) {
  return EndsWith(path, ".svg") || EndsWith(path, ".png");
}

bool WritePicture(const std::string& path, QSize size, const std::function<void(QPainter&)>& draw,
                  const QString& title, const QString& description, std::string* error) {
  const auto fail = [&](const std::string& why) {
    if (error != nullptr) *error = why;
    return false;
  };
  QBuffer drawn;
  drawn.open(QIODevice::WriteOnly);
  if (EndsWith(path, ".svg")) {
    QSvgGenerator generator;
    generator.setOutputDevice(&drawn);
    generator.setSize(size);
    generator.setViewBox(QRect(QPoint(0, 0), size));
    generator.setTitle(title);
    generator.setDescription(description);
    QPainter painter(&generator);
    draw(painter);
  } else if (EndsWith(path, ".png")) {
    QImage image(size, QImage::Format_RGB32);
    image.fill(Qt::white);
    {
      QPainter painter(&image);
      draw(painter);
    }
    image.setText(QStringLiteral("Title"), title);
    image.setText(QStringLiteral("Description"), description);
    QImageWriter writer(&drawn, "PNG");
    if (!writer.write(image)) return fail("cannot draw " + path + ": " + writer.errorString().toStdString());
  } else {
    return fail(path + " is neither .svg nor .png");
  }
  // Drawn in memory, then written as every other output: the file is replaced whole or kept as it
  // was, and the system's reason is told when it cannot be.
  platform::OutputFiles outputs(std::cout);
  std::string why;
  std::ostream* out = outputs.Stage(path, &why);
  if (out == nullptr) return fail("cannot write " + why);
  out->write(drawn.data().constData(), drawn.data().size());
  if (!outputs.Commit(&why)) return fail("cannot write " + why);
  return true;
}

}  // namespace asmpic::app
