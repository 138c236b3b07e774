#pragma once
// Control colours (0x00BBGGRR, red in the low byte) to and from Qt's colours.
#include <QColor>

#include "platform/image.h"

namespace asmpic::platform {

inline QColor ToQColor(Colour colour) {
  const auto c = static_cast<std::uint32_t>(colour);
  return QColor(static_cast<int>(c & 0xFFu), static_cast<int>((c >> 8) & 0xFFu),
                static_cast<int>((c >> 16) & 0xFFu));
}

inline Colour FromQColor(const QColor& colour) {
  const QColor rgb = colour.toRgb();
  return static_cast<Colour>(static_cast<std::uint32_t>(rgb.red()) |
                             (static_cast<std::uint32_t>(rgb.green()) << 8) |
                             (static_cast<std::uint32_t>(rgb.blue()) << 16));
}

}  // namespace asmpic::platform
