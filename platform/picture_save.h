#pragma once
// Saving what a picture box shows in the format its file name asks for: BMP (the bitmap file the
// engine's save dialog writes), PNG or JPEG.
#include <iosfwd>
#include <optional>
#include <string>

#include "platform/image.h"

namespace asmpic::platform {

enum class PictureFormat { Bmp, Png, Jpeg };

// The format that the name's extension gives: .bmp, .png, .jpg or .jpeg, in any case; nothing
// for any other name.
std::optional<PictureFormat> PictureFormatOf(const std::string& path);

// Writes the picture (opaque, 24-bit colour) to `out` in `format`; false with a reason when the
// encoder or the stream fails.
bool WritePicture(const ImageView& image, PictureFormat format, std::ostream& out,
                  std::string* error = nullptr);

// Saves the picture as a file in `format`, through a temporary file that replaces the old one only
// once complete; a failed save leaves the old file as it was. A path that is no regular file (a
// pipe, a device, "-" for standard output) is written straight through.
bool SavePictureFile(const ImageView& image, const std::string& path, PictureFormat format,
                     std::string* error = nullptr);

}  // namespace asmpic::platform
