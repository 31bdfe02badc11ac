// 2D generators: golden entries of the polar tables, the interference's fast path against its
// reference, and calls whose surfaces are too small, windows outside, or time not a number.
#include "surface/generators.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>

#include "support/test_support.h"

namespace tarvola {
namespace {

TEST(PolarTables, GoldenEntriesAndInterferenceFastEqualsReference) {
  PolarTables tables;
  buildPolarTables(tables);
  // (table, x, y, u, v); the far corner's values show the 3.14 and 3.1415.
  const int32_t golden[][5] = {{0, 320, 240, 0, 128}, {1, 320, 240, 128, 0},  {0, 320, 0, 256, 128},
                               {1, 0, 240, 128, 256}, {0, 639, 479, 75, 249}, {1, 639, 479, 249, 52}};
  for (const auto& [table, x, y, u, v] : golden) {
    const PolarEntry e = (table == 0 ? tables.tableA : tables.tableB)[size_t(y * 640 + x)];
    EXPECT_TRUE(e.u == u && e.v == v) << table << " " << x << "," << y;
  }
  std::mt19937 random(8);
  const Surface texture = testing::randomSurface(256, 256, random);
  Surface target, expected;
  target.create(320, 240);
  expected.create(320, 240);
  for (float t : {0.0f, 77.25f, 2300.0f, 4449.99f, 16600.0f, -500.0f}) {
    plain::drawPolarInterference(expected, texture, tables, t);
    drawPolarInterference(target, texture, tables, t);
    ASSERT_EQ(target.pixels, expected.pixels) << t;
  }
  const std::vector<uint32_t> before = target.pixels;
  Surface small;
  small.create(16, 16);
  drawPolarInterference(target, small, tables, 10.0f);
  drawPolarInterference(target, texture, tables, std::nanf(""));
  EXPECT_EQ(target.pixels, before);
}

TEST(MultiplyWindows, WindowsOutsideThePicturesDrawNothing) {
  Surface a, b, target;
  a.create(640, 480);
  b.create(640, 480);
  target.create(320, 240);
  target.fill(5);
  multiplyWindows(target, a, b, 321, 0, 0, 0);
  multiplyWindows(target, a, b, 0, 241, 0, 0);
  EXPECT_EQ(target.pixels, std::vector<uint32_t>(320 * 240, 5u));
}

}  // namespace
}  // namespace tarvola
