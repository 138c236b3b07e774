#include "platform/picture_box.h"

#include "platform/plane_transfer.h"

namespace asmpic::platform {

bool PictureBox::ShowPlane(std::shared_ptr<const std::uint8_t> plane, int width, int height) {
  const ImageView image = PersistentImage();
  const bool coversImage = !image.isNull() && width >= image.width && height >= image.height;
  if (Picture() != nullptr || !coversImage) SetPicture(nullptr);
  return DrawPlaneIntoImage(plane.get(), width, height, PersistentImage());
}

}  // namespace asmpic::platform
