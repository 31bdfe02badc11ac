// 16.16 conversions and the depth buffer: golden values of toFixed16, fixedCeil and
// truncToInt32, the sentinel for out-of-range input, wrapping arithmetic, and the depth
// buffer's clear and strict test.
#include "base/fixed_point.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <random>

#include "raster/depth_buffer.h"

namespace tarvola {
namespace {

TEST(ToFixed16, GoldenValuesAndThePositiveSentinel) {
  const float inf = std::numeric_limits<float>::infinity();
  const std::pair<float, int32_t> cases[] = {
      {1.5f, 0x00018000}, {-1.5f, -98304}, {0.99999f, 0x0000FFFF}, {-0.00001f, 0}, {-0.0f, 0},
      {32767.99f, 0x7FFFFD80},  // the float 32767 + 507/512 scales exactly
      {-32767.99f, -0x7FFFFD80}, {32767.0f / 2.0f, 0x3FFF8000},  // depth key of a vertex at depth 2
      {std::nextafter(32768.0f, 0.0f), 0x7FFFFF80}, {std::nextafter(-32768.0f, 0.0f), -0x7FFFFF80},
      {32768.0f, 0x7FFF0000}, {-32768.0f, 0x7FFF0000}, {1e30f, 0x7FFF0000}, {-inf, 0x7FFF0000},
      {std::numeric_limits<float>::quiet_NaN(), 0x7FFF0000}};
  for (const auto& [x, fixed] : cases) EXPECT_EQ(toFixed16(x), fixed) << x;
  std::mt19937 rng(7);
  std::uniform_real_distribution<float> dist(-32767.0f, 32767.0f);
  for (int i = 0; i < 100000; ++i) {
    const float x = dist(rng);
    ASSERT_EQ(toFixed16(x), int32_t(std::trunc(double(x) * 65536.0))) << x;
  }
}

TEST(FixedCeil, GoldenValuesAndWrappingArithmetic) {
  const std::pair<int32_t, int32_t> cases[] = {{0x10000, 1}, {0x10001, 2}, {0, 0},         {-1, 0},
                                               {-0x10000, -1}, {-0x18000, -1}, {0x18000, 2}, {0x7FFF0000, 32767},
                                               {0x7FFFFFFF, -32768}};  // the sum wraps instead of overflowing
  for (const auto& [fixed, ceiling] : cases) EXPECT_EQ(fixedCeil(fixed), ceiling) << fixed;
  EXPECT_EQ(fixedAdd(0x7FFFFFFF, 1), INT32_MIN);
  EXPECT_EQ(fixedSub(INT32_MIN, 1), 0x7FFFFFFF);
  EXPECT_EQ(fixedMulInt(-3, 0x7FFF0000), int32_t(uint32_t(-3) * 0x7FFF0000u));
  EXPECT_EQ(truncToInt32(-10.9), -10);
  EXPECT_EQ(truncToInt32(3e9), INT32_MIN);
  EXPECT_EQ(truncToInt32(std::nan("")), INT32_MIN);
}

TEST(DepthBuffer, ClearAndStrictTest) {
  DepthBuffer depthBuffer;
  depthBuffer.create(320, 240);
  ASSERT_EQ(depthBuffer.keys.size(), 76800u);
  for (size_t i = 0; i < depthBuffer.keys.size(); ++i) depthBuffer.keys[i] = int32_t(i * 7 + 1);
  depthBuffer.clear();
  for (int32_t k : depthBuffer.keys) ASSERT_EQ(k, 0);
  int32_t stored = 0;
  EXPECT_TRUE(depthTestAndStore(stored, 1));  // any positive key beats an empty entry
  EXPECT_FALSE(depthTestAndStore(stored, 1));  // equal keys: the first stays
  EXPECT_TRUE(depthTestAndStore(stored, 0x3FFF8000));
  EXPECT_EQ(stored, 0x3FFF8000);
}

}  // namespace
}  // namespace tarvola
