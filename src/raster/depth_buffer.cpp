// The depth buffer's allocation and clear; see depth_buffer.h.
#include "raster/depth_buffer.h"

#include <cstring>

namespace tarvola {

void DepthBuffer::create(int32_t newWidth, int32_t newHeight) {
  width = newWidth;
  height = newHeight;
  const size_t count = width > 0 && height > 0 ? size_t(width) * size_t(height) : 0;
  keys.assign(count, 0);
}

void DepthBuffer::clear() {
  if (!keys.empty()) std::memset(keys.data(), 0, keys.size() * sizeof(int32_t));
}

}  // namespace tarvola
