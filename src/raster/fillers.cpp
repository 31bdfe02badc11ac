// The fillers: each is the shared scan conversion (triangle_setup.h) instantiated with its
// attribute set and a depth-tested span writer whose pixel rule is chosen once per call, behind
// the depth screen (a triangle no pixel of which would pass the depth test is not drawn).
#include "raster/fillers.h"

#include <algorithm>
#include <type_traits>

#include "base/fixed_point.h"
#include "raster/depth_buffer.h"
#include "raster/texel_ops.h"
#include "raster/triangle_setup.h"

namespace tarvola {

namespace {

// Stands in for a map too small to hold 256 x 256 texels: it reads as black.
const uint32_t blackMap[65536] = {};
// The slopes of such a map, and of height slopes never taken.
const uint16_t flatSlopes[65536] = {};

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

// Attributes u, v, w.
struct TexturedRule {
  const uint32_t* texture;
  uint32_t operator()(const int32_t* a) const { return texture[texelIndex(a[0], a[1])]; }
};

enum class Combine { kProduct, kAverage, kSaturatingSum };

// Attributes u, v, s, t, w. The displacement comes from auxMap's texels (the reference's pixel
// rule, operator()) or from their slopes (fromIndices, the filler's spans); both are null when
// the lookup is not displaced.
template <bool kDisplaced, Combine kCombine>
struct ThreeSurfaceRule {
  const uint32_t* texture;
  const uint32_t* lightmap;
  const uint32_t* auxMap;
  const uint16_t* slopes;
  uint32_t operator()(const int32_t* a) const {
    const uint32_t i1 = texelIndex(a[0], a[1]);
    uint32_t i2;
    if constexpr (kDisplaced) {
      i2 = displacedIndex(auxMap, i1, a[2], a[3]);
    } else {
      i2 = texelIndex(a[2], a[3]);
    }
    return combine(i1, i2);
  }
  // The pixel from i1 = texelIndex(u, v) and st = texelIndex(s, t).
  uint32_t fromIndices(uint32_t i1, uint32_t st) const {
    if constexpr (kDisplaced) return combine(i1, displaceIndex(slopes, i1, st));
    return combine(i1, st);
  }
#if defined(__SSE2__)
  // The same from a register holding i1 in its 16-bit lane 0 and st in lane 2 (and 0 in lanes 1
  // and 3): the slope bytes are added to st's bytes with one byte-wise add.
  uint32_t fromIndexLanes(__m128i indices) const {
    const uint32_t i1 = uint32_t(_mm_cvtsi128_si32(indices));
    if constexpr (kDisplaced) {
      const __m128i slope = _mm_insert_epi16(_mm_setzero_si128(), slopes[i1], 2);
      return combine(i1, uint32_t(_mm_extract_epi16(_mm_add_epi8(indices, slope), 2)));
    }
    return combine(i1, uint32_t(_mm_extract_epi16(indices, 2)));
  }
#endif
  uint32_t combine(uint32_t i1, uint32_t i2) const {
    const uint32_t texel1 = texture[i1], texel2 = lightmap[i2];
    if constexpr (kCombine == Combine::kProduct) return combineProduct(texel1, texel2);
    if constexpr (kCombine == Combine::kAverage) return combineAverage(texel1, texel2);
    return combineSaturatingSum(texel1, texel2);
  }
};

#if defined(__SSE2__)
// The three-surface span with u, v, s and t in the four lanes of one register, stepped by one
// vector add (lanes wrap like fixedAdd) with the key beside it, so the loop keeps its values
// in registers. Both texel indices come from one multiply-add: the lanes' bytes (x >> 16) &
// 0xFF, packed to 16 bits, weighted 1 and 256 in pairs give u + 256 v and s + 256 t.
template <bool kDisplaced, Combine kCombine>
struct ThreeSurfaceSpan {
  ThreeSurfaceRule<kDisplaced, kCombine> rule;
  int32_t* keys;

  void operator()(Surface& target, int32_t xs, int32_t xe, const int32_t (&values)[5], int32_t rowOffset,
                  const SpanSteps<5>& steps) const {
    int32_t a[5];
    for (int k = 0; k < 5; ++k) a[k] = values[k];
    if (!clipSpan(target.width, xs, xe, a, steps)) return;
    __m128i coords = _mm_loadu_si128(reinterpret_cast<const __m128i*>(a));
    const __m128i coordStep = _mm_loadu_si128(reinterpret_cast<const __m128i*>(steps.step));
    const __m128i lowByte = _mm_set1_epi32(0xFF), weights = _mm_setr_epi16(1, 256, 1, 256, 1, 256, 1, 256);
    int32_t key = a[4];
    const int32_t keyStep = steps.step[4];
    const ThreeSurfaceRule<kDisplaced, kCombine> pixelRule = rule;
    uint32_t* pixelRow = target.pixels.data() + rowOffset;
    int32_t* keyRow = keys + rowOffset;
    for (int32_t x = xs; x < xe; ++x) {
      if (depthTestAndStore(keyRow[x], key)) {
        const __m128i bytes = _mm_and_si128(_mm_srai_epi32(coords, 16), lowByte);
        const __m128i indices = _mm_madd_epi16(_mm_packs_epi32(bytes, bytes), weights);
        pixelRow[x] = pixelRule.fromIndexLanes(indices);
      }
      coords = _mm_add_epi32(coords, coordStep);
      key = fixedAdd(key, keyStep);
    }
  }
};
#else
// Without SSE2: the same pixels through fromIndices, one attribute at a time.
template <bool kDisplaced, Combine kCombine>
struct IndexedRule {
  ThreeSurfaceRule<kDisplaced, kCombine> rule;
  uint32_t operator()(const int32_t* a) const {
    return rule.fromIndices(texelIndex(a[0], a[1]), texelIndex(a[2], a[3]));
  }
};
#endif

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

template <int N, class Span>
void screenAndFill(Surface& target, DepthBuffer& depth, const SetupVertex<N>& c0, const SetupVertex<N>& c1,
                   const SetupVertex<N>& c2, Span& span) {
  NearerKeyScreen screen{depth.keys.data()};
  scanTriangle(target, c0, c1, c2, span, &screen);
}

template <int N, class PixelRule>
void fillWith(Surface& target, DepthBuffer& depth, const SetupVertex<N>& c0, const SetupVertex<N>& c1,
              const SetupVertex<N>& c2, const PixelRule& rule) {
  DepthTestedSpan<N, PixelRule> span{rule, depth.keys.data()};
  screenAndFill(target, depth, c0, c1, c2, span);
}

template <bool kDisplaced, Combine kCombine>
void fillWith(Surface& target, DepthBuffer& depth, const SetupVertex<5>& c0, const SetupVertex<5>& c1,
              const SetupVertex<5>& c2, const ThreeSurfaceRule<kDisplaced, kCombine>& rule) {
#if defined(__SSE2__)
  ThreeSurfaceSpan<kDisplaced, kCombine> span{rule, depth.keys.data()};
#else
  DepthTestedSpan<5, IndexedRule<kDisplaced, kCombine>> span{{rule}, depth.keys.data()};
#endif
  screenAndFill(target, depth, c0, c1, c2, span);
}

// Calls fill(rule) with the three-surface rule that lookup and combine name; auxMap and
// slopes are handed on only for the displaced lookup.
template <class Fill>
void withThreeSurfaceRule(const Surface& texture, const Surface& lightmap, const uint32_t* auxMap,
                          const uint16_t* slopes, LightmapLookup lookup, LightmapCombine combine, Fill fill) {
  const uint32_t* t = mapTexels(texture);
  const uint32_t* l = mapTexels(lightmap);
  const bool additive = combine == LightmapCombine::kAdd;
  if (lookup == LightmapLookup::kDisplaced) {
    if (additive) {
      fill(ThreeSurfaceRule<true, Combine::kAverage>{t, l, auxMap, slopes});
    } else {
      fill(ThreeSurfaceRule<true, Combine::kProduct>{t, l, auxMap, slopes});
    }
  } else if (additive) {
    fill(ThreeSurfaceRule<false, Combine::kSaturatingSum>{t, l, nullptr, nullptr});
  } else {
    fill(ThreeSurfaceRule<false, Combine::kProduct>{t, l, nullptr, nullptr});
  }
}

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

void HeightSlopes::take(const Surface& map) {
  heights.resize(65536 + 256);
  slopes.resize(65536);
  const uint32_t* texels = mapTexels(map);
  size_t i = 0;
#if defined(__SSE2__)
  // Red bytes sixteen texels a step: shifted down, masked, packed 32 -> 16 -> 8 bits (no
  // saturation: every value is below 256).
  const __m128i lowByte = _mm_set1_epi32(0xFF);
  auto red = [&](size_t at) {
    const __m128i four = _mm_loadu_si128(reinterpret_cast<const __m128i*>(texels + at));
    return _mm_and_si128(_mm_srli_epi32(four, 16), lowByte);
  };
  for (; i < 65536; i += 16) {
    const __m128i low = _mm_packs_epi32(red(i), red(i + 4)), high = _mm_packs_epi32(red(i + 8), red(i + 12));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(heights.data() + i), _mm_packus_epi16(low, high));
  }
#endif
  for (; i < 65536; ++i) heights[i] = uint8_t(texelHeight(texels[i]));
  std::copy_n(heights.begin(), 256, heights.begin() + 65536);

  const uint8_t* h = heights.data();
  i = 0;
#if defined(__SSE2__)
  // Byte differences wrap modulo 256 on their own; interleaved x, y they are the 16-bit slopes.
  auto load = [](const uint8_t* at) { return _mm_loadu_si128(reinterpret_cast<const __m128i*>(at)); };
  for (; i < 65536; i += 16) {
    const __m128i h0 = load(h + i);
    const __m128i dx = _mm_sub_epi8(load(h + i + 1), h0), dy = _mm_sub_epi8(load(h + i + 256), h0);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(slopes.data() + i), _mm_unpacklo_epi8(dx, dy));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(slopes.data() + i + 8), _mm_unpackhi_epi8(dx, dy));
  }
#endif
  for (; i < 65536; ++i) {
    slopes[i] = uint16_t((h[i + 1] - h[i]) & 0xFF) | uint16_t(((h[i + 256] - h[i]) & 0xFF) << 8);
  }
}

void fillThreeSurfaceTriangle(Surface& target, DepthBuffer& depth, const Surface& texture, const Surface& lightmap,
                              const HeightSlopes& slopes, const RasterCorner& c0, const RasterCorner& c1,
                              const RasterCorner& c2, LightmapLookup lookup, LightmapCombine combine) {
  if (!targetFitsDepthBuffer(target, depth)) return;
  const SetupVertex<5> v0 = threeSurfaceCorner(c0), v1 = threeSurfaceCorner(c1), v2 = threeSurfaceCorner(c2);
  const uint16_t* d = slopes.slopes.size() >= 65536 ? slopes.slopes.data() : flatSlopes;
  withThreeSurfaceRule(texture, lightmap, nullptr, d, lookup, combine,
                       [&](const auto& rule) { fillWith(target, depth, v0, v1, v2, rule); });
}

namespace plain {

void fillThreeSurfaceTriangle(Surface& target, DepthBuffer& depth, const Surface& texture, const Surface& lightmap,
                              const Surface& auxMap, const RasterCorner& c0, const RasterCorner& c1,
                              const RasterCorner& c2, LightmapLookup lookup, LightmapCombine combine) {
  if (!targetFitsDepthBuffer(target, depth)) return;
  const SetupVertex<5> v0 = threeSurfaceCorner(c0), v1 = threeSurfaceCorner(c1), v2 = threeSurfaceCorner(c2);
  withThreeSurfaceRule(texture, lightmap, mapTexels(auxMap), nullptr, lookup, combine, [&](const auto& rule) {
    DepthTestedSpan<5, std::decay_t<decltype(rule)>> span{rule, depth.keys.data()};
    scanTriangle(target, v0, v1, v2, span);
  });
}

}  // namespace plain

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
