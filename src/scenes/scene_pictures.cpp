// Black stand-ins for missing or undersized pictures; see scene_pictures.h.
#include "scenes/scene_pictures.h"

namespace tarvola {

bool requirePicture(Surface& picture, int32_t width, int32_t height, size_t pixelsRead) {
  if (picture.pixels.size() >= pixelsRead && picture.width > 0 && picture.height > 0) return false;
  picture.width = width;
  picture.height = height;
  picture.pixels.assign(4 * size_t(width) * size_t(height), 0xFF000000u);
  return true;
}

}  // namespace tarvola
