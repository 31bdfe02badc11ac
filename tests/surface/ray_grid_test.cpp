// Block-interpolated ray grid: one ray's node worked out by hand, the lane combine of texture,
// environment and shade against the plain per-byte rule, whole blocks alike on every path (the
// tunnel's frames show the rest).
#include "surface/ray_grid.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <limits>
#include <random>
#include <vector>

#include "surface/compositing.h"

namespace tarvola {
namespace {

TEST(RayGrid, LaneCombineEqualsThePlainPixelRule) {
  std::mt19937 rng(99);
  for (int trial = 0; trial < 1000000; ++trial) {
    const uint32_t t = rng(), e = rng();
    const int32_t shade = int32_t(trial < 256 * 4 ? trial / 4 : rng() & 255);
    ASSERT_EQ(combineTexels(t, e, uint32_t(shade)), combineTexelsPlain(t, e, shade)) << std::hex << t << " " << e;
  }
  for (int trial = 0; trial < 20000; ++trial) {  // eight at a time (the vector path where there is one)
    uint32_t texels[8], envTexels[8], out[8];
    int32_t shades[8];
    for (int i = 0; i < 8; ++i) texels[i] = rng(), envTexels[i] = rng(), shades[i] = int32_t(rng() & 255);
    combineTexelRow(texels, envTexels, shades, out);
    for (int i = 0; i < 8; ++i) ASSERT_EQ(out[i], combineTexelsPlain(texels[i], envTexels[i], shades[i]));
  }
  // Blue 0xF0 + 0x20 saturates, green 0x30 + 0x10, red 0x80 + 0x90 saturates, top kept.
  EXPECT_EQ(combineTexelsPlain(0x408030F0u, 0x30901020u, 128), 0x707F207Fu);
}

// One ray worked out by hand: the camera on the axis looking down z, the ray through column 260
// of row 120 (direction (100, 0, 256)) meets the wall behind the camera at t = -351.79, at
// z = -327.68: u truncates toward zero to -327 (rounding down would give -328); v = |atan2(-0,
// -128)| * 511 * 0.3183193 = 511.015 -> 511; shade 255 - 87.948 -> 167.
TEST(RayGrid, CastRayWorkedExample) {
  RayGrid grid;
  grid.setCamera(Vec3{0, 0, 0}, Vec3{0, 0, 0});
  const GridNode node = grid.castRay(260, 120);
  EXPECT_EQ(node.u, -327.0f);
  EXPECT_EQ(node.v, 511.0f);
  EXPECT_EQ(node.envU, -163.5f);
  EXPECT_EQ(node.envV, 255.5f);
  EXPECT_EQ(node.shade, 167);
}

// Whole blocks on every vector path against the plain path: random texels and corner nodes,
// shades inside 0..255 (the wide rows) and outside (the per-byte rule), coordinates that wrap.
TEST(RayGrid, BlocksAreAlikeOnEveryPath) {
  std::mt19937 rng(5);
  Surface texture, environment;
  texture.create(256, 257);  // the spare row the height lookups reach
  environment.create(256, 256);
  for (uint32_t& p : texture.pixels) p = rng();
  for (uint32_t& p : environment.pixels) p = rng();
  std::uniform_real_distribution<float> coordinate(-5000.0f, 5000.0f);
  std::vector<std::vector<uint32_t>> results;
  for (SimdPath path : availableSimdPaths()) {
    const ScopedSimdPath onPath(path);
    ASSERT_TRUE(onPath.active());
    std::mt19937 nodes(17);
    Surface target;
    target.create(64, 64);
    for (int block = 0; block < 64; ++block) {
      GridNode corner[4];
      for (GridNode& n : corner) {
        n = GridNode{coordinate(nodes), coordinate(nodes), coordinate(nodes), coordinate(nodes),
                     block % 8 == 7 ? int32_t(nodes() % 600) - 150 : int32_t(nodes() % 256)};
      }
      RayGrid::fillBlock(target, texture, environment, 8 * (block % 8), 8 * (block / 8), corner[0], corner[1],
                         corner[2], corner[3]);
    }
    results.push_back(target.pixels);
    ASSERT_EQ(results.back(), results.front()) << "path " << int(path);
  }
}

}  // namespace
}  // namespace tarvola
