// Filters: golden values worked out by hand, the row blur against a direct windowed sum, the
// in-place blurs' visiting order, and every vector path's zoom blur against its per-byte reference.
#include "surface/filters.h"

#include <gtest/gtest.h>

#include <array>
#include <random>

#include "support/test_support.h"
#include "surface/compositing.h"

namespace tarvola {
namespace {

using testing::randomSurface;

uint32_t byteOf(uint32_t pixel, int i) { return (pixel >> (8 * i)) & 0xFF; }

TEST(BoxBlurRows, GoldenRowRadiusLimitsAndADirectWindowedSum) {
  Surface source, target, wide;
  source.create(3, 1);
  source.pixels = {10, 40, 70};
  target.create(3, 1);
  wide.create(3, 1);
  boxBlurRows(target, source, 1);
  // recip = 1/3 rounded to float is slightly above 1/3: 120 * recip gives 40, not 39.
  EXPECT_EQ(target.pixels, (std::vector<uint32_t>{16, 40, 36}));
  boxBlurRows(wide, source, 50);  // acts as radius 2: divisor 5
  EXPECT_EQ(wide.pixels, (std::vector<uint32_t>{24, 24, 24}));
  boxBlurRows(target, source, 0);
  EXPECT_EQ(target.pixels, source.pixels);

  std::mt19937 random(99);
  for (uint32_t radius : {1u, 2u, 7u, 24u}) {
    const Surface rows = randomSurface(37, 5, random);
    Surface blurred;
    blurred.create(37, 4);  // one row short: the blur stops at the smaller buffer
    boxBlurRows(blurred, rows, radius);
    const float recip = 1.0f / float(2 * radius + 1);
    for (int i = 0; i < 37 * 4; ++i) {
      const int x = i % 37, y = i / 37;
      for (int b = 0; b < 4; ++b) {
        uint32_t sum = 0;
        for (int k = std::max(0, x - int(radius)); k <= std::min(36, x + int(radius)); ++k)
          sum += byteOf(rows.pixels[size_t(y * 37 + k)], b);
        ASSERT_EQ(byteOf(blurred.pixels[size_t(i)], b), uint32_t(double(sum) * double(recip))) << radius << " " << i;
      }
    }
  }
  // Fast against reference: odd widths, radii past the width, a target narrower, shorter or taller.
  for (auto [w, h, tw, th] : {std::array{1, 1, 1, 1},
                              {2, 3, 2, 3},
                              {37, 5, 37, 4},
                              {320, 240, 320, 240},
                              {33, 7, 20, 9},
                              {9, 4, 30, 6},
                              {101, 3, 101, 3}}) {
    const Surface source = randomSurface(w, h, random);
    for (uint32_t radius : {0u, 1u, 2u, 7u, 16u, 50u, 200u, 1000u}) {
      Surface reference = randomSurface(tw, th, random), fastOne;
      const std::vector<uint32_t> before = reference.pixels;
      plain::boxBlurRows(reference, source, radius);
      for (SimdPath path : availableSimdPaths()) {  // every vector path this processor runs
        const ScopedSimdPath onPath(path);
        ASSERT_TRUE(onPath.active());
        fastOne.create(tw, th);
        fastOne.pixels = before;
        boxBlurRows(fastOne, source, radius);
        ASSERT_EQ(fastOne.pixels, reference.pixels) << w << "x" << h << " radius " << radius << " path " << int(path);
      }
    }
  }
}

TEST(CrossBlur, SpreadsRightAndDownAndFastEqualsReference) {
  Surface s;
  s.create(11, 11);
  s.pixels[5 * 11 + 5] = 250;
  crossBlur(s);
  // Blue of (x, y) for (4,5) (5,4) (5,5) (6,5) (5,6) (6,4) (4,6) (6,6) (4,4).
  const int spots[][3] = {{4, 5, 50}, {5, 4, 50}, {5, 5, 70}, {6, 5, 16}, {5, 6, 16},
                          {6, 4, 10}, {4, 6, 10}, {6, 6, 6},  {4, 4, 0}};
  for (const auto& [x, y, blue] : spots)
    EXPECT_EQ(s.pixels[size_t(y * 11 + x)] & 0xFF, uint32_t(blue)) << x << "," << y;

  std::mt19937 random(41);
  for (SimdPath path : availableSimdPaths()) {  // every vector path this processor runs
    const ScopedSimdPath onPath(path);
    ASSERT_TRUE(onPath.active());
    for (auto [w, h] : {std::pair{3, 3},
                        {4, 7},
                        {320, 240},
                        {33, 5},
                        {3, 4},
                        {5, 6},
                        {320, 239},
                        {17, 3},
                        {9, 10},
                        {10, 11},
                        {11, 13},
                        {4, 18},
                        {41, 19},
                        {8, 9},
                        {7, 12},
                        {25, 26}}) {
      Surface reference = randomSurface(w, h, random), fastOne;
      fastOne.create(w, h);
      fastOne.pixels = reference.pixels;
      plain::crossBlur(reference);
      crossBlur(fastOne);
      ASSERT_EQ(fastOne.pixels, reference.pixels) << w << "x" << h << " path " << int(path);
    }
  }
}

TEST(RadialZoomBlur, FastEqualsReferenceAndOutsideReadsDoNothing) {
  std::mt19937 random(17);
  const int32_t cases[][4] = {{160, 120, 1000, 24},   {10, 180, 2000, 32},   {310, 180, 2000, 32}, {0, 0, 1, 0},
                              {317, 237, 65535, 200}, {200, 40, 30000, 280}, {160, 120, 1000, 255}};
  for (SimdPath path : availableSimdPaths()) {  // every vector path this processor runs
    const ScopedSimdPath onPath(path);
    ASSERT_TRUE(onPath.active());
    for (const auto& [cx, cy, step, keep] : cases) {
      Surface reference = randomSurface(320, 240, random), fastOne;
      fastOne.create(320, 240);
      fastOne.pixels = reference.pixels;
      plain::radialZoomBlur(reference, cx, cy, step, keep);
      radialZoomBlur(fastOne, cx, cy, step, keep);
      ASSERT_EQ(fastOne.pixels, reference.pixels) << cx << "," << cy << " step " << step << " path " << int(path);
    }
  }
  Surface s = randomSurface(320, 240, random), narrow = randomSurface(100, 50, random);
  const std::vector<uint32_t> before = s.pixels, narrowBefore = narrow.pixels;
  radialZoomBlur(s, 318, 120, 1000, 24);  // centreX > width - 3
  radialZoomBlur(s, 160, 238, 1000, 24);  // centreY > height - 3
  radialZoomBlur(s, -1, 120, 1000, 24);
  radialZoomBlur(s, 160, 120, 0, 24);        // step 0 reaches a row past the buffer
  radialZoomBlur(narrow, 50, 25, 1000, 24);  // the sampler's rows are 320 wide
  EXPECT_EQ(s.pixels, before);
  EXPECT_EQ(narrow.pixels, narrowBefore);
}

}  // namespace
}  // namespace tarvola
