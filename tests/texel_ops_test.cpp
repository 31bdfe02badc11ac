// Texel addressing, the displaced second lookup and the byte-wise combines: golden values
// from the formulas, and the four-lane versions against the per-byte reference.
#include "raster/texel_ops.h"

#include <gtest/gtest.h>

#include <random>
#include <vector>

namespace tarvola {
namespace {

int32_t fx(float x) { return int32_t(x * 65536.0f); }

TEST(TexelIndex, WrapsBothCoordinatesEvery256Texels) {
  EXPECT_EQ(texelIndex(fx(50.0f), fx(20.0f)), 5170u);
  EXPECT_EQ(texelIndex(fx(50.99f), fx(20.5f)), 5170u);
  EXPECT_EQ(texelIndex(fx(-1.0f), 0), 255u);
  EXPECT_EQ(texelIndex(fx(-0.5f), 0), 255u);  // arithmetic shift: -0.5 lies in column -1
  EXPECT_EQ(texelIndex(fx(256.0f), 0), 0u);
  EXPECT_EQ(texelIndex(0, fx(-1.0f)), 255u * 256u);
  EXPECT_EQ(texelIndex(fx(255.0f), fx(255.0f)), 65535u);
}

TEST(DisplacedIndex, GoldenAndFlatHeightMap) {
  std::vector<uint32_t> heights(65536, 0x00070000u);
  // Flat relief: the displaced lookup is the plain one.
  std::mt19937 rng(3);
  for (int i = 0; i < 1000; ++i) {
    const int32_t u = int32_t(rng()), v = int32_t(rng()), s = int32_t(rng()), t = int32_t(rng());
    EXPECT_EQ(displacedIndex(heights.data(), texelIndex(u, v), s, t), texelIndex(s, t));
  }
  // h0 = 10, hx = 30, hy = 0 at the first lookup's texel; s = 100.0, t = 5.5: column 120, row 251.
  const uint32_t i1 = 20 * 256 + 50;
  heights[i1] = 0xFF0A1234u;      // red byte 10; the other bytes do not count
  heights[i1 + 1] = 0x001EFFFFu;  // red byte 30
  heights[i1 + 256] = 0xFF00FFFFu;
  EXPECT_EQ(displacedIndex(heights.data(), i1, fx(100.0f), fx(5.5f)), 251u * 256u + 120u);
  // Negative coordinates keep their full integer part until the final & 0xFF.
  EXPECT_EQ(displacedIndex(heights.data(), i1, fx(-1.0f), fx(-1.0f)), ((-1 - 10) & 0xFF) * 256u + ((-1 + 20) & 0xFF));
}

TEST(DisplacedIndex, NeighboursOfTheLastRowAndTexelWrapInsideTheMap) {
  std::vector<uint32_t> heights(65536, 0);
  heights[0] = 0x00500000u;      // read as hy of row 255 column 0 and as hx of texel 65535
  heights[255] = 0x00300000u;    // hy of texel 65535
  heights[65535] = 0x00100000u;  // h0 of the last texel
  // Last texel: hx = height[0] = 0x50, hy = height[255] = 0x30, h0 = 0x10.
  EXPECT_EQ(displacedIndex(heights.data(), 65535, 0, 0), uint32_t(((0x30 - 0x10) & 0xFF) << 8 | ((0x50 - 0x10) & 0xFF)));
  // Row 255, column 0: hx = texel 65281 (0), hy = texel 0 (0x50).
  EXPECT_EQ(displacedIndex(heights.data(), 255u * 256u, 0, 0), uint32_t(0x50u << 8));
  // Column 255 of row 0: hx is column 0 of row 1, the next texel in memory.
  std::vector<uint32_t> row0(65536, 0);
  row0[256] = 0x00040000u;
  EXPECT_EQ(displacedIndex(row0.data(), 255, 0, 0), 4u);
}

TEST(Combine, GoldenValues) {
  EXPECT_EQ(combineProductPlain(0x80FF4020u, 0x80808080u), 0x407F2010u);
  EXPECT_EQ(combineSaturatingSumPlain(0x80FF4020u, 0x80808080u), 0xFFFFC0A0u);
  EXPECT_EQ(combineAveragePlain(0x80FF4020u, 0x80808080u), 0x80BF6050u);
  EXPECT_EQ(combineProductPlain(0x12345678u, 0xFFFFFFFFu), 0x11335577u);
  EXPECT_EQ(combineProductPlain(0xFFFFFFFFu, 0xFFFFFFFFu), 0xFEFEFEFEu);
  EXPECT_EQ(combineProductPlain(0x00FFFFFFu, 0x80FF4020u), 0x00FE3F1Fu);  // shade 255: one step darker
  EXPECT_EQ(combineProductPlain(0x00804020u, 0x80FF4020u), 0x007F1004u);
  EXPECT_EQ(combineProduct(0x80FF4020u, 0x80808080u), 0x407F2010u);
  EXPECT_EQ(combineSaturatingSum(0x80FF4020u, 0x80808080u), 0xFFFFC0A0u);
  EXPECT_EQ(combineAverage(0x80FF4020u, 0x80808080u), 0x80BF6050u);
}

TEST(Combine, FourLaneVersionsEqualThePerByteReference) {
  // Every byte pair in every lane position, then random words.
  for (uint32_t a = 0; a < 256; ++a) {
    for (uint32_t b = 0; b < 256; ++b) {
      const uint32_t x = a | (255 - a) << 8 | b << 16 | a << 24, y = b | a << 8 | (255 - b) << 16 | b << 24;
      ASSERT_EQ(combineProduct(x, y), combineProductPlain(x, y)) << a << " " << b;
      ASSERT_EQ(combineAverage(x, y), combineAveragePlain(x, y)) << a << " " << b;
      ASSERT_EQ(combineSaturatingSum(x, y), combineSaturatingSumPlain(x, y)) << a << " " << b;
    }
  }
  std::mt19937 rng(11);
  for (int i = 0; i < 200000; ++i) {
    const uint32_t x = rng(), y = rng();
    ASSERT_EQ(combineProduct(x, y), combineProductPlain(x, y));
    ASSERT_EQ(combineAverage(x, y), combineAveragePlain(x, y));
    ASSERT_EQ(combineSaturatingSum(x, y), combineSaturatingSumPlain(x, y));
  }
}

}  // namespace
}  // namespace tarvola
