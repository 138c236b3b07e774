// The transfers between a box's persistent image (top row first) and a bottom-up plane, and the
// repaint of a persistent image from a picture.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "platform/paint_picture.h"
#include "platform/plane_transfer.h"

namespace asmpic::platform {
namespace {

std::uint32_t PlanePixel(const std::vector<std::uint8_t>& plane, int width, int x, int y) {
  std::uint32_t p;
  std::memcpy(&p, &plane[4 * (static_cast<std::size_t>(y) * width + x)], 4);
  return p;
}

Image Numbered(int width, int height) {
  Image image(width, height);
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x)
      image.at(x, y) = 0xFF000000u | static_cast<std::uint32_t>(y * 256 + x + 1);
  return image;
}

TEST(PlaneTransfer, ReadTurnsRowsBottomFirstAndClearsTheFourthByte) {
  Image image = Numbered(3, 4);
  std::vector<std::uint8_t> plane(3 * 4 * 4, 0xAA);
  ASSERT_TRUE(ReadImageIntoPlane(image.view(), plane.data(), 3, 4));
  for (int y = 0; y < 4; ++y)
    for (int x = 0; x < 3; ++x)
      EXPECT_EQ(PlanePixel(plane, 3, x, y), image.at(x, 3 - y) & 0xFFFFFFu) << x << "," << y;
}

TEST(PlaneTransfer, DrawIsTheInverseOfReadWithAnOpaqueFourthByte) {
  Image image = Numbered(5, 2);
  std::vector<std::uint8_t> plane(5 * 2 * 4);
  ASSERT_TRUE(ReadImageIntoPlane(image.view(), plane.data(), 5, 2));
  Image drawn(5, 2, 0);
  ASSERT_TRUE(DrawPlaneIntoImage(plane.data(), 5, 2, drawn.view()));
  EXPECT_EQ(drawn.pixels, image.pixels);
}

TEST(PlaneTransfer, SizesThatDisagreeAreClippedNotOverrun) {
  Image small = Numbered(2, 2);
  std::vector<std::uint8_t> plane(4 * 3 * 4, 0x11);
  ASSERT_TRUE(ReadImageIntoPlane(small.view(), plane.data(), 4, 3));
  // Plane row 2 (the top row) reads image row 0; the rest of the plane keeps its bytes.
  EXPECT_EQ(PlanePixel(plane, 4, 0, 2), small.at(0, 0) & 0xFFFFFFu);
  EXPECT_EQ(PlanePixel(plane, 4, 3, 2), 0x11111111u);
  EXPECT_EQ(PlanePixel(plane, 4, 0, 0), 0x11111111u);

  Image target(2, 2, 0);
  ASSERT_TRUE(DrawPlaneIntoImage(plane.data(), 4, 3, target.view()));
  EXPECT_EQ(target.at(0, 0), 0xFF000000u | PlanePixel(plane, 4, 0, 2));
}

TEST(PlaneTransfer, ANullImageReportsFailure) {
  std::vector<std::uint8_t> plane(16);
  EXPECT_FALSE(ReadImageIntoPlane(ImageView{}, plane.data(), 2, 2));
  EXPECT_FALSE(DrawPlaneIntoImage(plane.data(), 2, 2, ImageView{}));
}

TEST(PaintPicture, BackgroundAroundThePictureAndTransparencyShowsIt) {
  Image target(4, 3, 0);
  Image picture(2, 2, 0xFF102030u);
  picture.at(1, 1) = 0x00FFFFFFu;                     // fully transparent
  picture.at(0, 1) = 0x80FF0000u;                     // half red over the background
  PaintPicture(target.view(), 0x00FF0000, &picture);  // blue background
  const std::uint32_t blue = PixelFromColour(0x00FF0000);
  EXPECT_EQ(blue, 0xFF0000FFu);
  EXPECT_EQ(target.at(0, 0), 0xFF102030u);
  EXPECT_EQ(target.at(1, 1), blue);
  EXPECT_EQ(target.at(3, 2), blue);
  EXPECT_EQ(target.at(0, 1), 0xFF80007Fu);
  PaintPicture(target.view(), 0x000000FF, nullptr);
  EXPECT_EQ(target.at(0, 0), 0xFFFF0000u);
}

}  // namespace
}  // namespace asmpic::platform
