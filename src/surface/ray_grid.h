// Block-interpolated ray grid: the textured, bump-mapped, distance-darkened inside of a
// cylinder of radius 128 about the z axis. Rays are cast only at the corners of 8x8 blocks;
// the blocks are filled by 16.16 bilinear interpolation of the corner nodes.
#pragma once

#include <cstdint>
#include <vector>

#include "engine3d/math3d.h"
#include "surface/surface.h"

namespace tarvola {

// What one cast ray yields: wall texture coordinates (u along the axis, v the angle, 0..511,
// both whole numbers), environment coordinates and a brightness 0..255.
struct GridNode {
  float u = 0;
  float v = 0;
  float envU = 0;  // u * 0.5 - scrollU
  float envV = 0;  // v * 0.5 - scrollV
  int32_t shade = 0;
};

// Texels the block filler may read: the tunnel texture's height lookups reach one row past a
// 256x256 image (the spare storage of a loaded picture); the environment map stays inside it.
inline constexpr size_t kTunnelTextureTexels = 256 * 256 + 256;
inline constexpr size_t kEnvironmentTexels = 256 * 256;

// One pixel of a block, written plainly: each of the four bytes min(255, t + e); the three
// colour bytes then (byte * shade) >> 8, the top byte left as the sum. The reference.
inline uint32_t combineTexelsPlain(uint32_t texel, uint32_t envTexel, int32_t shade) {
  uint32_t pixel = 0;
  for (int byte = 0; byte < 4; ++byte) {
    uint32_t sum = ((texel >> (8 * byte)) & 0xFF) + ((envTexel >> (8 * byte)) & 0xFF);
    if (sum > 255) sum = 255;
    const uint32_t result = byte == 3 ? sum : uint32_t((int32_t(sum) * shade) >> 8) & 0xFF;
    pixel |= result << (8 * byte);
  }
  return pixel;
}

// The same pixel for shade 0..255, two bytes at a time in 16-bit lanes of a 32-bit word (blue
// with red, green with the top byte): a lane sum of 256..510 saturates to 255, and a product
// of two bytes fits its lane.
inline uint32_t combineTexels(uint32_t texel, uint32_t envTexel, uint32_t shade) {
  uint32_t blueRed = (texel & 0x00FF00FFu) + (envTexel & 0x00FF00FFu);
  uint32_t greenTop = ((texel >> 8) & 0x00FF00FFu) + ((envTexel >> 8) & 0x00FF00FFu);
  blueRed = (blueRed | ((blueRed >> 8) & 0x00010001u) * 0xFFu) & 0x00FF00FFu;
  greenTop = (greenTop | ((greenTop >> 8) & 0x00010001u) * 0xFFu) & 0x00FF00FFu;
  return ((blueRed * shade) >> 8 & 0x00FF00FFu) | (((greenTop & 0xFFu) * shade) & 0xFF00u) |
         (greenTop & 0x00FF0000u) << 8;
}

struct RayGrid {
  int32_t columns = 0;  // width / 8 + 1
  int32_t rows = 0;     // height / 8 + 1
  std::vector<GridNode> nodes;  // node (c, r) at r * columns + c belongs to screen point (8c, 8r)
  float scrollU = 0;
  float scrollV = 0;
  Vec3 position;
  Vec3 angles;  // degrees
  Matrix4 rotation;
  // Read in place of a texture too small to sample: every texel and height 0.
  Surface blackTexture;

  // Sizes and zeroes the node array (allocated once here), scroll 0, rotation the identity.
  void init(int32_t width, int32_t height);
  void setCamera(Vec3 newPosition, Vec3 newAngles);

  // The ray through screen point (x, y): centre (160, 120), image plane at 256, y downward.
  // It meets the wall behind the camera (the smaller root); a ray that misses, or runs along
  // the axis, gives (128, 128, 128, 128, 0). The angle is folded: theta and -theta give one v.
  GridNode castRay(int32_t x, int32_t y) const;

  // Writes the 8x8 pixels at (x0, y0) by 16.16 interpolation of the corner nodes: left and
  // right edges stepped down by (bottom - top) >> 3, each row stepped across by
  // (right - left) >> 3, all shifts arithmetic and all sums wrapping in 32 bits.
  // Per pixel: texel T of texture at (V >> 16 & 255, U >> 16 & 255), environment texel
  // displaced by the height slopes (top bytes of the texels right of and below T, minus T's),
  // the four bytes added with saturation, the colour bytes times (S >> 16) >> 8.
  // Requires texture to hold kTunnelTextureTexels, environment kEnvironmentTexels and the
  // block to lie inside target.
  static void fillBlock(Surface& target, const Surface& texture, const Surface& environment, int32_t x0,
                        int32_t y0, const GridNode& topLeft, const GridNode& topRight,
                        const GridNode& bottomLeft, const GridNode& bottomRight);

  // Casts every node, then fills every block that lies wholly inside target (all of a 320x240
  // target), row by row. A texture too small to sample reads as black.
  void render(Surface& target, const Surface& texture, const Surface& environment);
};

}  // namespace tarvola
