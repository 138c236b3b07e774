#pragma once
// The picture loader's own readers and the way they fail. Not part of the platform's interface:
// only picture_io.cpp and its readers include this.
#include <stdexcept>
#include <string>
#include <string_view>

#include "platform/image.h"

namespace asmpic::platform::detail {

// What is wrong with a file, in words for the person who chose it.
inline constexpr const char* kNotAPicture = "not a picture file";
inline constexpr const char* kCutShort = "the file is cut short";
inline constexpr const char* kDamaged = "the file is damaged";
inline constexpr const char* kNoPicture = "the file holds no picture";
inline constexpr const char* kNoMemory = "there is not enough memory to load the picture";
inline constexpr const char* kUnsupported = "the picture is of a kind we cannot read";

// The picture is too large: W × H.
std::string TooLarge(unsigned long long width, unsigned long long height);

// True when a picture of this size fits the program's limit.
bool WithinLimit(unsigned long long width, unsigned long long height);

// A file that cannot be read as a picture: `what()` is the plain reason, `detail()` the
// decoder's own account of it (empty when there is nothing to add).
class PictureFault : public std::runtime_error {
 public:
  PictureFault(const std::string& reason, std::string detail)
      : std::runtime_error(reason), detail_(std::move(detail)) {}
  const std::string& detail() const { return detail_; }

 private:
  std::string detail_;
};

// JPEG and PNG are decoded straight into the picture's own pixels, so that a large photograph
// needs little more memory than the picture itself. Pixels are opaque unless the file carries
// transparency (a PNG's alpha channel or transparent colour). Both throw PictureFault or
// std::bad_alloc.
Image ReadJpeg(std::string_view bytes);
Image ReadPng(std::string_view bytes);

}  // namespace asmpic::platform::detail
