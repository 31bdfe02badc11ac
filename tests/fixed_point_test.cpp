// 16.16 conversions and the depth buffer: golden values of toFixed16 and fixedCeil, the
// sentinel for out-of-range input, and the depth buffer's create/clear contract.
#include "raster/fixed_point.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <random>

#include "raster/depth_buffer.h"

namespace tarvola {
namespace {

TEST(ToFixed16, GoldenValues) {
  EXPECT_EQ(toFixed16(1.5f), 0x00018000);
  EXPECT_EQ(toFixed16(-1.5f), -98304);
  EXPECT_EQ(toFixed16(0.99999f), 0x0000FFFF);
  EXPECT_EQ(toFixed16(-0.00001f), 0);
  EXPECT_EQ(toFixed16(0.0f), 0);
  EXPECT_EQ(toFixed16(-0.0f), 0);
  // 32767.99 is stored as the float 32767.990234375 = 32767 + 507/512, which scales exactly.
  EXPECT_EQ(toFixed16(32767.99f), 0x7FFFFD80);
  EXPECT_EQ(toFixed16(-32767.99f), -0x7FFFFD80);
  // Depth key of a vertex at depth 2.
  EXPECT_EQ(toFixed16(32767.0f / 2.0f), 0x3FFF8000);
}

TEST(ToFixed16, OutOfRangeAndNaNGiveThePositiveSentinel) {
  for (float x : {32768.0f, -32768.0f, -50000.0f, 1e30f, -1e30f, std::numeric_limits<float>::infinity(),
                  -std::numeric_limits<float>::infinity(), std::numeric_limits<float>::quiet_NaN()}) {
    EXPECT_EQ(toFixed16(x), 0x7FFF0000) << x;
  }
  EXPECT_EQ(toFixed16(std::nextafter(32768.0f, 0.0f)), 0x7FFFFF80);
  EXPECT_EQ(toFixed16(std::nextafter(-32768.0f, 0.0f)), -0x7FFFFF80);
}

TEST(ToFixed16, TruncatesTowardZeroOnRandomInput) {
  std::mt19937 rng(7);
  std::uniform_real_distribution<float> dist(-32767.0f, 32767.0f);
  for (int i = 0; i < 100000; ++i) {
    const float x = dist(rng);
    EXPECT_EQ(toFixed16(x), int32_t(std::trunc(double(x) * 65536.0))) << x;
  }
}

TEST(FixedCeil, GoldenValues) {
  EXPECT_EQ(fixedCeil(0x00010000), 1);
  EXPECT_EQ(fixedCeil(0x00010001), 2);
  EXPECT_EQ(fixedCeil(0), 0);
  EXPECT_EQ(fixedCeil(-1), 0);
  EXPECT_EQ(fixedCeil(-0x10000), -1);
  EXPECT_EQ(fixedCeil(-0x18000), -1);
  EXPECT_EQ(fixedCeil(0x18000), 2);
  EXPECT_EQ(fixedCeil(0x7FFF0000), 32767);
  // The sum wraps instead of overflowing.
  EXPECT_EQ(fixedCeil(0x7FFFFFFF), -32768);
}

TEST(FixedArithmetic, WrapsModulo2To32) {
  EXPECT_EQ(fixedAdd(0x7FFFFFFF, 1), INT32_MIN);
  EXPECT_EQ(fixedSub(INT32_MIN, 1), 0x7FFFFFFF);
  EXPECT_EQ(fixedMulInt(-3, 0x7FFF0000), int32_t(uint32_t(-3) * 0x7FFF0000u));
}

TEST(TruncToInt32, TruncatesAndGivesIndefiniteOutOfRange) {
  EXPECT_EQ(truncToInt32(10.9), 10);
  EXPECT_EQ(truncToInt32(-10.9), -10);
  EXPECT_EQ(truncToInt32(0.5), 0);
  EXPECT_EQ(truncToInt32(3e9), INT32_MIN);
  EXPECT_EQ(truncToInt32(std::nan("")), INT32_MIN);
}

TEST(DepthBuffer, CreateClearAndStrictTest) {
  createDepthBuffer(320, 240);
  EXPECT_EQ(depthBuffer.width, 320);
  EXPECT_EQ(depthBuffer.height, 240);
  ASSERT_EQ(depthBuffer.keys.size(), 76800u);
  for (int32_t k : depthBuffer.keys) ASSERT_EQ(k, 0);
  for (size_t i = 0; i < depthBuffer.keys.size(); ++i) depthBuffer.keys[i] = int32_t(i * 7 + 1);
  clearDepthBuffer();
  for (int32_t k : depthBuffer.keys) ASSERT_EQ(k, 0);

  int32_t stored = 0;
  EXPECT_TRUE(depthTestAndStore(stored, 1));  // any positive key beats an empty entry
  EXPECT_EQ(stored, 1);
  EXPECT_FALSE(depthTestAndStore(stored, 1));  // equal keys: the first stays
  EXPECT_FALSE(depthTestAndStore(stored, 0));
  EXPECT_TRUE(depthTestAndStore(stored, 0x3FFF8000));
  EXPECT_EQ(stored, 0x3FFF8000);
}

}  // namespace
}  // namespace tarvola
