// The process-wide depth buffer; see depth_buffer.h.
#include "raster/depth_buffer.h"

#include <cstring>

namespace tarvola {

DepthBuffer depthBuffer;

void createDepthBuffer(int32_t width, int32_t height) {
  depthBuffer.width = width;
  depthBuffer.height = height;
  const size_t count = width > 0 && height > 0 ? size_t(width) * size_t(height) : 0;
  depthBuffer.keys.assign(count, 0);
}

void clearDepthBuffer() {
  if (!depthBuffer.keys.empty()) {
    std::memset(depthBuffer.keys.data(), 0, depthBuffer.keys.size() * sizeof(int32_t));
  }
}

}  // namespace tarvola
