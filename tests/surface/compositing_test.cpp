// Compositing: golden bytes worked out from the formulas, the SSE2 kernels against the per-byte
// reference on random data, and the bounds of the two-surface operations.
#include "surface/compositing.h"

#include <gtest/gtest.h>

#include <random>

#include "support/test_support.h"

namespace tarvola {
namespace {

using testing::randomSurface;

// Five pixels: one SSE2 step plus a tail pixel, so both paths are exercised.
Surface row(uint32_t pixel) {
  Surface s;
  s.create(5, 1);
  s.fill(pixel);
  return s;
}

TEST(Compositing, GoldenBytes) {
  Surface a = row(0xFFFFFFFFu);
  a.scale(255);
  EXPECT_EQ(a.pixels[0], 0xFEFEFEFEu);
  EXPECT_EQ(a.pixels[4], 0xFEFEFEFEu);
  a = row(0xFFFFFFFFu);
  a.scale(256);  // level byte 0
  EXPECT_EQ(a.pixels[4], 0u);

  a = row(0xFFFFFFFFu);
  a.fadeToColour(0, 0x12345678u);
  EXPECT_EQ(a.pixels[0], 0xFEFEFEFEu);
  a = row(0);
  a.fadeToColour(255, 0xFFFFFFFFu);
  EXPECT_EQ(a.pixels[4], 0xFEFEFEFEu);

  Surface source = row(0xFF808080u), target = row(0);
  source.blendOnto(target, 64);
  EXPECT_EQ(target.pixels[0], 0x3F202020u);
  EXPECT_EQ(target.pixels[4], 0x3F202020u);

  a = row(0x12C8F0FFu);
  a.brighten(64);
  EXPECT_EQ(a.pixels[0], 0x12FAFFFFu);
  EXPECT_EQ(a.pixels[4], 0x12FAFFFFu);

  a = row(0x00FAFB05u);
  a.addBrightness(10);
  EXPECT_EQ(a.pixels[3], 0x00FFFF0Fu);
  a = row(0x7F102030u);
  a.addBrightness(300);  // used whole, not as a byte
  EXPECT_EQ(a.pixels[4], 0x7FFFFFFFu);

  Surface overlay = row(0xFFFFFFFFu);
  target = row(0xFFFFFFFFu);
  overlay.multiplyOnto(target);
  EXPECT_EQ(target.pixels[2], 0xFEFEFEFEu);
  overlay = row(0);
  overlay.multiplyOnto(target);
  EXPECT_EQ(target.pixels[4], 0u);

  a = row(0xFF00FF80u);
  a.invertBlend(255);
  EXPECT_EQ(a.pixels[0], 0x00FE007Eu);
  EXPECT_EQ(a.pixels[4], 0x00FE007Eu);
  a = row(0xFF00FF80u);
  a.invertBlend(128);  // (c*127 + (255-c)*128) >> 8: 127 for 0 and 128, 126 for 255
  EXPECT_EQ(a.pixels[1], 0x007F7E7Fu);
}

TEST(Compositing, FastKernelsEqualReferenceOnRandomData) {
  std::mt19937 random(1234);
  const size_t sizes[] = {1, 3, 4, 7, 33, 1001};
  for (SimdPath path : availableSimdPaths()) {  // every vector path this processor runs
  ASSERT_TRUE(useSimdPath(path));
  for (size_t count : sizes) {
    for (int trial = 0; trial < 40; ++trial) {
      const uint32_t level = trial < 3 ? uint32_t(trial * 127) : random() & 0xFF;  // 0, 127, 254, random
      const uint32_t colour = random();
      const int32_t amount = int32_t(random() % 700) - 200;  // negative, in range and above 255
      std::vector<uint32_t> base(count), other(count);
      for (size_t i = 0; i < count; ++i) base[i] = random(), other[i] = random();

      auto check = [&](const char* name, auto plainOp, auto fastOp) {
        std::vector<uint32_t> expected = base, actual = base;
        plainOp(expected.data());
        fastOp(actual.data());
        ASSERT_EQ(expected, actual) << name << " path " << int(path) << " count " << count << " level " << level << " amount " << amount;
      };
      check("scale", [&](uint32_t* p) { plain::scale(p, count, level); },
            [&](uint32_t* p) { fast::scale(p, count, level); });
      check("fadeToColour", [&](uint32_t* p) { plain::fadeToColour(p, count, level, colour); },
            [&](uint32_t* p) { fast::fadeToColour(p, count, level, colour); });
      check("blend", [&](uint32_t* p) { plain::blend(p, other.data(), count, level); },
            [&](uint32_t* p) { fast::blend(p, other.data(), count, level); });
      check("brighten", [&](uint32_t* p) { plain::brighten(p, count, level); },
            [&](uint32_t* p) { fast::brighten(p, count, level); });
      check("addBrightness", [&](uint32_t* p) { plain::addBrightness(p, count, amount); },
            [&](uint32_t* p) { fast::addBrightness(p, count, amount); });
      check("multiply", [&](uint32_t* p) { plain::multiply(p, other.data(), count); },
            [&](uint32_t* p) { fast::multiply(p, other.data(), count); });
      check("invertBlend", [&](uint32_t* p) { plain::invertBlend(p, count, level); },
            [&](uint32_t* p) { fast::invertBlend(p, count, level); });
    }
  }
  }
  useSimdPath(availableSimdPaths().back());
}

TEST(Compositing, TwoSurfaceOperationsStayInsideBothBuffers) {
  std::mt19937 random(7);
  Surface big = randomSurface(9, 7, random);
  Surface small;
  small.create(5, 3);
  small.fill(0x01020304u);
  const std::vector<uint32_t> before = big.pixels;

  copySurface(big, small);  // walks big's 63 pixels, the target holds 15
  EXPECT_TRUE(std::equal(small.pixels.begin(), small.pixels.end(), big.pixels.begin()));
  EXPECT_EQ(small.width, 5);  // the target keeps its size
  big.multiplyOnto(small);
  big.blendOnto(small, 99);
  EXPECT_EQ(small.pixels.size(), 15u);

  Surface empty;
  copySurface(empty, big);
  empty.multiplyOnto(big);
  empty.blendOnto(big, 1);
  empty.scale(3);
  empty.invertBlend(3);
  EXPECT_EQ(big.pixels, before);
}

}  // namespace
}  // namespace tarvola
