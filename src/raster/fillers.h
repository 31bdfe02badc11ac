// The triangle fillers the mesh pipeline hands its visible faces to, and the point plot.
// All share the scan conversion of triangle_setup.h and the depth test of depth_buffer.h;
// they differ in the attributes they interpolate and the pixel they write.
//
// Contract common to the fillers: corners have depth > 1 and the attributes each filler names
// are read; the target must have the depth buffer's width and height (the fillers address
// both with the target's row offsets), or nothing is drawn; maps are read as 256 x 256 texels
// (rows of 256) and a map holding fewer than 65536 pixels reads as black. Row 0 and column
// width - 1 are never drawn. Nothing is allocated.
#pragma once

#include <cstdint>
#include <vector>

#include "raster/depth_buffer.h"
#include "surface/surface.h"

namespace tarvola {

// A triangle corner as the fillers read it, copied from a projected mesh vertex.
struct RasterCorner {
  float screenX;    // projected x in pixels
  float screenY;    // projected y in pixels
  float depth;      // camera-space z
  float uv1[2];     // texel units (0..255 for one repeat)
  float uv2[2];     // texel units
  float colour[3];  // red, green, blue in 0..255, read by the shaded textured filler
};

// The texel of texture at uv1, copied unchanged (all four bytes).
void fillTexturedTriangle(Surface& target, DepthBuffer& depth, const Surface& texture, const RasterCorner& c0,
                          const RasterCorner& c1, const RasterCorner& c2);

// Where the three-surface filler reads the lightmap: at uv2, or at uv2 displaced by the slope
// of auxMap's red bytes (the heights) at the uv1 texel (read only then).
enum class LightmapLookup { kPlain, kDisplaced };
// How it combines texel and lightmap: the product (a * b) >> 8 per byte, or added (the
// average when displaced, the saturating sum when plain).
enum class LightmapCombine { kMultiply, kAdd };

// What the displaced lookup reads of its height map (the red bytes h of auxMap), taken once a
// draw: per texel i the slopes to the next texel in memory and to the texel one row further
// (both wrapping modulo 65536), (h[i+1] - h[i]) mod 256 in the low byte and (h[i+256] - h[i])
// mod 256 in the high one. One 16-bit read a pixel instead of three, from half the memory of
// the map; adding the slope bytes to the undisplaced index's bytes is the displacement.
struct HeightSlopes {
  std::vector<uint8_t> heights;  // the red bytes, then the first 256 again (wrapping reads)
  std::vector<uint16_t> slopes;  // 65536 once taken; empty reads as all slopes 0

  // From map's red bytes, sixteen texels a step on SSE2; a map too small to hold 256 x 256
  // texels reads as black, so its slopes are all 0. Allocates on the first call only.
  void take(const Surface& map);
};

// texture at uv1 combined byte-wise with lightmap at uv2, as lookup and combine say; the
// slopes (of auxMap's red bytes) are read only for the displaced lookup.
void fillThreeSurfaceTriangle(Surface& target, DepthBuffer& depth, const Surface& texture, const Surface& lightmap,
                              const HeightSlopes& slopes, const RasterCorner& c0, const RasterCorner& c1,
                              const RasterCorner& c2, LightmapLookup lookup, LightmapCombine combine);

namespace plain {
// The same from auxMap itself, one attribute at a time through the pixel rule and without the
// depth screen: the reference of the filler's vector span.
void fillThreeSurfaceTriangle(Surface& target, DepthBuffer& depth, const Surface& texture, const Surface& lightmap,
                              const Surface& auxMap, const RasterCorner& c0, const RasterCorner& c1,
                              const RasterCorner& c2, LightmapLookup lookup, LightmapCombine combine);
}  // namespace plain

// The texel at uv1 times the interpolated vertex colour, (shade * texel) >> 8 per byte; the
// shade packs the low bytes of the colour's integer parts with top byte 0.
void fillShadedTexturedTriangle(Surface& target, DepthBuffer& depth, const Surface& texture, const RasterCorner& c0,
                                const RasterCorner& c1, const RasterCorner& c2);

// Opaque white (0xFFFFFFFF), depth tested.
void fillUntexturedTriangle(Surface& target, DepthBuffer& depth, const RasterCorner& c0, const RasterCorner& c1,
                            const RasterCorner& c2);

// One white pixel at each corner, coordinates truncated toward zero, through putPixel (so
// 0 < x < width and 0 < y < height); no depth test, no key stored.
void plotTrianglePoints(Surface& target, const RasterCorner& c0, const RasterCorner& c1, const RasterCorner& c2);

}  // namespace tarvola
