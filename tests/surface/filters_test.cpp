// Filters: golden values worked out by hand, the row blur against a direct windowed sum, the
// in-place blurs' visiting order, and every vector path's zoom blur against its per-byte reference.
#include "surface/filters.h"

#include <gtest/gtest.h>

#include <random>

#include "support/test_support.h"
#include "surface/compositing.h"

namespace tarvola {
namespace {

using testing::byteOf;
using testing::randomSurface;

Surface blueRow(std::initializer_list<uint32_t> blues) {
  Surface s;
  s.create(int32_t(blues.size()), 1);
  size_t i = 0;
  for (uint32_t b : blues) s.pixels[i++] = b;
  return s;
}

TEST(BoxBlurRows, GoldenRowAndRadiusLimits) {
  const Surface source = blueRow({10, 40, 70});
  Surface target;
  target.create(3, 1);
  boxBlurRows(target, source, 1);
  // recip = 1/3 rounded to float is slightly above 1/3: 120 * recip gives 40, not 39.
  EXPECT_EQ(target.pixels[0], 16u);
  EXPECT_EQ(target.pixels[1], 40u);
  EXPECT_EQ(target.pixels[2], 36u);

  Surface wide;
  wide.create(3, 1);
  boxBlurRows(wide, source, 50);  // acts as radius 2: divisor 5
  EXPECT_EQ(wide.pixels[0], 24u);
  EXPECT_EQ(wide.pixels[1], 24u);

  boxBlurRows(target, source, 0);
  EXPECT_EQ(target.pixels, source.pixels);
}

TEST(BoxBlurRows, EqualsADirectWindowedSumOnRandomRows) {
  std::mt19937 random(99);
  for (uint32_t radius : {1u, 2u, 7u, 16u, 24u}) {
    const Surface source = randomSurface(37, 5, random);
    Surface target;
    target.create(37, 5);
    boxBlurRows(target, source, radius);
    const float recip = 1.0f / float(2 * radius + 1);
    for (int y = 0; y < 5; ++y) {
      for (int x = 0; x < 37; ++x) {
        for (int b = 0; b < 4; ++b) {
          uint32_t sum = 0;
          for (int k = std::max(0, x - int(radius)); k <= std::min(36, x + int(radius)); ++k) {
            sum += byteOf(source.pixels[size_t(y * 37 + k)], b);
          }
          ASSERT_EQ(byteOf(target.pixels[size_t(y * 37 + x)], b), uint32_t(double(sum) * double(recip)))
              << "radius " << radius << " at " << x << "," << y;
        }
      }
    }
  }
}

TEST(BoxBlurRows, StopsAtTheSmallerBuffer) {
  std::mt19937 random(5);
  const Surface source = randomSurface(16, 8, random);
  Surface target;
  target.create(16, 3);
  boxBlurRows(target, source, 3);
  boxBlurRows(target, source, 0);
  EXPECT_EQ(target.pixels.size(), 48u);
}

TEST(CrossBlur, SpreadsRightAndDownFromOnePoint) {
  Surface s;
  s.create(11, 11);
  s.pixels[5 * 11 + 5] = 250;
  crossBlur(s);
  auto blue = [&](int x, int y) { return s.pixels[size_t(y * 11 + x)] & 0xFF; };
  EXPECT_EQ(blue(4, 5), 50u);
  EXPECT_EQ(blue(5, 4), 50u);
  EXPECT_EQ(blue(5, 5), 70u);
  EXPECT_EQ(blue(6, 5), 16u);
  EXPECT_EQ(blue(5, 6), 16u);
  EXPECT_EQ(blue(6, 4), 10u);
  EXPECT_EQ(blue(4, 6), 10u);
  EXPECT_EQ(blue(6, 6), 6u);
  EXPECT_EQ(blue(4, 4), 0u);
}

TEST(CrossBlur, KeepsBorderTopBytesAndUniformPictures) {
  std::mt19937 random(11);
  Surface s = randomSurface(3, 3, random);
  const std::vector<uint32_t> before = s.pixels;
  crossBlur(s);
  for (size_t i = 0; i < 9; ++i) {
    if (i != 4) {
      EXPECT_EQ(s.pixels[i], before[i]);
    }
  }
  EXPECT_EQ(s.pixels[4] >> 24, before[4] >> 24);

  Surface uniform;
  uniform.create(9, 6);
  uniform.fill(0x80C86432u);
  crossBlur(uniform);
  for (uint32_t p : uniform.pixels) EXPECT_EQ(p, 0x80C86432u);
}

TEST(CrossBlur, FastEqualsReferenceOnRandomPictures) {
  std::mt19937 random(41);
  for (auto [w, h] : {std::pair{3, 3}, {4, 7}, {320, 240}, {33, 5}, {3, 4}, {5, 6}, {320, 239}, {17, 3}}) {
    Surface reference = randomSurface(w, h, random);
    Surface fastOne;
    fastOne.create(w, h);
    fastOne.pixels = reference.pixels;
    plain::crossBlur(reference);
    crossBlur(fastOne);
    ASSERT_EQ(fastOne.pixels, reference.pixels) << w << "x" << h;
  }
}

TEST(SampleBilinear320, AtPixelsAndHalfway) {
  Surface s;
  s.create(320, 3);
  s.pixels[320 + 7] = 0xFFFF8040u;
  EXPECT_EQ(sampleBilinear320(s.pixels.data(), 7 << 16, 1 << 16), 0xFEFE7F3Fu);
  // At fx = fy = 32768 the weights are 63 or 64: ((65535-32768)^2) >> 24 = 63, (32768^2) >> 24 = 64.
  s.pixels[320 + 8] = s.pixels[640 + 7] = s.pixels[640 + 8] = 0xFFFF8040u;
  const uint32_t mixed = sampleBilinear320(s.pixels.data(), (7 << 16) + 32768, (1 << 16) + 32768);
  const uint32_t expected = 255 * 63 / 256 * 2 + 255 * 63 / 256 + 255 * 64 / 256;  // 62 + 62 + 62 + 63
  EXPECT_EQ(mixed >> 24, expected);
}

TEST(RadialZoomBlur, KeepAllDarkensByOneStepWhateverTheStep) {
  std::mt19937 random(3);
  Surface s = randomSurface(320, 240, random);
  const std::vector<uint32_t> before = s.pixels;
  radialZoomBlur(s, 160, 120, 1000, 255);
  for (size_t i = 0; i < before.size(); i += 97) {
    for (int b = 0; b < 4; ++b) ASSERT_EQ(byteOf(s.pixels[i], b), (byteOf(before[i], b) * 255) >> 8);
  }
}

TEST(RadialZoomBlur, FastEqualsReferenceOnRandomPictures) {
  std::mt19937 random(17);
  struct Case {
    int32_t cx, cy, step, keep;
  };
  const Case cases[] = {{160, 120, 1000, 24}, {10, 180, 2000, 32}, {310, 180, 2000, 32}, {0, 0, 1, 0},
                        {317, 237, 65535, 200}, {200, 40, 30000, 280}};
  for (SimdPath path : availableSimdPaths())
  for (const Case& c : cases) {
    ASSERT_TRUE(useSimdPath(path));
    Surface reference = randomSurface(320, 240, random);
    Surface fastOne;
    fastOne.create(320, 240);
    fastOne.pixels = reference.pixels;
    plain::radialZoomBlur(reference, c.cx, c.cy, c.step, c.keep);
    radialZoomBlur(fastOne, c.cx, c.cy, c.step, c.keep);
    ASSERT_EQ(fastOne.pixels, reference.pixels) << c.cx << "," << c.cy << " step " << c.step << " path " << int(path);
  }
  useSimdPath(availableSimdPaths().back());
}

TEST(RadialZoomBlur, ArgumentsThatWouldReadOutsideDoNothing) {
  std::mt19937 random(23);
  Surface s = randomSurface(320, 240, random);
  const std::vector<uint32_t> before = s.pixels;
  radialZoomBlur(s, 318, 120, 1000, 24);  // centreX > width - 3
  radialZoomBlur(s, 160, 238, 1000, 24);  // centreY > height - 3
  radialZoomBlur(s, -1, 120, 1000, 24);
  radialZoomBlur(s, 160, 120, 0, 24);  // step 0 reaches a row past the buffer
  Surface narrow = randomSurface(100, 50, random);
  radialZoomBlur(narrow, 50, 25, 1000, 24);  // the sampler's rows are 320 wide
  EXPECT_EQ(s.pixels, before);
}

}  // namespace
}  // namespace tarvola
