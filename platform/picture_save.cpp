#include "platform/picture_save.h"

#include <QIODevice>
#include <QImage>
#include <QImageWriter>
#include <algorithm>
#include <cctype>
#include <iostream>

#include "platform/output_files.h"

namespace asmpic::platform {

namespace {

// Qt's image writer writing into a standard stream, so that a picture goes into a staged output
// without a copy of the whole file in memory.
class StreamDevice : public QIODevice {
 public:
  explicit StreamDevice(std::ostream& out) : out_(out) { open(QIODevice::WriteOnly); }

 protected:
  qint64 readData(char*, qint64) override { return -1; }
  qint64 writeData(const char* data, qint64 size) override {
    out_.write(data, static_cast<std::streamsize>(size));
    return out_ ? size : -1;
  }

 private:
  std::ostream& out_;
};

const char* WriterFormat(PictureFormat format) {
  switch (format) {
    case PictureFormat::Bmp:
      return "bmp";
    case PictureFormat::Png:
      return "png";
    case PictureFormat::Jpeg:
      return "jpeg";
  }
  return "bmp";
}

void Say(std::string* error, const std::string& text) {
  if (error != nullptr) *error = text;
}

}  // namespace

std::optional<PictureFormat> PictureFormatOf(const std::string& path) {
  const auto dot = path.rfind('.');
  if (dot == std::string::npos || path.find('/', dot) != std::string::npos) return std::nullopt;
  std::string extension = path.substr(dot + 1);
  std::transform(extension.begin(), extension.end(), extension.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  if (extension == "bmp") return PictureFormat::Bmp;
  if (extension == "png") return PictureFormat::Png;
  if (extension == "jpg" || extension == "jpeg") return PictureFormat::Jpeg;
  return std::nullopt;
}

bool WritePicture(const ImageView& image, PictureFormat format, std::ostream& out, std::string* error) {
  if (image.isNull()) {
    Say(error, "nothing to save");
    return false;
  }
  const QImage view(image.bits, image.width, image.height, image.bytesPerLine, QImage::Format_RGB32);
  StreamDevice device(out);
  QImageWriter writer(&device, WriterFormat(format));
  if (!writer.write(view.convertToFormat(QImage::Format_RGB888))) {
    // A failed stream says more below; the encoder's own reason otherwise.
    Say(error, writer.errorString().toStdString());
    return false;
  }
  return true;
}

bool SavePictureFile(const ImageView& image, const std::string& path, PictureFormat format,
                     std::string* error) {
  OutputFiles outputs(std::cout);
  std::ostream* out = outputs.Stage(path, error);
  if (out == nullptr) return false;
  std::string reason;
  // When the stream failed (a full disk), the commit names the system's reason and replaces nothing.
  if (!WritePicture(image, format, *out, &reason) && *out) {
    outputs.Discard();
    Say(error, path + ": " + reason);
    return false;
  }
  return outputs.Commit(error);
}

}  // namespace asmpic::platform
