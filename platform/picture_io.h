#pragma once
// Reading picture files into images and writing images as bitmap (BMP) files.
#include <optional>
#include <string>

#include "platform/image.h"

namespace asmpic::platform {

// The largest picture a file may describe; anything larger is refused before it is decoded.
inline constexpr long long kMaxPicturePixels = 64LL * 1024 * 1024;

// Loads a picture file in any format we support. On failure returns nothing and says why.
std::optional<Image> LoadPictureFile(const std::string& path, std::string* error = nullptr);

// Saves the image as a 24-bit BMP file, replacing any file of that name.
bool SaveBitmapFile(const ImageView& image, const std::string& path, std::string* error = nullptr);

}  // namespace asmpic::platform
