#include "platform/picture_io.h"

#include <Magick++.h>

#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <optional>
#include <string_view>

#include "platform/picture_readers.h"
#include "platform/picture_save.h"

namespace asmpic::platform {

namespace detail {

std::string TooLarge(unsigned long long width, unsigned long long height) {
  return "the picture is too large: " + std::to_string(width) + " \u00D7 " + std::to_string(height);
}

bool WithinLimit(unsigned long long width, unsigned long long height) {
  const auto limit = static_cast<unsigned long long>(kMaxPicturePixels);
  return width > 0 && height > 0 && width <= limit && height <= limit / width;
}

}  // namespace detail

namespace {

using detail::PictureFault;

// Metafiles give their size in inches; they are drawn at 96 dots per inch, the screen's
// resolution at 15 twips per pixel.
constexpr std::size_t kMetafileDotsPerInch = 96;

// No picture we accept needs more than eight bytes a pixel in its file (a PNG of 16-bit colour
// and alpha, stored), plus its headers; a larger file is refused before it is read.
constexpr std::uintmax_t kMaxFileBytes = 8 * static_cast<std::uintmax_t>(kMaxPicturePixels) + (1u << 20);

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

std::string ReadWholeFile(const std::string& path) {
  std::error_code failure;
  const auto status = std::filesystem::status(path, failure);
  if (status.type() == std::filesystem::file_type::not_found) {
    throw PictureFault("there is no such file", failure.message());
  }
  const auto unreadable = [](const std::string& reason) {
    return PictureFault("the file cannot be read: " + reason, reason);
  };
  if (failure) throw unreadable(failure.message());
  if (!std::filesystem::is_regular_file(status)) throw PictureFault("not a file", {});
  const std::uintmax_t size = std::filesystem::file_size(path, failure);
  if (failure) throw unreadable(failure.message());
  if (size == 0) throw PictureFault("the file is empty", {});
  if (size > kMaxFileBytes) throw PictureFault("the file is too large for a picture we can hold", {});
  std::string bytes(size, '\0');
  std::ifstream in(path, std::ios::binary);
  if (!in) throw unreadable(std::strerror(errno));
  if (!in.read(bytes.data(), static_cast<std::streamsize>(size)) ||
      in.gcount() != static_cast<std::streamsize>(size)) {
    throw unreadable(std::strerror(errno));
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

bool Mentions(std::string_view text, std::initializer_list<std::string_view> phrases) {
  std::string lower(text);
  std::transform(lower.begin(), lower.end(), lower.begin(), [](unsigned char c) { return std::tolower(c); });
  return std::any_of(phrases.begin(), phrases.end(),
                     [&](std::string_view phrase) { return lower.find(phrase) != std::string::npos; });
}

// The library's account of a failure, put in plain words. Its own text, without the program's
// name in front, stays as the detail.
PictureFault Explained(const Magick::Exception& failure) {
  std::string text = failure.what();
  if (const auto colon = text.find(": "); colon != std::string::npos && text.find(' ') > colon) {
    text.erase(0, colon + 2);
  }
  if (Mentions(text, {"end-of-file", "end of file", "insufficient image data", "not enough pixel data",
                      "premature end", "truncated"})) {
    return {detail::kCutShort, text};
  }
  // The pixel cache outgrows the system's resource policy. (A "memory allocation failed" comes
  // from sizes in a damaged header far more often than from a lack of memory.)
  if (Mentions(text, {"cache resources exhausted", "resource limit", "exceeds limit"})) {
    return {detail::kNoMemory, text};
  }
  if (Mentions(text, {"unsupported", "not supported", "no decode delegate"}))
    return {detail::kUnsupported, text};
  return {detail::kDamaged, text};
}

// The library reports damaged data either as an error or as a "corrupt image" warning (a GIF that
// ends early, for instance); both mean the file cannot be read. Other warnings (a colour profile
// it dislikes) leave a good picture behind and are let pass.
template <typename Step>
void Strictly(Step&& step) {
  try {
    step();
  } catch (const Magick::WarningCorruptImage& failure) {
    throw Explained(failure);
  } catch (const Magick::Warning&) {
  } catch (const Magick::Exception& failure) {
    throw Explained(failure);
  }
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

std::uint32_t Word(std::string_view bytes, std::size_t at) {
  if (at + 4 > bytes.size()) return 0;
  std::uint32_t word = 0;
  for (int i = 3; i >= 0; --i) word = word << 8 | static_cast<unsigned char>(bytes[at + i]);
  return word;
}

// Whether a bitmap's header declares an alpha mask: bit fields (compression 3, or 6 with the
// alpha mask after a 40-byte header) whose alpha mask is not zero. Any other bitmap is opaque,
// whatever its unused fourth bytes hold.
bool BitmapDeclaresAlpha(std::string_view bytes) {
  constexpr std::size_t kInfo = 14;
  const std::uint32_t headerSize = Word(bytes, kInfo);
  if (headerSize < 40) return false;  // OS/2 1.x: no compression field, no masks
  const std::uint32_t compression = Word(bytes, kInfo + 16);
  if (compression != 3 && compression != 6) return false;
  // The alpha mask follows red, green and blue: inside headers of 56 bytes and more, else after
  // the 40-byte header.
  return Word(bytes, kInfo + 40 + 12) != 0;
}

std::uint16_t HalfWord(std::string_view bytes, std::size_t at) {
  if (at + 2 > bytes.size()) return 0;
  return static_cast<std::uint16_t>(static_cast<unsigned char>(bytes[at]) |
                                    static_cast<unsigned char>(bytes[at + 1]) << 8);
}

void MakeOpaque(Image& image) {
  for (std::uint32_t& p : image.pixels) p |= 0xFF000000u;
}

// An icon or cursor whose 32-bit image has alpha zero everywhere was written by a program that
// knew only the AND mask: the mask says what shows (bit set: transparent). Without a mask that we
// can find whole, the image is opaque. A PNG image's alpha stands as it is. Only the first image
// of the file is ever decoded.
void ApplyIconMask(std::string_view bytes, Image& image) {
  const std::size_t offset = Word(bytes, 6 + 12);  // of the first directory entry's image
  if (bytes.substr(offset < bytes.size() ? offset : bytes.size(), 4) == "\x89PNG") return;
  const std::uint32_t headerSize = Word(bytes, offset);
  const auto width = static_cast<std::int32_t>(Word(bytes, offset + 4));
  const auto height = static_cast<std::int32_t>(Word(bytes, offset + 8));
  const std::size_t colours = Word(bytes, offset + 32);
  if (offset == 0 || headerSize < 40 || HalfWord(bytes, offset + 14) != 32 || width != image.width ||
      height != 2 * image.height || colours > 256) {
    MakeOpaque(image);
    return;
  }
  const std::size_t maskStart = offset + headerSize + 4 * colours + std::size_t{4} * width * image.height;
  const std::size_t maskRow = (static_cast<std::size_t>(width) + 31) / 32 * 4;
  if (maskStart + maskRow * image.height > bytes.size()) {
    MakeOpaque(image);
    return;
  }
  for (int y = 0; y < image.height; ++y) {
    const std::size_t row = maskStart + maskRow * (image.height - 1 - y);  // bottom row first
    for (int x = 0; x < image.width; ++x) {
      const bool clear = (static_cast<unsigned char>(bytes[row + x / 8]) >> (7 - x % 8)) & 1;
      if (!clear) image.at(x, y) |= 0xFF000000u;
    }
  }
}

bool AllClear(const Image& image) {
  return std::all_of(image.pixels.begin(), image.pixels.end(),
                     [](std::uint32_t p) { return (p >> 24) == 0; });
}

// The metafile library prints its complaints straight to standard error ("ERROR: player.c (514):
// Unexpected EOF!"). While a metafile is decoded, standard error goes to a temporary file: when
// the file is refused, what was said there joins the detail; otherwise it is passed on unchanged.
class CapturedStandardError {
 public:
  CapturedStandardError() {
    std::fflush(stderr);
    file_ = std::tmpfile();
    if (file_ == nullptr) return;
    saved_ = ::dup(STDERR_FILENO);
    if (saved_ < 0 || ::dup2(::fileno(file_), STDERR_FILENO) < 0) Restore();
  }
  CapturedStandardError(const CapturedStandardError&) = delete;
  CapturedStandardError& operator=(const CapturedStandardError&) = delete;
  ~CapturedStandardError() {
    const std::string said = Release();
    if (!said.empty()) std::fputs(said.c_str(), stderr);
  }

  // Standard error as it was, and what was written to it meanwhile.
  std::string Release() {
    if (file_ == nullptr) return {};
    std::fflush(stderr);
    Restore();
    std::string said;
    std::rewind(file_);
    char chunk[512];
    for (std::size_t n; (n = std::fread(chunk, 1, sizeof chunk, file_)) > 0;) said.append(chunk, n);
    std::fclose(file_);
    file_ = nullptr;
    return said;
  }

 private:
  void Restore() {
    if (saved_ >= 0) {
      ::dup2(saved_, STDERR_FILENO);
      ::close(saved_);
      saved_ = -1;
    }
  }

  std::FILE* file_ = nullptr;
  int saved_ = -1;
};

Image DecodeWithMagick(const char* decoder, const std::string& bytes) {
  StartDecoders();
  const Magick::Blob blob(bytes.data(), bytes.size());
  const bool bitmap = std::strcmp(decoder, "BMP") == 0;

  // A GIF's logical screen is the picture we show; the library would try to allocate it first.
  if (std::strcmp(decoder, "GIF") == 0 && bytes.size() >= 10) {
    const auto width = static_cast<unsigned char>(bytes[6]) | static_cast<unsigned char>(bytes[7]) << 8;
    const auto height = static_cast<unsigned char>(bytes[8]) | static_cast<unsigned char>(bytes[9]) << 8;
    if (width != 0 && height != 0 && !detail::WithinLimit(width, height)) {
      throw PictureFault(detail::TooLarge(width, height), {});
    }
  }

  // Learn the size from the headers alone (for a metafile: its extent at our resolution) and
  // refuse what we will not hold before any pixel is decoded.
  Magick::Image probe = Configured(decoder);
  Magick::Image picture = Configured(decoder);
  // Standard error belongs to the whole process: one metafile at a time keeps it aside.
  static std::mutex metafileLock;
  std::unique_lock<std::mutex> oneMetafile(metafileLock, std::defer_lock);
  std::optional<CapturedStandardError> metafileMessages;
  if (std::strcmp(decoder, "WMF") == 0) {
    oneMetafile.lock();
    metafileMessages.emplace();
  }
  try {
    Strictly([&] { probe.ping(blob); });
    if (probe.columns() == 0 || probe.rows() == 0) throw PictureFault(detail::kNoPicture, {});
    const Magick::Geometry page = probe.page();
    if (!detail::WithinLimit(probe.columns(), probe.rows())) {
      throw PictureFault(detail::TooLarge(probe.columns(), probe.rows()), {});
    }
    if (page.width() != 0 && page.height() != 0 && !detail::WithinLimit(page.width(), page.height())) {
      throw PictureFault(detail::TooLarge(page.width(), page.height()), {});
    }
    Strictly([&] { picture.read(blob); });
  } catch (const PictureFault& refusal) {
    std::string said = metafileMessages ? metafileMessages->Release() : std::string();
    while (!said.empty() && said.back() == '\n') said.pop_back();
    const PictureFault fault(refusal.what(),
                             said.empty() ? refusal.detail() : refusal.detail() + "\n" + said);
    // A bitmap shorter than the size its file header gives was cut short, whatever the library
    // made of the missing part.
    if (bitmap && bytes.size() >= 6 && Word(bytes, 2) > bytes.size() &&
        fault.what() == std::string(detail::kDamaged)) {
      throw PictureFault(detail::kCutShort, fault.detail());
    }
    // The library holds a picture in twice the memory we do, and the system's policy for it
    // may be smaller than the picture it read the size of.
    if (fault.what() == std::string(detail::kNoMemory) && probe.columns() != 0) {
      throw PictureFault("the picture is too large for the memory this system allows: " +
                             std::to_string(probe.columns()) + " \u00D7 " + std::to_string(probe.rows()),
                         fault.detail());
    }
    throw fault;
  }
  metafileMessages.reset();
  if (std::strcmp(decoder, "GIF") == 0) PlaceOnScreen(picture);
  if (picture.colorSpace() == Magick::CMYKColorspace) picture.colorSpace(Magick::sRGBColorspace);
  if (!detail::WithinLimit(picture.columns(), picture.rows())) {
    throw PictureFault(detail::TooLarge(picture.columns(), picture.rows()), {});
  }

  // Blue, green, red, alpha bytes are the 0xAARRGGBB words of an Image on a little-endian host.
  Image image(static_cast<int>(picture.columns()), static_cast<int>(picture.rows()));
  picture.write(0, 0, picture.columns(), picture.rows(), "BGRA", Magick::CharPixel, image.pixels.data());
  // Alpha only where the picture has it: the library leaves the alpha of other pictures (every
  // paletted bitmap, for one) as the memory held it. A bitmap has it only when its header
  // declares an alpha mask, and one whose alpha is zero everywhere was never meant to be
  // invisible: it is drawn opaque.
  if (!picture.matte() || (bitmap && (!BitmapDeclaresAlpha(bytes) || AllClear(image)))) {
    MakeOpaque(image);
  } else if ((std::strcmp(decoder, "ICO") == 0 || std::strcmp(decoder, "CUR") == 0) && AllClear(image)) {
    ApplyIconMask(bytes, image);
  }
  return image;
}

Image Decode(const std::string& bytes) {
  const char* decoder = DecoderFor(bytes);
  if (decoder == nullptr) throw PictureFault(detail::kNotAPicture, {});
  if (std::strcmp(decoder, "JPEG") == 0) return detail::ReadJpeg(bytes);
  if (std::strcmp(decoder, "PNG") == 0) return detail::ReadPng(bytes);
  return DecodeWithMagick(decoder, bytes);
}

void Say(std::string* error, const std::string& text) {
  if (error != nullptr) *error = text;
}

}  // namespace

std::optional<Image> LoadPictureFile(const std::string& path, std::string* error, std::string* detail) {
  Say(detail, {});
  try {
    return Decode(ReadWholeFile(path));
  } catch (const PictureFault& fault) {
    Say(error, path + ": " + fault.what());
    Say(detail, fault.detail());
  } catch (const std::bad_alloc& failure) {
    Say(error, path + ": " + detail::kNoMemory);
    Say(detail, failure.what());
  } catch (const Magick::Exception& failure) {
    const PictureFault fault = Explained(failure);
    Say(error, path + ": " + fault.what());
    Say(detail, fault.detail());
  } catch (const std::exception& failure) {
    Say(error, path + ": " + detail::kDamaged);
    Say(detail, failure.what());
  }
  return std::nullopt;
}

bool SaveBitmapFile(const ImageView& image, const std::string& path, std::string* error) {
  return SavePictureFile(image, path, PictureFormat::Bmp, error);
}

}  // namespace asmpic::platform
