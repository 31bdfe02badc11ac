// The triangle fillers: golden pixels worked out from the set-up and texel formulas, safe calls
// with mismatched targets or missing maps, and points that ignore depth.
#include "raster/fillers.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>

#include "raster/depth_buffer.h"
#include "raster/texel_ops.h"
#include "raster/triangle_setup.h"

namespace tarvola {
namespace {

RasterCorner corner(float x, float y, float depth, float u = 0, float v = 0) {
  RasterCorner c{};
  c.screenX = x, c.screenY = y, c.depth = depth, c.uv1[0] = u, c.uv1[1] = v;
  return c;
}

// A 256 x 256 map whose texel i holds i and an asymmetric top byte.
Surface indexMap() {
  Surface map;
  map.create(256, 256);
  for (uint32_t i = 0; i < 65536; ++i) map.pixels[i] = 0xA5000000u | i;
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
    return int(std::count_if(depth.keys.begin(), depth.keys.end(), [](int32_t k) { return k != 0; }));
  }
  Surface target;
  DepthBuffer depth;
};

TEST_F(FillerTest, TexturedGoldensWithVerticalPrestepButNoHorizontalCorrection) {
  const Surface texture = indexMap();
  // u steps 10.0 per pixel, the left edge's v 10.0 per row: pixel (x, y) reads (10 dx, 10 dy).
  fillTexturedTriangle(target, depth, texture, corner(10, 10, 4, 0, 0), corner(20, 10, 4, 100, 0),
                       corner(10, 20, 4, 0, 100));
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
  Surface texture, empty;
  texture.create(256, 256);
  texture.fill(0x12345678u);
  fillTexturedTriangle(small, depth, texture, corner(10, 10, 3), corner(90, 10, 3), corner(10, 90, 3));
  fillUntexturedTriangle(small, depth, corner(10, 10, 3), corner(90, 10, 3), corner(10, 90, 3));
  for (uint32_t p : small.pixels) ASSERT_EQ(p, 0u);
  EXPECT_EQ(drawnCount(), 0);
  // A map never loaded reads as black; an unused height map may be empty.
  target.fill(0x01010101u);
  fillTexturedTriangle(target, depth, empty, corner(10, 10, 3), corner(20, 10, 3), corner(10, 20, 3));
  EXPECT_EQ(pixel(12, 12), 0u);
  fillThreeSurfaceTriangle(target, depth, texture, texture, HeightSlopes{}, corner(30, 10, 3), corner(40, 10, 3),
                           corner(30, 20, 3), LightmapLookup::kPlain, LightmapCombine::kAdd);
  EXPECT_EQ(pixel(32, 12), combineSaturatingSumPlain(0x12345678u, 0x12345678u));
  // Slopes never taken, or taken from a missing map, are all 0: the lookup is not moved.
  HeightSlopes missing;
  missing.take(empty);
  for (const HeightSlopes& slopes : {HeightSlopes{}, missing}) {
    fillThreeSurfaceTriangle(target, depth, texture, indexMap(), slopes, corner(50, 10, 3, 0, 0), corner(60, 10, 3),
                             corner(50, 20, 3), LightmapLookup::kDisplaced, LightmapCombine::kMultiply);
  }
  EXPECT_EQ(pixel(52, 12), combineProductPlain(0x12345678u, 0xA5000000u));
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

// The three-surface filler (vector span, depth screen) equals its reference in every lookup and
// combine: random maps, overlapping triangles partly off the target, coordinates that wrap.
TEST(ThreeSurfaceFiller, EqualsTheReferenceOnRandomTriangles) {
  std::mt19937 rng(5);
  Surface maps[3];
  for (Surface& map : maps) {
    map.create(256, 256);
    for (uint32_t& texel : map.pixels) texel = uint32_t(rng());
  }
  HeightSlopes slopes;  // of the third map's red bytes
  slopes.take(maps[2]);
  std::uniform_real_distribution<float> position(-40.0f, 360.0f), depth(1.5f, 12.0f), uv(-700.0f, 700.0f);
  for (LightmapLookup lookup : {LightmapLookup::kPlain, LightmapLookup::kDisplaced}) {
    for (LightmapCombine combine : {LightmapCombine::kMultiply, LightmapCombine::kAdd}) {
      Surface fast, reference;
      fast.create(320, 240);
      reference.create(320, 240);
      DepthBuffer fastDepth, referenceDepth;
      fastDepth.create(320, 240);
      referenceDepth.create(320, 240);
      for (int i = 0; i < 400; ++i) {
        RasterCorner c[3];
        for (RasterCorner& k : c) {
          k = corner(position(rng), position(rng), depth(rng), uv(rng), uv(rng));
          k.uv2[0] = uv(rng), k.uv2[1] = uv(rng);
        }
        fillThreeSurfaceTriangle(fast, fastDepth, maps[0], maps[1], slopes, c[0], c[1], c[2], lookup, combine);
        plain::fillThreeSurfaceTriangle(reference, referenceDepth, maps[0], maps[1], maps[2], c[0], c[1], c[2], lookup,
                                        combine);
      }
      ASSERT_EQ(fast.pixels, reference.pixels) << int(lookup) << int(combine);
      ASSERT_EQ(fastDepth.keys, referenceDepth.keys);
    }
  }
}

}  // namespace
}  // namespace tarvola
