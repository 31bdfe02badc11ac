// Pictures of the scenes that failed to load, or are smaller than what a scene reads from them,
// are replaced at init by a black picture of the size that use needs, laid out as the TGA
// loader leaves a picture (a buffer of four times the image, every top byte 255). The loader
// has already told the user; the frame code then never reads outside a buffer.
#pragma once

#include <cstddef>
#include <cstdint>

#include "surface/surface.h"

namespace tarvola {

// Pixels a scene reads from its pictures.
inline constexpr size_t kTextureTexels = 256 * 256;                             // a 256 x 256 texture, wrapped
inline constexpr size_t kScreenPicture = size_t(kScreenWidth) * kScreenHeight;  // a full-screen picture
inline constexpr size_t kPlasmaWindowRead = 478 * 640 + 631;  // two 320 x 240 windows of a 640-wide picture

// Makes picture a black width x height picture unless it already holds pixelsRead pixels.
// Returns true when it had to be replaced.
bool requirePicture(Surface& picture, int32_t width, int32_t height, size_t pixelsRead);

}  // namespace tarvola
