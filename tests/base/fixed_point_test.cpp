// 16.16 conversions and truncation: golden values of toFixed16, fixedCeil and truncToInt32, the
// sentinel for out-of-range input, wrapping arithmetic, and the depth buffer's strict test.
#include "base/fixed_point.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "raster/depth_buffer.h"

namespace tarvola {
namespace {

TEST(FixedPoint, GoldenValuesSentinelsAndWrapping) {
  const float inf = std::numeric_limits<float>::infinity(), nan = std::numeric_limits<float>::quiet_NaN();
  // clang-format off
  const std::pair<float, int32_t> toFixed[] = {
      {1.5f, 0x00018000}, {-1.5f, -98304}, {0.99999f, 0x0000FFFF}, {-0.00001f, 0}, {-0.0f, 0},
      {32767.99f, 0x7FFFFD80}, {-32767.99f, -0x7FFFFD80}, {32767.0f / 2.0f, 0x3FFF8000},
      {std::nextafter(32768.0f, 0.0f), 0x7FFFFF80}, {std::nextafter(-32768.0f, 0.0f), -0x7FFFFF80},
      {32768.0f, 0x7FFF0000}, {-32768.0f, 0x7FFF0000}, {1e30f, 0x7FFF0000}, {-inf, 0x7FFF0000}, {nan, 0x7FFF0000}};
  for (const auto& [x, fixed] : toFixed) EXPECT_EQ(toFixed16(x), fixed) << x;
  const std::pair<int32_t, int32_t> ceilings[] = {{0x10000, 1}, {0x10001, 2}, {0, 0}, {-1, 0}, {-0x10000, -1},
                                                  {-0x18000, -1}, {0x18000, 2}, {0x7FFF0000, 32767},
                                                  {0x7FFFFFFF, -32768}};  // the sum wraps instead of overflowing
  for (const auto& [fixed, ceiling] : ceilings) EXPECT_EQ(fixedCeil(fixed), ceiling) << fixed;
  EXPECT_EQ(fixedAdd(0x7FFFFFFF, 1), INT32_MIN);
  EXPECT_EQ(fixedSub(INT32_MIN, 1), 0x7FFFFFFF);
  EXPECT_EQ(fixedMulInt(-3, 0x7FFF0000), int32_t(uint32_t(-3) * 0x7FFF0000u));
  const std::pair<double, int32_t> truncs[] = {{1.99, 1}, {-1.99, -1}, {-10.9, -10}, {2147483647.9, 2147483647},
                                               {2147483648.0, INT32_MIN}, {3e9, INT32_MIN}, {double(nan), INT32_MIN},
                                               {-double(inf), INT32_MIN}};
  // clang-format on
  for (const auto& [x, truncated] : truncs) EXPECT_EQ(truncToInt32(x), truncated) << x;
  int32_t stored = 0;
  EXPECT_TRUE(depthTestAndStore(stored, 1));   // any positive key beats an empty entry
  EXPECT_FALSE(depthTestAndStore(stored, 1));  // equal keys: the first stays
}

}  // namespace
}  // namespace tarvola
