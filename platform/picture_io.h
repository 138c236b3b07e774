#pragma once
// Reading picture files into images and writing images as bitmap (BMP) files.
#include <optional>
#include <string>

#include "platform/image.h"

namespace asmpic::platform {

// The largest picture a file may describe; anything larger is refused before it is decoded.
inline constexpr long long kMaxPicturePixels = 64LL * 1024 * 1024;

// Loads a picture file: BMP, GIF (its first frame), JPEG, ICO, CUR (their first image), WMF
// (drawn at 96 dots per inch) or PNG, recognised by content, not by name. A file that is missing,
// damaged, cut short or too large gives nothing; `error` then says why in plain words ("PATH: the
// file is cut short") and `detail` holds the decoder's own account, for those who ask for it
// (empty when there is none). Pictures with transparency (icons, cursors, GIF, PNG, bitmaps whose
// header declares an alpha mask) keep their alpha; every other picture is opaque.
std::optional<Image> LoadPictureFile(const std::string& path, std::string* error = nullptr,
                                     std::string* detail = nullptr);

// Saves the image as a 24-bit BMP file, replacing any file of that name once the new one is
// complete; a save that fails leaves the old file as it was.
bool SaveBitmapFile(const ImageView& image, const std::string& path, std::string* error = nullptr);

}  // namespace asmpic::platform
