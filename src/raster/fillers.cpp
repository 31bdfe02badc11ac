// The fillers: each is the shared scan conversion (triangle_setup.h) instantiated with its
// attribute set and a depth-tested span writer whose pixel rule is chosen once per call, behind
// the depth screen (a triangle no pixel of which would pass the depth test is not drawn).
#include "raster/fillers.h"

#include "base/fixed_point.h"
#include "raster/depth_buffer.h"
#include "raster/texel_ops.h"
#include "raster/triangle_setup.h"

namespace tarvola {

namespace {

// Stands in for a map too small to hold 256 x 256 texels: it reads as black. Never written.
uint32_t blackMap[65536];

const uint32_t* mapTexels(const Surface& map) { return map.pixels.size() >= 65536 ? map.pixels.data() : blackMap; }

// The fillers address the depth buffer with the target's own row offsets.
bool targetFitsDepthBuffer(const Surface& target, const DepthBuffer& depth) {
  const size_t count = target.pixelCount();
  return count > 0 && target.width == depth.width && target.height == depth.height && target.pixels.size() >= count &&
         depth.keys.size() >= count;
}

// Depth key of a corner: 32767 / depth as a float.
float depthKey(const RasterCorner& c) { return 32767.0f / c.depth; }

// Span writer of every depth-tested filler: clip, then per pixel test the key (the last
// attribute) against the depth buffer and, when it is nearer, store it and the rule's pixel.
// The rule runs (and reads its maps) only for pixels that pass.
template <int N, class PixelRule>
struct DepthTestedSpan {
  PixelRule rule;
  int32_t* keys;

  void operator()(Surface& target, int32_t xs, int32_t xe, const int32_t (&values)[N], int32_t rowOffset,
                  const SpanSteps<N>& steps) const {
    int32_t a[N];
    for (int k = 0; k < N; ++k) a[k] = values[k];
    if (!clipSpan(target.width, xs, xe, a, steps)) return;
    // Local copies: the key stores cannot alias them, so they stay in registers.
    int32_t step[N];
    for (int k = 0; k < N; ++k) step[k] = steps.step[k];
    const PixelRule pixelRule = rule;
    uint32_t* pixelRow = target.pixels.data() + rowOffset;
    int32_t* keyRow = keys + rowOffset;
    for (int32_t x = xs; x < xe; ++x) {
      if (depthTestAndStore(keyRow[x], a[N - 1])) pixelRow[x] = pixelRule(a);
      for (int k = 0; k < N; ++k) a[k] = fixedAdd(a[k], step[k]);
    }
  }
};

template <int N, class PixelRule>
void fillWith(Surface& target, DepthBuffer& depth, const SetupVertex<N>& c0, const SetupVertex<N>& c1,
              const SetupVertex<N>& c2, const PixelRule& rule) {
  DepthTestedSpan<N, PixelRule> span{rule, depth.keys.data()};
  NearerKeyScreen screen{depth.keys.data()};
  scanTriangle(target, c0, c1, c2, span, &screen);
}

// Attributes u, v, w.
struct TexturedRule {
  const uint32_t* texture;
  uint32_t operator()(const int32_t* a) const { return texture[texelIndex(a[0], a[1])]; }
};

enum class Combine { kProduct, kAverage, kSaturatingSum };

// Attributes u, v, s, t, w.
template <bool kDisplaced, Combine kCombine>
struct ThreeSurfaceRule {
  const uint32_t* texture;
  const uint32_t* lightmap;
  const uint32_t* auxMap;
  uint32_t operator()(const int32_t* a) const {
    const uint32_t i1 = texelIndex(a[0], a[1]);
    uint32_t i2;
    if constexpr (kDisplaced) {
      i2 = displacedIndex(auxMap, i1, a[2], a[3]);
    } else {
      i2 = texelIndex(a[2], a[3]);
    }
    const uint32_t texel1 = texture[i1], texel2 = lightmap[i2];
    if constexpr (kCombine == Combine::kProduct) return combineProduct(texel1, texel2);
    if constexpr (kCombine == Combine::kAverage) return combineAverage(texel1, texel2);
    return combineSaturatingSum(texel1, texel2);
  }
};

// Attributes u, v, red, green, blue, w.
struct ShadedTexturedRule {
  const uint32_t* texture;
  uint32_t operator()(const int32_t* a) const {
    const uint32_t shade = packColour(a[2] >> 16, a[3] >> 16, a[4] >> 16, 0);
    return combineProduct(shade, texture[texelIndex(a[0], a[1])]);
  }
};

// Attribute w only.
struct WhiteRule {
  uint32_t operator()(const int32_t*) const { return 0xFFFFFFFFu; }
};

SetupVertex<3> texturedCorner(const RasterCorner& c) {
  return SetupVertex<3>{c.screenX, c.screenY, {c.uv1[0], c.uv1[1], depthKey(c)}};
}
SetupVertex<5> threeSurfaceCorner(const RasterCorner& c) {
  return SetupVertex<5>{c.screenX, c.screenY, {c.uv1[0], c.uv1[1], c.uv2[0], c.uv2[1], depthKey(c)}};
}
SetupVertex<6> shadedCorner(const RasterCorner& c) {
  return SetupVertex<6>{c.screenX, c.screenY, {c.uv1[0], c.uv1[1], c.colour[0], c.colour[1], c.colour[2], depthKey(c)}};
}
SetupVertex<1> untexturedCorner(const RasterCorner& c) { return SetupVertex<1>{c.screenX, c.screenY, {depthKey(c)}}; }

}  // namespace

void fillTexturedTriangle(Surface& target, DepthBuffer& depth, const Surface& texture, const RasterCorner& c0,
                          const RasterCorner& c1, const RasterCorner& c2) {
  if (!targetFitsDepthBuffer(target, depth)) return;
  fillWith(target, depth, texturedCorner(c0), texturedCorner(c1), texturedCorner(c2), TexturedRule{mapTexels(texture)});
}

void fillThreeSurfaceTriangle(Surface& target, DepthBuffer& depth, const Surface& texture, const Surface& lightmap,
                              const Surface& auxMap, const RasterCorner& c0, const RasterCorner& c1,
                              const RasterCorner& c2, LightmapLookup lookup, LightmapCombine combine) {
  if (!targetFitsDepthBuffer(target, depth)) return;
  const SetupVertex<5> v0 = threeSurfaceCorner(c0), v1 = threeSurfaceCorner(c1), v2 = threeSurfaceCorner(c2);
  const uint32_t* t = mapTexels(texture);
  const uint32_t* l = mapTexels(lightmap);
  const bool displaced = lookup == LightmapLookup::kDisplaced, additive = combine == LightmapCombine::kAdd;
  if (displaced) {
    const uint32_t* h = mapTexels(auxMap);
    if (additive) {
      fillWith(target, depth, v0, v1, v2, ThreeSurfaceRule<true, Combine::kAverage>{t, l, h});
    } else {
      fillWith(target, depth, v0, v1, v2, ThreeSurfaceRule<true, Combine::kProduct>{t, l, h});
    }
  } else if (additive) {
    fillWith(target, depth, v0, v1, v2, ThreeSurfaceRule<false, Combine::kSaturatingSum>{t, l, nullptr});
  } else {
    fillWith(target, depth, v0, v1, v2, ThreeSurfaceRule<false, Combine::kProduct>{t, l, nullptr});
  }
}

void fillShadedTexturedTriangle(Surface& target, DepthBuffer& depth, const Surface& texture, const RasterCorner& c0,
                                const RasterCorner& c1, const RasterCorner& c2) {
  if (!targetFitsDepthBuffer(target, depth)) return;
  fillWith(target, depth, shadedCorner(c0), shadedCorner(c1), shadedCorner(c2), ShadedTexturedRule{mapTexels(texture)});
}

void fillUntexturedTriangle(Surface& target, DepthBuffer& depth, const RasterCorner& c0, const RasterCorner& c1,
                            const RasterCorner& c2) {
  if (!targetFitsDepthBuffer(target, depth)) return;
  fillWith(target, depth, untexturedCorner(c0), untexturedCorner(c1), untexturedCorner(c2), WhiteRule{});
}

void plotTrianglePoints(Surface& target, const RasterCorner& c0, const RasterCorner& c1, const RasterCorner& c2) {
  if (target.pixels.size() < target.pixelCount()) return;
  for (const RasterCorner* c : {&c0, &c1, &c2}) {
    putPixel(target, truncToInt32(c->screenX), truncToInt32(c->screenY), 0xFFFFFFFFu);
  }
}

}  // namespace tarvola
