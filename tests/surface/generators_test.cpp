// 2D generators: golden values, precision traps of the polar tables and the corner warp
// (entries recomputed independently in long double), the interference's fast path against
// its reference, and calls whose surfaces are too small or whose time is not a number.
#include "surface/generators.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>

#include "support/test_support.h"

namespace tarvola {
namespace {

using testing::randomSurface;

class PolarTablesTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { buildPolarTables(); }
  static PolarEntry a(int x, int y) { return polarTables.tableA[size_t(y * 640 + x)]; }
  static PolarEntry b(int x, int y) { return polarTables.tableB[size_t(y * 640 + x)]; }
};

TEST_F(PolarTablesTest, GoldenEntries) {
  auto eq = [](PolarEntry e, int u, int v) { return e.u == u && e.v == v; };
  EXPECT_TRUE(eq(a(320, 240), 0, 128));
  EXPECT_TRUE(eq(b(320, 240), 128, 0));
  EXPECT_TRUE(eq(a(320, 0), 256, 128));
  EXPECT_TRUE(eq(b(0, 240), 128, 256));
  EXPECT_TRUE(eq(a(639, 479), 75, 249));
  EXPECT_TRUE(eq(b(639, 479), 249, 52));
}

TEST_F(PolarTablesTest, EntriesAgreeWithAnIndependentLongDoubleEvaluation) {
  // Where the long double value is not within 1e-9 of an integer, both must truncate alike.
  std::mt19937 random(31);
  int compared = 0;
  for (int n = 0; n < 4000; ++n) {
    const int x = int(random() % 640), y = int(random() % 480);
    const long double dx = x - 320, dy = y - 240;
    const long double alpha = std::atan2(dx, dy), beta = std::atan2(dy, dx);
    const long double values[4] = {std::fabs(alpha * 256 / 3.14L), std::sin(alpha * 2 * 3.1415L / 3.14L) * 127 + 128,
                                   std::sin(beta * 2 * 3.1415L / 3.14L) * 127 + 128, std::fabs(beta * 256 / 3.14L)};
    const int32_t actual[4] = {a(x, y).u, a(x, y).v, b(x, y).u, b(x, y).v};
    for (int k = 0; k < 4; ++k) {
      const long double value = values[k];
      if (std::fabs(value - std::round(value)) < 1e-6L) continue;
      ASSERT_EQ(actual[k], int32_t(value)) << x << "," << y << " field " << k;
      ++compared;
    }
  }
  EXPECT_GT(compared, 15000);
}

TEST_F(PolarTablesTest, InterferenceSaturatesAndFastEqualsReference) {
  Surface flat;
  flat.create(256, 256);
  flat.fill(0x40C8C8C8u);
  Surface target;
  target.create(320, 240);
  drawPolarInterference(target, flat, 1234.5f);
  for (uint32_t p : target.pixels) ASSERT_EQ(p, 0x80FFFFFFu);

  std::mt19937 random(8);
  const Surface texture = randomSurface(256, 256, random);
  Surface expected;
  expected.create(320, 240);
  for (float t : {0.0f, 77.25f, 2300.0f, 4449.99f, 16600.0f, -500.0f}) {
    plain::drawPolarInterference(expected, texture, t);
    drawPolarInterference(target, texture, t);
    ASSERT_EQ(target.pixels, expected.pixels) << t;
  }
}

TEST_F(PolarTablesTest, UnusableArgumentsDrawNothing) {
  Surface target, small;
  target.create(320, 240);
  target.fill(5);
  small.create(16, 16);
  drawPolarInterference(target, small, 10.0f);
  drawPolarInterference(target, target, std::nanf(""));
  for (uint32_t p : target.pixels) ASSERT_EQ(p, 5u);
}

TEST(CornerWarp, CornersAndEdgesFollowTheOscillatingCoordinates) {
  Surface texture, target;
  texture.create(256, 256);
  for (uint32_t i = 0; i < 65536; ++i) texture.pixels[i] = i;
  target.create(320, 240);
  for (float t : {0.0f, 950.0f, 1799.5f, 5000.0f}) {  // at 0 every corner reads texel (1, 1)
    drawCornerWarp(target, texture, t);
    // Corner values recomputed in long double with pi as 3.1415.
    const long double d = 3.1415L / 180, time = t;
    const long double amplitude = std::sin(time * 0.3L * d) * 256 + 512;
    auto f = [&](long double angle) { return int32_t(amplitude * (std::sin(angle) + 1) + 1); };
    const int32_t c0 = f(time * 0.2L * d), c1 = f(-time * 0.5L * d), c3 = f(-time * 0.3L * d);
    const int32_t c4 = f(time * 0.5L * d);
    EXPECT_EQ(target.pixels[0], uint32_t((c1 & 255) * 256 + (c0 & 255))) << t;
    // The last row's left pixel: 239 steps of the left edge.
    const int32_t u = (c0 << 16) + 239 * (((c3 - c0) << 16) / 240);
    const int32_t v = (c1 << 16) + 239 * (((c4 - c1) << 16) / 240);
    EXPECT_EQ(target.pixels[239 * 320], uint32_t(((v >> 16) & 255) * 256 + ((u >> 16) & 255))) << t;
  }
}

TEST(MultiplyWindows, MultipliesTwoIndependentWindows) {
  Surface a, b, target;
  a.create(640, 480);
  b.create(640, 480);
  a.fill(0xFFFFFFFFu);
  b.fill(0xFFFFFFFFu);
  target.create(320, 240);
  multiplyWindows(target, a, b, 9, 1, 311, 239);
  for (uint32_t p : target.pixels) ASSERT_EQ(p, 0xFEFEFEFEu);

  a.pixels[size_t((1 + 2) * 640 + 9 + 3)] = 0x80402010u;   // target (3, 2) from A's window
  b.pixels[size_t((239 + 2) * 640 + 311 + 3)] = 0x80808080u;  // and from B's
  multiplyWindows(target, a, b, 9, 1, 311, 239);
  EXPECT_EQ(target.pixels[2 * 320 + 3], 0x40201008u);
  EXPECT_EQ(target.pixels[2 * 320 + 4], 0xFEFEFEFEu);

  // A window that would leave a picture draws nothing.
  target.clear();
  multiplyWindows(target, a, b, 321, 0, 0, 0);
  multiplyWindows(target, a, b, 0, 241, 0, 0);
  for (uint32_t p : target.pixels) ASSERT_EQ(p, 0u);
}

}  // namespace
}  // namespace tarvola
