// Block-interpolated ray grid: worked ray casts (miss, wall hit, folded angle, camera moves and
// turns), the lane combine against the plain rule, the block filler's shading steps, texel
// addressing, bump displacement and spare-row reads, out-of-range node values, and render's
// node casting, coverage and clipping.
#include "surface/ray_grid.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <limits>
#include <random>

namespace tarvola {
namespace {

// A 256x256 texture laid out as a loaded picture: four times the image, spare top bytes 255.
Surface makeLoadedTexture(uint32_t fill) {
  Surface s;
  s.width = 256;
  s.height = 256;
  s.pixels.assign(256 * 256 * 4, 0xFF000000u);
  std::fill(s.pixels.begin(), s.pixels.begin() + 65536, fill);
  return s;
}

bool sameNode(const GridNode& a, const GridNode& b) {
  return a.u == b.u && a.v == b.v && a.envU == b.envU && a.envV == b.envV && a.shade == b.shade;
}
#define EXPECT_NODE(got, u, v, envU, envV, shade) EXPECT_TRUE(sameNode(got, GridNode{u, v, envU, envV, shade}))

// The block drawn with the same node at all four corners, into an 8x8 target; its first pixel.
uint32_t flatBlock(const Surface& texture, const Surface& environment, const GridNode& n) {
  Surface target;
  target.create(8, 8);
  RayGrid::fillBlock(target, texture, environment, 0, 0, n, n, n, n);
  for (uint32_t p : target.pixels) EXPECT_EQ(p, target.pixels[0]);
  return target.pixels[0];
}

TEST(RayGrid, CastRayWorkedExamples) {
  RayGrid grid;
  grid.init(320, 240);
  ASSERT_EQ(grid.columns * grid.rows, 41 * 31);
  const GridNode miss{128, 128, 128, 128, 0};
  EXPECT_NODE(grid.castRay(160, 120), 128, 128, 128, 128, 0);  // down the axis: parallel to the wall
  // Direction along (-160, 0, 256): t = -241.51, wall point (128, 0, -204.8), F = 60.38.
  EXPECT_NODE(grid.castRay(0, 120), -204, 0, -102, 0, 194);
  EXPECT_EQ(grid.castRay(152, 120).shade, 0);  // ~4 100 units away: beyond full darkness at 1 020
  // The scroll values move the environment coordinates, but not those of a miss.
  grid.scrollU = 10.25f;
  grid.scrollV = -3.0f;
  EXPECT_NODE(grid.castRay(0, 120), -204, 0, -112.25f, 3, 194);
  EXPECT_TRUE(sameNode(grid.castRay(160, 120), miss));
  grid.scrollU = grid.scrollV = 0;
  // Moving along the axis moves u by the same amount: wall z = 100 - 204.8.
  grid.setCamera(Vec3{0, 0, 100}, Vec3{0, 0, 0});
  EXPECT_NODE(grid.castRay(0, 120), -104, 0, -52, 0, 194);
  // Turning 90 degrees about the axis carries the wall point to the angle C = 1.57075
  // (90 * 0.017452778): v = trunc(1.57075 * 511 / 3.1415) = 255. Either sign gives the same v.
  for (float turn : {90.0f, -90.0f}) {
    grid.setCamera(Vec3{0, 0, 0}, Vec3{0, 0, turn});
    EXPECT_NODE(grid.castRay(0, 120), -204, 255, -102, 127.5f, 194);
  }
  // From 300 units out along -x the ray towards (160, 0, 256) meets the wall ahead at
  // t = 324.53 (root t2, smaller than t1 = 807.55), point (-128, 0, 275.2): angle pi gives
  // v = trunc(511.015) = 511, and F = -81.1 is raised to 0, so shade 255.
  grid.setCamera(Vec3{-300, 0, 0}, Vec3{0, 0, 0});
  EXPECT_NODE(grid.castRay(320, 120), 275, 511, 137.5f, 255.5f, 255);
  EXPECT_TRUE(sameNode(grid.castRay(160, 0), miss));  // passes 300 units from the axis: disc < 0
  // Mirrored screen rows hit mirrored wall points: angles theta and -theta, one v.
  grid.setCamera(Vec3{0, 0, 30}, Vec3{0, 0, 0});
  for (int x = 0; x <= 320; x += 40) {
    for (int d = 8; d <= 120; d += 16) {
      const GridNode above = grid.castRay(x, 120 - d), below = grid.castRay(x, 120 + d);
      EXPECT_TRUE(above.u == below.u && above.v == below.v && above.shade == below.shade);
      EXPECT_TRUE(above.v >= 0.0f && above.v <= 511.0f);
    }
  }
}

TEST(RayGrid, LaneCombineEqualsThePlainPixelRule) {
  std::mt19937 rng(99);
  for (int trial = 0; trial < 1000000; ++trial) {
    const uint32_t t = rng(), e = rng();
    const int32_t shade = int32_t(trial < 256 * 4 ? trial / 4 : rng() & 255);
    ASSERT_EQ(combineTexels(t, e, uint32_t(shade)), combineTexelsPlain(t, e, shade)) << std::hex << t << " " << e;
  }
  for (int trial = 0; trial < 100000; ++trial) {  // eight at a time (the vector path where there is one)
    uint32_t texels[8], envTexels[8], out[8];
    int32_t shades[8];
    for (int i = 0; i < 8; ++i) texels[i] = rng(), envTexels[i] = rng(), shades[i] = int32_t(rng() & 255);
    combineTexelRow(texels, envTexels, shades, out);
    for (int i = 0; i < 8; ++i) ASSERT_EQ(out[i], combineTexelsPlain(texels[i], envTexels[i], shades[i]));
  }
  // Blue 0xF0 + 0x20 saturates, green 0x30 + 0x10, red 0x80 + 0x90 saturates, top kept.
  EXPECT_EQ(combineTexelsPlain(0x408030F0u, 0x30901020u, 128), 0x707F207Fu);
}

TEST(RayGrid, BlockInterpolatesShadeAndTexelAddresses) {
  // Texel (row, column) holds green row + 1 and blue column + 1.
  Surface texture = makeLoadedTexture(0);
  for (uint32_t i = 0; i < 65536; ++i) texture.pixels[i] = (((i >> 8) + 1) & 255) << 8 | (((i & 255) + 1) & 255);
  const Surface environment = makeLoadedTexture(0);
  Surface target;
  target.create(24, 16);
  target.fill(0x12345678u);
  // u runs -2..6 across (wrapping to columns 254, 255, 0, ...), v 40..48 down; the shade steps
  // (-255 << 16) >> 3 per row: 255, 223, ..., 31.
  RayGrid::fillBlock(target, texture, environment, 16, 8, GridNode{-2, 40, 0, 0, 255}, GridNode{6, 40, 0, 0, 255},
                     GridNode{-2, 48, 0, 0, 0}, GridNode{6, 48, 0, 0, 0});
  for (int y = 0; y < 16; ++y) {
    for (int x = 0; x < 24; ++x) {
      const uint32_t p = target.pixels[size_t(y * 24 + x)];
      if (x < 16 || y < 8) {
        ASSERT_EQ(p, 0x12345678u) << x << "," << y;  // outside the block: untouched
        continue;
      }
      const uint32_t shade = uint32_t(255 - 32 * (y - 8)), col = uint32_t(x - 18) & 255, row = uint32_t(40 + y - 8);
      ASSERT_EQ(p, ((row + 1) * shade >> 8) << 8 | (((col + 1) & 255) * shade >> 8)) << x << "," << y;
    }
  }
}

TEST(RayGrid, PixelCombinesTextureAndBumpDisplacedEnvironment) {
  Surface texture = makeLoadedTexture(0), environment = makeLoadedTexture(0);
  // Texel (5, 7) with height 64; the texel to its right 67, the one below 62: slopes (+3, -2)
  // take environment (100, 20) to column 103, row 18.
  texture.pixels[5 * 256 + 7] = 0x408030F0u;
  texture.pixels[5 * 256 + 8] = 0x43000000u;
  texture.pixels[6 * 256 + 7] = 0x3E000000u;
  environment.pixels[18 * 256 + 103] = 0x30901020u;
  EXPECT_EQ(flatBlock(texture, environment, GridNode{7, 5, 100, 20, 128}), 0x707F207Fu);

  // Column 255 of row 3: its right neighbour is column 0 of row 4 (height 50), not of row 3.
  // Shade 0 blanks the colour; the top byte still shows which environment texel was added.
  for (uint32_t i = 0; i < 65536; ++i) environment.pixels[i] = 0;
  texture.pixels[3 * 256 + 0] = 0x07000000u;
  texture.pixels[4 * 256 + 0] = 0x32000000u;
  environment.pixels[50] = 0xAB000000u;
  EXPECT_EQ(flatBlock(texture, environment, GridNode{255, 3, 0, 0, 0}), 0xAB000000u);
  // Column 255 of row 255 (height 10): both neighbours lie in the spare storage, heights 255.
  texture.pixels[65535] = 0x0A000000u;
  environment.pixels[245 * 256 + 245] = 0xCD000000u;
  EXPECT_EQ(flatBlock(texture, environment, GridNode{255, 255, 0, 0, 0}), 0xD7000000u);
}

TEST(RayGrid, OutOfRangeNodeValuesTruncateToTheIndefiniteValue) {
  // 16.16 forms beyond 32 bits, infinities and NaN all become INT32_MIN (texel 0).
  Surface texture = makeLoadedTexture(0);
  texture.pixels[0] = 0x00000040u;
  const Surface environment = makeLoadedTexture(0);
  const float inf = std::numeric_limits<float>::infinity(), nan = std::numeric_limits<float>::quiet_NaN();
  const GridNode far{40000.0f, 1e30f, -inf, nan, 255};
  EXPECT_EQ(flatBlock(texture, environment, far), 0x3Fu);
  EXPECT_EQ(flatBlock(texture, environment, GridNode{0, 0, 0, 0, 300}), 75u);  // byte rule: 300 * 0x40 >> 8
}

TEST(RayGrid, RenderCastsEveryNodeCoversWholeBlocksAndSurvivesMissingTextures) {
  RayGrid grid;
  grid.init(320, 240);
  grid.scrollU = 33.5f;
  grid.setCamera(Vec3{20, -9, 140}, Vec3{10, 20, 30});
  const Surface texture = makeLoadedTexture(0x00406080u), environment = makeLoadedTexture(0x00102030u);
  Surface target, small, missing, exact;
  target.create(320, 240);
  target.fill(0xFFFFFFFFu);
  grid.render(target, texture, environment);
  for (int i = 0; i < grid.rows * grid.columns; ++i) {
    ASSERT_TRUE(sameNode(grid.nodes[size_t(i)], grid.castRay(8 * (i % grid.columns), 8 * (i / grid.columns)))) << i;
  }
  for (uint32_t p : target.pixels) ASSERT_EQ(p >> 24, 0u);  // every pixel written
  // A 100x50 target: only whole 8x8 blocks are drawn.
  small.create(100, 50);
  small.fill(0xFFFFFFFFu);
  grid.render(small, texture, environment);
  for (int i = 0; i < 100 * 50; ++i) ASSERT_EQ(small.pixels[size_t(i)] == 0xFFFFFFFFu, i % 100 >= 96 || i / 100 >= 48) << i;
  // Too small to sample: black texels, zero heights; a texture without the spare row is refused
  // for its height lookups, and the environment still shows.
  grid.render(target, missing, missing);
  for (uint32_t p : target.pixels) ASSERT_EQ(p, 0u);
  exact.create(256, 256);
  grid.render(target, exact, environment);
  grid.render(target, missing, environment);
  EXPECT_GT(std::count_if(target.pixels.begin(), target.pixels.end(), [](uint32_t p) { return (p & 0xFFFFFF) != 0; }), 0);
}

}  // namespace
}  // namespace tarvola
