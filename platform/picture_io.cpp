#include "platform/picture_io.h"

#include <Magick++.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <span>
#include <string_view>

#include "platform/picture_save.h"

namespace asmpic::platform {

namespace {

// Metafiles give their size in inches; they are drawn at 96 dots per inch, the screen's
// resolution at 15 twips per pixel.
constexpr std::size_t kMetafileDotsPerInch = 96;

// No picture we accept needs more than four bytes a pixel in its file, plus its headers; a larger
// file is refused before it is read.
constexpr std::uintmax_t kMaxFileBytes = 4 * static_cast<std::uintmax_t>(kMaxPicturePixels) + (1u << 20);

void Say(std::string* error, const std::string& text) {
  if (error != nullptr) *error = text;
}

// The decoder for a file, chosen by its first bytes and never by its name, and only among the
// formats we offer: no other decoder of the library ever sees a file.
const char* DecoderFor(std::string_view head) {
  const auto startsWith = [head](std::string_view signature) {
    return head.substr(0, signature.size()) == signature;
  };
  using namespace std::string_view_literals;
  if (startsWith("BM")) return "BMP";
  if (startsWith("GIF87a") || startsWith("GIF89a")) return "GIF";
  if (startsWith("\xFF\xD8\xFF")) return "JPEG";
  if (startsWith("\0\0\1\0"sv)) return "ICO";
  if (startsWith("\0\0\2\0"sv)) return "CUR";
  // Not offered by the open dialog, but the start pictures and the command line may use it.
  if (startsWith("\x89PNG\r\n\x1A\n")) return "PNG";
  // A metafile with its placeable header, or a bare one (in memory or on disk, header of 9 words,
  // version 1 or 3).
  if (startsWith("\xD7\xCD\xC6\x9A\0\0"sv)) return "WMF";
  if ((startsWith("\1\0\x09\0"sv) || startsWith("\2\0\x09\0"sv)) && head.size() >= 6 && head[4] == 0 &&
      (head[5] == 1 || head[5] == 3)) {
    return "WMF";
  }
  return nullptr;
}

std::optional<std::string> ReadWholeFile(const std::string& path, std::string* error) {
  std::error_code failure;
  const auto status = std::filesystem::status(path, failure);
  if (failure || !std::filesystem::is_regular_file(status)) {
    Say(error, path + ": not a readable file");
    return std::nullopt;
  }
  const std::uintmax_t size = std::filesystem::file_size(path, failure);
  if (failure) {
    Say(error, path + ": " + failure.message());
    return std::nullopt;
  }
  if (size > kMaxFileBytes) {
    Say(error, path + ": the file is too large for a picture we can hold");
    return std::nullopt;
  }
  std::string bytes(size, '\0');
  std::ifstream in(path, std::ios::binary);
  if (!in.read(bytes.data(), static_cast<std::streamsize>(size)) ||
      in.gcount() != static_cast<std::streamsize>(size)) {
    Say(error, path + ": cannot be read");
    return std::nullopt;
  }
  return bytes;
}

void StartDecoders() {
  static std::once_flag started;
  std::call_once(started, [] {
    Magick::InitializeMagick(nullptr);
    // A picture that does not fit in memory fails instead of spilling to temporary files.
    Magick::ResourceLimits::disk(0);
  });
}

// The library reports damaged data either as an error or as a "corrupt image" warning (a JPEG
// that ends early, for instance); both mean the file cannot be read. Other warnings (a colour
// profile it dislikes) leave a good picture behind and are let pass.
template <typename Step>
void Strictly(Step&& step) {
  try {
    step();
  } catch (const Magick::WarningCorruptImage&) {
    throw;
  } catch (const Magick::Warning&) {
  }
}

bool WithinLimit(std::size_t columns, std::size_t rows) {
  const auto limit = static_cast<std::size_t>(kMaxPicturePixels);
  return columns > 0 && rows > 0 && columns <= limit && rows <= limit / columns;
}

Magick::Image Configured(const char* decoder) {
  Magick::Image image;
  image.quiet(false);
  image.magick(decoder);
  // Only the first picture: the first frame of an animation, the first image of an icon.
  image.subImage(0);
  image.subRange(1);
  image.density(Magick::Geometry(kMetafileDotsPerInch, kMetafileDotsPerInch));
  return image;
}

// A GIF's first frame may cover only part of its logical screen; the rest is transparent.
void PlaceOnScreen(Magick::Image& frame) {
  const Magick::Geometry page = frame.page();
  if (page.width() == 0 || page.height() == 0) return;
  if (page.width() == frame.columns() && page.height() == frame.rows() && page.xOff() == 0 &&
      page.yOff() == 0) {
    return;
  }
  Magick::Image screen(Magick::Geometry(page.width(), page.height()), Magick::Color("none"));
  screen.composite(frame, page.xOff(), page.yOff(), Magick::CopyCompositeOp);
  frame = screen;
}

std::optional<Image> Decode(const std::string& path, const std::string& bytes, std::string* error) {
  const char* decoder = DecoderFor(bytes);
  if (decoder == nullptr) {
    Say(error, path + ": not a picture in a format we read");
    return std::nullopt;
  }
  StartDecoders();
  const Magick::Blob blob(bytes.data(), bytes.size());

  // Learn the size from the headers alone (for a metafile: its extent at our resolution) and
  // refuse what we will not hold before any pixel is decoded.
  Magick::Image probe = Configured(decoder);
  Strictly([&] { probe.ping(blob); });
  if (probe.columns() == 0 || probe.rows() == 0) {
    Say(error, path + ": no picture in the file");
    return std::nullopt;
  }
  const Magick::Geometry page = probe.page();
  if (!WithinLimit(probe.columns(), probe.rows()) ||
      (page.width() != 0 && page.height() != 0 && !WithinLimit(page.width(), page.height()))) {
    Say(error, path + ": the picture is too large (" + std::to_string(probe.columns()) + " x " +
                   std::to_string(probe.rows()) + ")");
    return std::nullopt;
  }

  Magick::Image picture = Configured(decoder);
  Strictly([&] { picture.read(blob); });
  if (std::strcmp(decoder, "GIF") == 0) PlaceOnScreen(picture);
  if (picture.colorSpace() == Magick::CMYKColorspace) picture.colorSpace(Magick::sRGBColorspace);
  if (!WithinLimit(picture.columns(), picture.rows())) {
    Say(error, path + ": the picture has no pixels or is too large");
    return std::nullopt;
  }

  // Blue, green, red, alpha bytes are the 0xAARRGGBB words of an Image on a little-endian host.
  Image image(static_cast<int>(picture.columns()), static_cast<int>(picture.rows()));
  picture.write(0, 0, picture.columns(), picture.rows(), "BGRA", Magick::CharPixel, image.pixels.data());
  return image;
}

}  // namespace

std::optional<Image> LoadPictureFile(const std::string& path, std::string* error) {
  try {
    const auto bytes = ReadWholeFile(path, error);
    if (!bytes) return std::nullopt;
    return Decode(path, *bytes, error);
  } catch (const std::exception& failure) {
    // Magick::Exception (damaged or unreadable data) and std::bad_alloc alike.
    Say(error, path + ": " + failure.what());
    return std::nullopt;
  }
}

bool SaveBitmapFile(const ImageView& image, const std::string& path, std::string* error) {
  return SavePictureFile(image, path, PictureFormat::Bmp, error);
}

}  // namespace asmpic::platform
