// Block-interpolated ray grid: the textured, bump-mapped, distance-darkened inside of a
// cylinder of radius 128 about the z axis. Rays are cast only at the corners of 8x8 blocks;
// the blocks are filled by 16.16 bilinear interpolation of the corner nodes.
#pragma once

#include <cstdint>
#include <vector>

#include "base/math3d.h"
#include "surface/surface.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

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

// Eight pixels of combineTexels, shades 0..255: SSE2 on x86-64 (saturating byte adds, 16-bit
// products), combineTexels elsewhere. Equal to the plain rule, tested.
inline void combineTexelRow(const uint32_t* texels, const uint32_t* envTexels, const int32_t* shades, uint32_t* out) {
#if defined(__SSE2__)
  const __m128i zero = _mm_setzero_si128();
  for (int i = 0; i < 8; i += 4) {
    const __m128i sum = _mm_adds_epu8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(texels + i)),
                                      _mm_loadu_si128(reinterpret_cast<const __m128i*>(envTexels + i)));
    // Per 16-bit channel: the pixel's shade for blue, green and red, 256 (x * 256 >> 8 = x)
    // for the top byte.
    const __m128i s = _mm_loadu_si128(reinterpret_cast<const __m128i*>(shades + i));
    const __m128i s16 = _mm_or_si128(s, _mm_slli_epi32(s, 16));  // s s in each 32-bit lane
    const __m128i topMask = _mm_set_epi16(-1, 0, 0, 0, -1, 0, 0, 0);
    const __m128i keepTop = _mm_set_epi16(256, 0, 0, 0, 256, 0, 0, 0);
    const __m128i mulLo = _mm_or_si128(_mm_andnot_si128(topMask, _mm_unpacklo_epi32(s16, s16)), keepTop);
    const __m128i mulHi = _mm_or_si128(_mm_andnot_si128(topMask, _mm_unpackhi_epi32(s16, s16)), keepTop);
    const __m128i lo = _mm_srli_epi16(_mm_mullo_epi16(_mm_unpacklo_epi8(sum, zero), mulLo), 8);
    const __m128i hi = _mm_srli_epi16(_mm_mullo_epi16(_mm_unpackhi_epi8(sum, zero), mulHi), 8);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out + i), _mm_packus_epi16(lo, hi));
  }
#else
  for (int i = 0; i < 8; ++i) out[i] = combineTexels(texels[i], envTexels[i], uint32_t(shades[i]));
#endif
}

struct RayGrid {
  int32_t columns = 0;          // width / 8 + 1
  int32_t rows = 0;             // height / 8 + 1
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
  static void fillBlock(Surface& target, const Surface& texture, const Surface& environment, int32_t x0, int32_t y0,
                        const GridNode& topLeft, const GridNode& topRight, const GridNode& bottomLeft,
                        const GridNode& bottomRight);

  // Casts every node, then fills every block that lies wholly inside target (all of a 320x240
  // target), row by row. A texture too small to sample reads as black.
  void render(Surface& target, const Surface& texture, const Surface& environment);
};

}  // namespace tarvola
