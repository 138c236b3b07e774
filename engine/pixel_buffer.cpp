#include "engine/pixel_buffer.h"

#include <cstring>
#include <new>
#include <utility>

namespace asmpic {

bool PixelBuffer::Allocate(int width, int height) {
  Release();
  if (width < 0 || height < 0) return false;
  const std::int64_t pixels = static_cast<std::int64_t>(width) * height;
  if (pixels > kMaxPlanePixels) return false;
  const auto planeBytes = static_cast<std::size_t>(pixels) * 4;
  if (planeBytes > 0) {
    std::unique_ptr<std::uint8_t[]> block(new (std::nothrow) std::uint8_t[3 * planeBytes]());
    if (!block) return false;
    try {
      data_ = std::move(block);
    } catch (const std::bad_alloc&) {
      return false;  // no room for the owner count either
    }
  }
  planeBytes_ = planeBytes;
  return true;
}

void PixelBuffer::Release() {
  data_.reset();
  planeBytes_ = 0;
}

std::span<std::uint8_t> PixelBuffer::plane(int k) {
  if (!data_ || k < 1 || k > 3) return {};
  return {data_.get() + (k - 1) * planeBytes_, planeBytes_};
}

std::span<const std::uint8_t> PixelBuffer::plane(int k) const {
  if (!data_ || k < 1 || k > 3) return {};
  return {data_.get() + (k - 1) * planeBytes_, planeBytes_};
}

std::span<const std::uint8_t> PixelBuffer::all() const {
  if (!data_) return {};
  return {data_.get(), 3 * planeBytes_};
}

std::shared_ptr<const std::uint8_t> PixelBuffer::sharedPlane(int k) const {
  if (!data_ || k < 1 || k > 3) return {};
  return {data_, data_.get() + (k - 1) * planeBytes_};
}

void PixelBuffer::CopyPlane(int from, int to) {
  const auto source = plane(from);
  const auto target = plane(to);
  if (source.empty() || target.empty()) return;
  std::memcpy(target.data(), source.data(), planeBytes_);
}

}  // namespace asmpic
