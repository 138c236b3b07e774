#pragma once
// 32-bit pictures as the window system holds them: rows top first, each pixel one 32-bit word
// 0xAARRGGBB, so in memory its bytes are blue, green, red, fourth. This is the layout of
// QImage::Format_RGB32 and, row order aside, of the engine's pixel planes.
#include <bit>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace asmpic::platform {

static_assert(std::endian::native == std::endian::little,
              "pixel words and the engine's byte planes share one layout only on little-endian hosts");

// Colours as controls hold them: 0x00BBGGRR (red in the low byte).
using Colour = std::int32_t;

// The pixel word that shows `colour`, with the fourth byte opaque.
constexpr std::uint32_t PixelFromColour(Colour colour) {
  const auto c = static_cast<std::uint32_t>(colour);
  return 0xFF000000u | ((c & 0xFFu) << 16) | (c & 0xFF00u) | ((c >> 16) & 0xFFu);
}

// A view of pixels owned elsewhere (a widget's persistent image, an Image).
struct ImageView {
  std::uint8_t* bits = nullptr;
  int width = 0;
  int height = 0;
  std::ptrdiff_t bytesPerLine = 0;

  bool isNull() const { return bits == nullptr || width <= 0 || height <= 0; }
  std::uint32_t* row(int y) const { return reinterpret_cast<std::uint32_t*>(bits + y * bytesPerLine); }
};

// A picture owned in memory.
struct Image {
  int width = 0;
  int height = 0;
  std::vector<std::uint32_t> pixels;  // width * height words, top row first

  Image() = default;
  Image(int w, int h, std::uint32_t fill = 0xFF000000u)
      : width(w), height(h), pixels(static_cast<std::size_t>(w) * static_cast<std::size_t>(h), fill) {}

  bool isNull() const { return width <= 0 || height <= 0; }
  std::uint32_t& at(int x, int y) { return pixels[static_cast<std::size_t>(y) * width + x]; }
  std::uint32_t at(int x, int y) const { return pixels[static_cast<std::size_t>(y) * width + x]; }
  ImageView view() {
    return {reinterpret_cast<std::uint8_t*>(pixels.data()), width, height,
            static_cast<std::ptrdiff_t>(width) * 4};
  }
};

}  // namespace asmpic::platform
