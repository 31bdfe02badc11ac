// The displaced second lookup and the byte-wise combines: golden values from the formulas, the
// slope form of the lookup and the four-lane combines against the per-texel references.
#include "raster/texel_ops.h"

#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "raster/fillers.h"

namespace tarvola {
namespace {

int32_t fx(float x) { return int32_t(x * 65536.0f); }

TEST(DisplacedIndex, GoldenValuesAndWrapInsideTheMap) {
  std::vector<uint32_t> heights(65536, 0);
  // h0 = 10, hx = 30, hy = 0 at the first lookup's texel; s = 100.0, t = 5.5: column 120, row 251.
  const uint32_t i1 = 20 * 256 + 50;
  heights[i1] = 0xFF0A1234u;  // red byte 10; the other bytes do not count
  heights[i1 + 1] = 0x001EFFFFu;
  heights[i1 + 256] = 0xFF00FFFFu;
  EXPECT_EQ(displacedIndex(heights.data(), i1, fx(100.0f), fx(5.5f)), 251u * 256u + 120u);
  // Negative coordinates keep their full integer part until the final & 0xFF.
  EXPECT_EQ(displacedIndex(heights.data(), i1, fx(-1.0f), fx(-1.0f)), ((-1 - 10) & 0xFF) * 256u + ((-1 + 20) & 0xFF));
  // The last texel's neighbours are texels 0 (right) and 255 (below); row 255's below is row 0;
  // column 255's right is column 0 of the next row.
  heights[0] = 0x00500000u;
  heights[255] = 0x00300000u;
  heights[65535] = 0x00100000u;
  heights[256 + 255 + 1] = 0x00040000u;
  EXPECT_EQ(displacedIndex(heights.data(), 65535, 0, 0), uint32_t(0x20 << 8 | 0x40));
  EXPECT_EQ(displacedIndex(heights.data(), 255u * 256u, 0, 0), uint32_t(0x50u << 8));
  EXPECT_EQ(displacedIndex(heights.data(), 256 + 255, 0, 0), 4u);

  // The slope form (the filler's) gives the same index at every texel of a random map.
  Surface map;
  map.create(256, 256);
  std::mt19937 rng(9);
  for (uint32_t& texel : map.pixels) texel = uint32_t(rng());
  HeightSlopes slopes;
  slopes.take(map);
  for (uint32_t i = 0; i < 65536; ++i) {
    const int32_t s = int32_t(rng()), t = int32_t(rng());
    ASSERT_EQ(displaceIndex(slopes.slopes.data(), i, texelIndex(s, t)), displacedIndex(map.pixels.data(), i, s, t))
        << i;
  }
}

TEST(Combine, GoldenValues) {
  EXPECT_EQ(combineProductPlain(0x80FF4020u, 0x80808080u), 0x407F2010u);
  EXPECT_EQ(combineSaturatingSumPlain(0x80FF4020u, 0x80808080u), 0xFFFFC0A0u);
  EXPECT_EQ(combineAveragePlain(0x80FF4020u, 0x80808080u), 0x80BF6050u);
  EXPECT_EQ(combineProductPlain(0xFFFFFFFFu, 0xFFFFFFFFu), 0xFEFEFEFEu);
  EXPECT_EQ(combineProductPlain(0x00804020u, 0x80FF4020u), 0x007F1004u);
}

TEST(Combine, FourLaneVersionsEqualThePerByteReference) {
  std::mt19937 rng(11);
  for (uint32_t i = 0; i < 65536 + 200000; ++i) {
    // Every byte pair in every lane position, then random words.
    const uint32_t a = i & 255, b = i >> 8 & 255;
    const uint32_t x = i < 65536 ? a | (255 - a) << 8 | b << 16 | a << 24 : rng();
    const uint32_t y = i < 65536 ? b | a << 8 | (255 - b) << 16 | b << 24 : rng();
    ASSERT_EQ(combineProduct(x, y), combineProductPlain(x, y)) << std::hex << x << " " << y;
    ASSERT_EQ(combineAverage(x, y), combineAveragePlain(x, y)) << std::hex << x << " " << y;
    ASSERT_EQ(combineSaturatingSum(x, y), combineSaturatingSumPlain(x, y)) << std::hex << x << " " << y;
  }
}

}  // namespace
}  // namespace tarvola
