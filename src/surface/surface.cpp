// Surface creation and the two whole-buffer stores; see surface.h.
#include "surface/surface.h"

#include <algorithm>
#include <cstring>

namespace tarvola {

void Surface::create(int32_t newWidth, int32_t newHeight) {
  width = newWidth;
  height = newHeight;
  pixels.assign(pixelCount(), 0u);
}

void Surface::clear() {
  if (!pixels.empty()) std::memset(pixels.data(), 0, walkCount() * sizeof(uint32_t));
}

void Surface::fill(uint32_t colour) { std::fill_n(pixels.begin(), walkCount(), colour); }

}  // namespace tarvola
