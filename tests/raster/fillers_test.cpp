// The triangle fillers: golden pixels worked out from the set-up and texel formulas, and every
// span writer (all five three-surface modes, the strict depth test included) against a plain
// per-pixel formula (values recomputed from the left edge at each column) on random triangles.
#include "raster/fillers.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <random>
#include <vector>

#include "raster/depth_buffer.h"
#include "raster/texel_ops.h"
#include "raster/triangle_setup.h"
#include "support/test_support.h"

namespace tarvola {
namespace {

RasterCorner corner(float x, float y, float depth, float u = 0, float v = 0, float s = 0, float t = 0) {
  RasterCorner c{};
  c.screenX = x;
  c.screenY = y;
  c.depth = depth;
  c.uv1[0] = u;
  c.uv1[1] = v;
  c.uv2[0] = s;
  c.uv2[1] = t;
  return c;
}

// A 256 x 256 map whose texel i holds i and an asymmetric top byte, or one value everywhere.
Surface indexMap() {
  Surface map;
  map.create(256, 256);
  for (uint32_t i = 0; i < 65536; ++i) map.pixels[i] = 0xA5000000u | i;
  return map;
}
Surface flatMap(uint32_t value) {
  Surface map;
  map.create(256, 256);
  map.fill(value);
  return map;
}

class FillerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    depth.create(320, 240);
    target.create(320, 240);
  }
  uint32_t pixel(int x, int y) const { return target.pixels[size_t(y * 320 + x)]; }
  int32_t key(int x, int y) const { return depth.keys[size_t(y * 320 + x)]; }
  int drawnCount() const {
    int n = 0;
    for (int32_t k : depth.keys) n += k != 0;
    return n;
  }
  Surface target;
  DepthBuffer depth;
};

TEST_F(FillerTest, TexturedGoldensWithVerticalPrestepButNoHorizontalCorrection) {
  const Surface texture = indexMap();
  // u steps 10.0 per pixel, the left edge's v 10.0 per row: pixel (x, y) reads (10 dx, 10 dy).
  fillTexturedTriangle(target, depth, texture, corner(10, 10, 4, 0, 0), corner(20, 10, 4, 100, 0), corner(10, 20, 4, 0, 100));
  EXPECT_EQ(drawnCount(), 55);
  for (int y = 10; y < 20; ++y) {
    for (int x = 10; x < 30 - y; ++x) {
      ASSERT_EQ(pixel(x, y), 0xA5000000u | uint32_t(((y - 10) * 10) << 8 | (x - 10) * 10)) << x << "," << y;
      ASSERT_EQ(key(x, y), toFixed16(32767.0f / 4.0f));
    }
  }
  // Shifted by half a pixel: the first row (11) is 0.5 below the corners, so v starts at 5.0;
  // u starts at the edge's exact x (10.5) with 0, not at the first column's centre.
  depth.clear();
  fillTexturedTriangle(target, depth, texture, corner(10.5f, 10.5f, 4, 0, 0), corner(20.5f, 10.5f, 4, 100, 0),
                       corner(10.5f, 20.5f, 4, 0, 100));
  EXPECT_EQ(drawnCount(), 45);
  EXPECT_EQ(pixel(11, 11), 0xA5000000u | (5u << 8 | 0u));
  EXPECT_EQ(pixel(12, 11), 0xA5000000u | (5u << 8 | 10u));
  EXPECT_EQ(pixel(11, 19), 0xA5000000u | (85u << 8 | 0u));
}

TEST_F(FillerTest, MismatchedTargetAndMissingMapsAreSafe) {
  Surface small;
  small.create(100, 100);
  const Surface texture = flatMap(0x12345678u), empty;
  fillTexturedTriangle(small, depth, texture, corner(10, 10, 3), corner(90, 10, 3), corner(10, 90, 3));
  fillUntexturedTriangle(small, depth, corner(10, 10, 3), corner(90, 10, 3), corner(10, 90, 3));
  for (uint32_t p : small.pixels) ASSERT_EQ(p, 0u);
  EXPECT_EQ(drawnCount(), 0);
  // A map never loaded reads as black; an unused height map may be empty.
  target.fill(0x01010101u);
  fillTexturedTriangle(target, depth, empty, corner(10, 10, 3), corner(20, 10, 3), corner(10, 20, 3));
  EXPECT_EQ(pixel(12, 12), 0u);
  fillThreeSurfaceTriangle(target, depth, texture, texture, empty,
                           corner(30, 10, 3), corner(40, 10, 3), corner(30, 20, 3), LightmapLookup::kPlain, LightmapCombine::kAdd);
  EXPECT_EQ(pixel(32, 12), combineSaturatingSumPlain(0x12345678u, 0x12345678u));
}

TEST_F(FillerTest, PointsIgnoreDepthAndTruncate) {
  std::fill(depth.keys.begin(), depth.keys.end(), 0x7FFF0000);
  plotTrianglePoints(target, corner(10.9f, 20.9f, 3), corner(0.5f, 30, 3), corner(319.5f, 239.9f, 3));
  plotTrianglePoints(target, corner(-1e30f, std::nanf(""), 3), corner(1e30f, 5, 3), corner(5, -0.9f, 3));
  EXPECT_EQ(pixel(10, 20), 0xFFFFFFFFu);
  EXPECT_EQ(pixel(319, 239), 0xFFFFFFFFu);
  EXPECT_EQ(std::count(target.pixels.begin(), target.pixels.end(), 0u), 320 * 240 - 2);
  EXPECT_EQ(std::count(depth.keys.begin(), depth.keys.end(), 0x7FFF0000), 320 * 240);
}

// ---- Span writers against the plain per-pixel formula -----------------------------------

// Reference span: clipping written out, and each pixel's attributes taken as the left edge's
// value plus (x - xs) steps, independently of the fillers' incremental stepping.
template <int N, class Formula>
struct ReferenceSpan {
  std::vector<int32_t>* keys;
  Formula formula;
  void operator()(Surface& target, int32_t xs, int32_t xe, const int32_t (&values)[N], int32_t rowOffset,
                  const SpanSteps<N>& steps) const {
    if (xs == xe || xs > target.width - 1 || xe < 0) return;
    for (int32_t x = xs < 0 ? 0 : xs; x < std::min(xe, target.width - 1); ++x) {
      int32_t a[N];
      for (int k = 0; k < N; ++k) a[k] = int32_t(uint32_t(values[k]) + uint32_t(x - xs) * uint32_t(steps.step[k]));
      int32_t& stored = (*keys)[size_t(rowOffset + x)];
      if (a[N - 1] > stored) {
        stored = a[N - 1];
        target.pixels[size_t(rowOffset + x)] = formula(a);
      }
    }
  }
};

uint32_t byteAt(uint32_t word, int k) { return word >> (8 * k) & 0xFF; }
size_t texel(int32_t u, int32_t v) { return size_t(((v >> 16) & 0xFF) * 256 + ((u >> 16) & 0xFF)); }

// Draws 400 random triangles with a filler and through scanTriangle with the reference span;
// images and depth buffers must agree exactly. N attributes: uv1 (2), colour (3) or uv2 (2) as
// picked by `layout`, then the depth key.
class SpanWriterTest : public FillerTest {
 protected:
  template <int N, class Filler, class Formula>
  void compare(unsigned seed, const std::array<int, N - 1>& layout, Filler filler, Formula formula) {
    std::mt19937 rng(seed);
    auto uniform = [&](float lo, float hi) { return std::uniform_real_distribution<float>(lo, hi)(rng); };
    Surface reference;
    reference.create(320, 240);
    std::vector<int32_t> referenceKeys(320 * 240, 0);
    ReferenceSpan<N, Formula> span{&referenceKeys, formula};
    for (int i = 0; i < 400; ++i) {
      RasterCorner c[3];
      SetupVertex<N> s[3];
      for (int k = 0; k < 3; ++k) {
        c[k] = corner(uniform(-80, 400), uniform(-80, 320), uniform(1.01f, 60.0f), uniform(-300, 600), uniform(-300, 600),
                      uniform(-300, 600), uniform(-300, 600));
        for (float& channel : c[k].colour) channel = uniform(-20, 280);
        // Attribute sources: 0, 1 uv1; 2, 3, 4 colour; 5, 6 uv2.
        const float sources[7] = {c[k].uv1[0],    c[k].uv1[1],    c[k].colour[0], c[k].colour[1],
                                  c[k].colour[2], c[k].uv2[0], c[k].uv2[1]};
        s[k] = SetupVertex<N>{c[k].screenX, c[k].screenY, {}};
        for (int a = 0; a < N - 1; ++a) s[k].q[a] = sources[layout[a]];
        s[k].q[N - 1] = 32767.0f / c[k].depth;
      }
      filler(c[0], c[1], c[2]);
      scanTriangle(reference, s[0], s[1], s[2], span);
    }
    EXPECT_GT(std::count_if(referenceKeys.begin(), referenceKeys.end(), [](int32_t k) { return k != 0; }), 20000);
    ASSERT_EQ(depth.keys, referenceKeys);
    for (size_t i = 0; i < reference.pixels.size(); ++i) ASSERT_EQ(target.pixels[i], reference.pixels[i]) << i;
  }
};

TEST_F(SpanWriterTest, TexturedAndUntextured) {
  std::mt19937 maps(100);
  const Surface texture = testing::randomSurface(256, 256, maps);
  using V = const RasterCorner&;
  compare<3>(1, {0, 1}, [&](V a, V b, V c) { fillTexturedTriangle(target, depth, texture, a, b, c); },
             [&](const int32_t* q) { return texture.pixels[texel(q[0], q[1])]; });
  depth.clear();
  target.clear();
  compare<1>(2, {}, [&](V a, V b, V c) { fillUntexturedTriangle(target, depth, a, b, c); },
             [](const int32_t*) { return 0xFFFFFFFFu; });
}

TEST_F(SpanWriterTest, ShadedTextured) {
  std::mt19937 maps(100);
  const Surface texture = testing::randomSurface(256, 256, maps);
  compare<6>(
      3, {0, 1, 2, 3, 4},
      [&](const RasterCorner& a, const RasterCorner& b, const RasterCorner& c) {
        fillShadedTexturedTriangle(target, depth, texture, a, b, c);
      },
      [&](const int32_t* q) {
        const uint32_t t = texture.pixels[texel(q[0], q[1])];
        uint32_t out = 0;
        for (int k = 0; k < 3; ++k) out |= ((uint32_t((q[4 - k] >> 16) & 0xFF) * byteAt(t, k)) >> 8) << (8 * k);
        return out;
      });
}

TEST_F(SpanWriterTest, ThreeSurfaceAllFourWriters) {
  std::mt19937 maps(102);
  const Surface texture = testing::randomSurface(256, 256, maps), lightmap = testing::randomSurface(256, 256, maps);
  const Surface heights = testing::randomSurface(256, 256, maps);
  for (const LightmapLookup lookup : {LightmapLookup::kDisplaced, LightmapLookup::kPlain}) {
  for (const LightmapCombine combine : {LightmapCombine::kMultiply, LightmapCombine::kAdd}) {
    const bool displaced = lookup == LightmapLookup::kDisplaced, added = combine == LightmapCombine::kAdd;
    SCOPED_TRACE(int(displaced) * 10 + int(added));
    depth.clear();
    target.clear();
    compare<5>(
        unsigned(10 + 2 * int(displaced) + int(added)), {0, 1, 5, 6},
        [&](const RasterCorner& a, const RasterCorner& b, const RasterCorner& c) {
          fillThreeSurfaceTriangle(target, depth, texture, lightmap, heights, a, b, c, lookup, combine);
        },
        [&](const int32_t* q) {
          const size_t i1 = texel(q[0], q[1]);
          size_t i2 = texel(q[2], q[3]);
          if (displaced) {
            const int32_t h0 = int32_t(byteAt(heights.pixels[i1], 2));
            const int32_t hx = int32_t(byteAt(heights.pixels[(i1 + 1) % 65536], 2));
            const int32_t hy = int32_t(byteAt(heights.pixels[(i1 + 256) % 65536], 2));
            i2 = size_t((((q[3] >> 16) + hy - h0) & 0xFF) * 256 + (((q[2] >> 16) + hx - h0) & 0xFF));
          }
          uint32_t out = 0;
          for (int k = 0; k < 4; ++k) {
            const uint32_t a = byteAt(texture.pixels[i1], k), b = byteAt(lightmap.pixels[i2], k);
            out |= (!added ? (a * b) >> 8 : displaced ? (a + b) >> 1 : std::min(a + b, 255u)) << (8 * k);
          }
          return out;
        });
  }
  }
}

}  // namespace
}  // namespace tarvola
