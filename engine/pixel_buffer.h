#pragma once
// The engine's pixel buffer: one zero-filled block of three planes of W x H pixels, 4 bytes a
// pixel (blue, green, red, fourth), rows bottom first, no padding.
//   plane 1  the source picture, as read from the box at binding
//   plane 2  the working picture, written by the effects and drawn
//   plane 3  the undo copy, also the input of the effects that read a separate source
#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>

namespace asmpic {

class PixelBuffer {
 public:
  // The most pixels one plane may hold; larger boxes cannot be bound.
  static constexpr std::int64_t kMaxPlanePixels = 1LL << 28;

  PixelBuffer() = default;

  // Replaces the buffer with a zero-filled one for width x height pixels. False when that many
  // pixels are refused or cannot be allocated; the buffer is then empty.
  bool Allocate(int width, int height);
  void Release();

  std::size_t planeBytes() const { return planeBytes_; }

  // Plane k (1, 2 or 3).
  std::span<std::uint8_t> plane(int k);
  std::span<const std::uint8_t> plane(int k) const;
  // All three planes as they lie in memory.
  std::span<const std::uint8_t> all() const;
  // Plane k that keeps the whole buffer alive for as long as it is held, even past Release or
  // Allocate (a picture box that draws it later holds it so); null when there is no buffer.
  std::shared_ptr<const std::uint8_t> sharedPlane(int k) const;
  std::uint8_t* data() { return data_.get(); }

  // Copies plane `from` over plane `to` in one block move.
  void CopyPlane(int from, int to);

 private:
  std::shared_ptr<std::uint8_t[]> data_;
  std::size_t planeBytes_ = 0;
};

}  // namespace asmpic
