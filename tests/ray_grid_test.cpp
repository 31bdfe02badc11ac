// Block-interpolated ray grid: worked ray casts (miss, wall hit, folded angle, camera moves and
// turns), the block filler's shading steps, texel addressing, bump displacement, saturating
// combine and spare-row reads, out-of-range node values, and render's coverage and clipping.
#include "surface/ray_grid.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace tarvola {
namespace {

// A 256x256 texture laid out as a loaded picture: four times the image, spare top bytes 255.
Surface makeLoadedTexture(uint32_t fill) {
  Surface s;
  s.width = 256;
  s.height = 256;
  s.pixels.assign(256 * 256 * 4, 0xFF000000u);
  for (size_t i = 0; i < 256 * 256; ++i) s.pixels[i] = fill;
  return s;
}

GridNode node(float u, float v, float envU, float envV, int32_t shade) { return GridNode{u, v, envU, envV, shade}; }

void expectNode(const GridNode& n, float u, float v, float envU, float envV, int32_t shade) {
  EXPECT_EQ(n.u, u);
  EXPECT_EQ(n.v, v);
  EXPECT_EQ(n.envU, envU);
  EXPECT_EQ(n.envV, envV);
  EXPECT_EQ(n.shade, shade);
}

TEST(RayGrid, InitSizesTheNodeArray) {
  RayGrid grid;
  grid.init(320, 240);
  EXPECT_EQ(grid.columns, 41);
  EXPECT_EQ(grid.rows, 31);
  EXPECT_EQ(grid.nodes.size(), 41u * 31u);
  EXPECT_EQ(grid.scrollU, 0.0f);
  EXPECT_EQ(grid.scrollV, 0.0f);
  for (int r = 0; r < 4; ++r) {
    for (int c = 0; c < 4; ++c) EXPECT_EQ(grid.rotation.m[r][c], r == c ? 1.0f : 0.0f);
  }
  for (const GridNode& n : grid.nodes) ASSERT_EQ(n.shade, 0);

  RayGrid odd;
  odd.init(321, 240);
  EXPECT_EQ(odd.columns, 41);
  odd.init(328, 247);
  EXPECT_EQ(odd.columns, 42);
  EXPECT_EQ(odd.rows, 31);
}

TEST(RayGrid, CastRayWorkedExamplesAtRest) {
  RayGrid grid;
  grid.init(320, 240);
  // Straight down the axis: parallel to the wall, a miss.
  expectNode(grid.castRay(160, 120), 128, 128, 128, 128, 0);
  // Direction along (-160, 0, 256): t = -241.51, wall point (128, 0, -204.8), F = 60.38.
  expectNode(grid.castRay(0, 120), -204, 0, -102, 0, 194);

  // The scroll values move the environment coordinates, but not those of a miss.
  grid.scrollU = 10.25f;
  grid.scrollV = -3.0f;
  expectNode(grid.castRay(0, 120), -204, 0, -112.25f, 3, 194);
  expectNode(grid.castRay(160, 120), 128, 128, 128, 128, 0);

  // A wall point about 4 100 units away is beyond the 1 020 of full darkness.
  EXPECT_EQ(grid.castRay(152, 120).shade, 0);
}

TEST(RayGrid, CastRayFollowsTheCamera) {
  RayGrid grid;
  grid.init(320, 240);
  // Moving along the axis moves u by the same amount: wall z = 100 - 204.8.
  grid.setCamera(Vec3{0, 0, 100}, Vec3{0, 0, 0});
  expectNode(grid.castRay(0, 120), -104, 0, -52, 0, 194);

  // Turning 90 degrees about the axis carries the wall point to the angle C = 1.57075
  // (90 * 0.017452778): v = trunc(1.57075 * 511 / 3.1415) = 255. Either sign gives the same v.
  grid.setCamera(Vec3{0, 0, 0}, Vec3{0, 0, 90});
  expectNode(grid.castRay(0, 120), -204, 255, -102, 127.5f, 194);
  grid.setCamera(Vec3{0, 0, 0}, Vec3{0, 0, -90});
  expectNode(grid.castRay(0, 120), -204, 255, -102, 127.5f, 194);

  // From outside the tunnel, 300 units out along -x: the ray towards (160, 0, 256) meets the
  // wall ahead at t = 324.53 (the root t2, smaller than t1 = 807.55), the point (-128, 0, 275.2):
  // angle pi gives v = trunc(511.015) = 511, and F = -81.1 is raised to 0, so shade 255.
  grid.setCamera(Vec3{-300, 0, 0}, Vec3{0, 0, 0});
  expectNode(grid.castRay(320, 120), 275, 511, 137.5f, 255.5f, 255);
  // Straight up the screen the ray passes 300 units from the axis: disc < 0, a miss.
  expectNode(grid.castRay(160, 0), 128, 128, 128, 128, 0);
}

TEST(RayGrid, CastRayFoldsTheAngle) {
  RayGrid grid;
  grid.init(320, 240);
  grid.setCamera(Vec3{0, 0, 30}, Vec3{0, 0, 0});
  // Mirrored screen rows hit mirrored wall points: angles theta and -theta, one v.
  for (int x = 0; x <= 320; x += 40) {
    for (int d = 8; d <= 120; d += 16) {
      const GridNode above = grid.castRay(x, 120 - d), below = grid.castRay(x, 120 + d);
      EXPECT_EQ(above.u, below.u);
      EXPECT_EQ(above.v, below.v);
      EXPECT_EQ(above.shade, below.shade);
      EXPECT_GE(above.v, 0.0f);
      EXPECT_LE(above.v, 511.0f);
    }
  }
}

TEST(RayGrid, LaneCombineEqualsThePlainPixelRule) {
  // Every shade with texel pairs chosen to hit the saturation edges, then random pairs.
  const uint32_t edges[] = {0x00000000u, 0xFFFFFFFFu, 0x80808080u, 0x7F7F7F7Fu, 0x01FF00FEu, 0xFE01FF00u};
  for (int32_t shade = 0; shade <= 255; ++shade) {
    for (uint32_t t : edges) {
      for (uint32_t e : edges) ASSERT_EQ(combineTexels(t, e, uint32_t(shade)), combineTexelsPlain(t, e, shade));
    }
  }
  uint32_t seed = 99;
  auto next = [&seed] {
    seed ^= seed << 13;
    seed ^= seed >> 17;
    seed ^= seed << 5;
    return seed;
  };
  for (int trial = 0; trial < 1000000; ++trial) {
    const uint32_t t = next(), e = next();
    const int32_t shade = int32_t(next() & 255);
    ASSERT_EQ(combineTexels(t, e, uint32_t(shade)), combineTexelsPlain(t, e, shade)) << std::hex << t << " " << e;
  }
  // Eight at a time (the vector path where there is one), shades spread over 0..255.
  for (int trial = 0; trial < 100000; ++trial) {
    uint32_t texels[8], envTexels[8], out[8];
    int32_t shades[8];
    for (int i = 0; i < 8; ++i) {
      texels[i] = next();
      envTexels[i] = next();
      shades[i] = int32_t(next() & 255);
    }
    if (trial < 256) shades[trial % 8] = trial;
    combineTexelRow(texels, envTexels, shades, out);
    for (int i = 0; i < 8; ++i) ASSERT_EQ(out[i], combineTexelsPlain(texels[i], envTexels[i], shades[i]));
  }
  // Worked: blue 0xF0 + 0x20 saturates, green 0x30 + 0x10, red 0x80 + 0x90 saturates, top kept.
  EXPECT_EQ(combineTexelsPlain(0x408030F0u, 0x30901020u, 128), 0x707F207Fu);
}

TEST(RayGrid, BlockShadesStepDownItsRows) {
  const Surface texture = makeLoadedTexture(0x00FFFFFFu);
  const Surface environment = makeLoadedTexture(0);
  Surface target;
  target.create(8, 8);
  RayGrid::fillBlock(target, texture, environment, 0, 0, node(0, 0, 0, 0, 255), node(0, 0, 0, 0, 255),
                     node(0, 0, 0, 0, 0), node(0, 0, 0, 0, 0));
  // Left step (-255 << 16) >> 3 = -2 088 960: shades 255, 223, ..., 31.
  for (int j = 0; j < 8; ++j) {
    const int32_t s = 255 - 32 * j;
    const uint32_t c = uint32_t(255 * s) >> 8;
    for (int i = 0; i < 8; ++i) ASSERT_EQ(target.pixels[size_t(j * 8 + i)], c << 16 | c << 8 | c) << i << "," << j;
  }
}

TEST(RayGrid, BlockInterpolatesTexelAddressesAcrossAndDown) {
  // Texel (row, column) holds green row + 1 and blue column + 1; shade 255 takes one off.
  Surface texture = makeLoadedTexture(0);
  for (uint32_t row = 0; row < 256; ++row) {
    for (uint32_t col = 0; col < 256; ++col) texture.pixels[row * 256 + col] = ((row + 1) & 255) << 8 | ((col + 1) & 255);
  }
  const Surface environment = makeLoadedTexture(0);
  Surface target;
  target.create(24, 16);
  target.fill(0x12345678u);
  // u runs -2..6 across (wrapping to columns 254, 255, 0, ...), v runs 40..48 down.
  RayGrid::fillBlock(target, texture, environment, 16, 8, node(-2, 40, 0, 0, 255), node(6, 40, 0, 0, 255),
                     node(-2, 48, 0, 0, 255), node(6, 48, 0, 0, 255));
  for (int y = 0; y < 16; ++y) {
    for (int x = 0; x < 24; ++x) {
      const uint32_t p = target.pixels[size_t(y * 24 + x)];
      if (x < 16 || y < 8) {
        ASSERT_EQ(p, 0x12345678u) << x << "," << y;  // outside the block: untouched
        continue;
      }
      const uint32_t col = uint32_t(x - 16 - 2) & 255, row = uint32_t(40 + y - 8);
      const uint32_t expectedBlue = (((col + 1) & 255) * 255) >> 8, expectedGreen = (((row + 1) & 255) * 255) >> 8;
      ASSERT_EQ(p, expectedGreen << 8 | expectedBlue) << x << "," << y;
    }
  }
}

TEST(RayGrid, PixelCombinesTextureAndBumpDisplacedEnvironment) {
  Surface texture = makeLoadedTexture(0);
  Surface environment = makeLoadedTexture(0);
  // Texel (5, 7) with height 64; the texel to its right 67, the one below 62.
  texture.pixels[5 * 256 + 7] = 0x408030F0u;
  texture.pixels[5 * 256 + 8] = 0x43000000u;
  texture.pixels[6 * 256 + 7] = 0x3E000000u;
  // Environment (100, 20) displaced by the slopes (+3, -2): column 103, row 18.
  environment.pixels[18 * 256 + 103] = 0x30901020u;
  Surface target;
  target.create(8, 8);
  const GridNode n = node(7, 5, 100, 20, 128);
  RayGrid::fillBlock(target, texture, environment, 0, 0, n, n, n, n);
  // Sum 0x70, min(255, 0x110), 0x40, min(255, 0x110); colour bytes * 128 >> 8; top byte kept.
  EXPECT_EQ(target.pixels[0], 0x707F207Fu);
  EXPECT_EQ(target.pixels[63], 0x707F207Fu);
}

TEST(RayGrid, NeighbourHeightsAreReadByIndexIntoTheSpareRow) {
  Surface texture = makeLoadedTexture(0);
  Surface environment = makeLoadedTexture(0);
  for (uint32_t i = 0; i < 65536; ++i) environment.pixels[i] = i;  // the index, readable back
  Surface target;
  target.create(8, 8);

  // Column 255 of row 3: its right neighbour is column 0 of row 4, not of row 3.
  texture.pixels[3 * 256 + 0] = 0x07000000u;
  texture.pixels[4 * 256 + 0] = 0x32000000u;
  GridNode n = node(255, 3, 0, 0, 0);
  RayGrid::fillBlock(target, texture, environment, 0, 0, n, n, n, n);
  EXPECT_EQ(target.pixels[0] >> 24, 0u);
  // Shade 0 blanks the colour; the top byte still shows which environment texel was added.
  environment.pixels[50] = 0xAB000000u;
  RayGrid::fillBlock(target, texture, environment, 0, 0, n, n, n, n);
  EXPECT_EQ(target.pixels[0], 0xAB000000u);

  // Column 255 of row 255 (height 10): both neighbours lie in the spare storage, heights 255.
  texture.pixels[65535] = 0x0A000000u;
  environment.pixels[245 * 256 + 245] = 0xCD000000u;
  n = node(255, 255, 0, 0, 0);
  RayGrid::fillBlock(target, texture, environment, 0, 0, n, n, n, n);
  EXPECT_EQ(target.pixels[0], 0xD7000000u);  // 0x0A + 0xCD
}

TEST(RayGrid, OutOfRangeNodeValuesTruncateToTheIndefiniteValue) {
  // 16.16 forms beyond 32 bits, infinities and NaN all become INT32_MIN (texel column and row
  // 0), and the steps between such corners wrap instead of overflowing.
  Surface texture = makeLoadedTexture(0);
  texture.pixels[0] = 0x00000040u;
  const Surface environment = makeLoadedTexture(0);
  Surface target;
  target.create(8, 8);
  const float inf = std::numeric_limits<float>::infinity(), nan = std::numeric_limits<float>::quiet_NaN();
  const GridNode far = node(40000.0f, 1e30f, -inf, nan, 255);
  RayGrid::fillBlock(target, texture, environment, 0, 0, far, far, far, far);
  for (uint32_t p : target.pixels) ASSERT_EQ(p, 0x3Fu);
  // Shades outside 0..255 take the byte-by-byte rule: 300 * 0x40 >> 8 = 75.
  const GridNode bright = node(0, 0, 0, 0, 300);
  RayGrid::fillBlock(target, texture, environment, 0, 0, bright, bright, bright, bright);
  for (uint32_t p : target.pixels) ASSERT_EQ(p, 75u);
  // Mixed corners: nothing to assert but the absence of undefined behaviour (sanitizer build).
  RayGrid::fillBlock(target, texture, environment, 0, 0, node(-40000.0f, 3e9f, inf, -1e20f, 0), far, far,
                     node(nan, -3e9f, 1, 2, 255));
}

TEST(RayGrid, RenderCastsEveryNodeAndCoversTheTarget) {
  RayGrid grid;
  grid.init(320, 240);
  grid.scrollU = 33.5f;
  grid.setCamera(Vec3{20, -9, 140}, Vec3{10, 20, 30});
  Surface texture = makeLoadedTexture(0x00406080u);
  Surface environment = makeLoadedTexture(0x00102030u);
  Surface target;
  target.create(320, 240);
  target.fill(0xFFFFFFFFu);
  grid.render(target, texture, environment);
  for (int r = 0; r < grid.rows; ++r) {
    for (int c = 0; c < grid.columns; ++c) {
      const GridNode expected = grid.castRay(8 * c, 8 * r);
      const GridNode& got = grid.nodes[size_t(r * grid.columns + c)];
      ASSERT_TRUE(got.u == expected.u && got.v == expected.v && got.envU == expected.envU &&
                  got.envV == expected.envV && got.shade == expected.shade)
          << c << "," << r;
    }
  }
  for (uint32_t p : target.pixels) ASSERT_EQ(p >> 24, 0u);  // every pixel written

  // At rest only the centre node misses.
  grid.setCamera(Vec3{0, 0, 0}, Vec3{0, 0, 0});
  grid.render(target, texture, environment);
  int misses = 0;
  for (const GridNode& n : grid.nodes) {
    misses += n.u == 128 && n.v == 128 && n.envU == 128 && n.envV == 128 && n.shade == 0;
  }
  EXPECT_EQ(misses, 1);
  expectNode(grid.nodes[15 * 41 + 20], 128, 128, 128, 128, 0);
}

TEST(RayGrid, RenderClipsToWholeBlocksAndReadsMissingTexturesAsBlack) {
  RayGrid grid;
  grid.init(320, 240);
  const Surface texture = makeLoadedTexture(0x00406080u);
  const Surface environment = makeLoadedTexture(0x00102030u);
  Surface small;
  small.create(100, 50);
  small.fill(0xFFFFFFFFu);
  grid.render(small, texture, environment);
  for (int y = 0; y < 50; ++y) {
    for (int x = 0; x < 100; ++x) {
      const bool inBlock = x < 96 && y < 48;
      ASSERT_EQ(small.pixels[size_t(y * 100 + x)] == 0xFFFFFFFFu, !inBlock) << x << "," << y;
    }
  }

  // Too small to sample: black texels, zero heights.
  Surface missing;
  Surface target;
  target.create(320, 240);
  target.fill(0xFFFFFFFFu);
  grid.render(target, missing, missing);
  for (uint32_t p : target.pixels) ASSERT_EQ(p, 0u);
  Surface exact;
  exact.create(256, 256);  // no spare row: the height lookups would run past it
  target.fill(0xFFFFFFFFu);
  grid.render(target, exact, environment);
  grid.render(target, missing, environment);
  bool lit = false;
  for (uint32_t p : target.pixels) lit = lit || (p & 0xFFFFFF) != 0;
  EXPECT_TRUE(lit);  // the environment still shows
}

}  // namespace
}  // namespace tarvola
