// Compositing: golden bytes worked out from the formulas on every vector path, the vector
// kernels against the per-byte reference on random data, and the bounds of the two-surface
// operations.
#include "surface/compositing.h"

#include <gtest/gtest.h>

#include <functional>
#include <random>

#include "support/test_support.h"

namespace tarvola {
namespace {

// Distinct bytes in every channel (a swap of channels shows) and targets that are not black
// (each term of a two-term formula shows), on 17 pixels: whole steps of every vector width
// plus a tail pixel, on every path this processor runs.
TEST(Compositing, GoldenBytes) {
  struct Case {
    uint32_t before, other;
    std::function<void(Surface&, Surface&)> op;
    uint32_t after;
  };
  const Case cases[] = {
      // c * 200 >> 8
      {0x80FF4010u, 0, [](Surface& a, Surface&) { a.scale(200); }, 0x64C7320Cu},
      {0xFFFFFFFFu, 0, [](Surface& a, Surface&) { a.scale(256); }, 0u},  // level byte 0
      // (c * 155 >> 8) + (colour * 100 >> 8)
      {0xFF80C040u, 0, [](Surface& a, Surface&) { a.fadeToColour(100, 0x12345678u); }, 0xA1619554u},
      {0, 0, [](Surface& a, Surface&) { a.fadeToColour(255, 0xFFFFFFFFu); }, 0xFEFEFEFEu},
      // target (t * 191 >> 8) + source (s * 64 >> 8)
      {0x40C81E64u, 0xFF80F008u, [](Surface& a, Surface& o) { o.blendOnto(a, 64); }, 0x6EB5524Cu},
      {0x12C8F0FFu, 0, [](Surface& a, Surface&) { a.brighten(64); }, 0x12FAFFFFu},
      {0x00FAFB05u, 0, [](Surface& a, Surface&) { a.addBrightness(10); }, 0x00FFFF0Fu},
      {0x7F102030u, 0, [](Surface& a, Surface&) { a.addBrightness(300); }, 0x7FFFFFFFu},  // whole, not a byte
      // t * s >> 8
      {0x80FF4010u, 0xC0208040u, [](Surface& a, Surface& o) { o.multiplyOnto(a); }, 0x601F2004u},
      {0xFF00FF80u, 0, [](Surface& a, Surface&) { a.invertBlend(255); }, 0x00FE007Eu},
      // (c*127 + (255-c)*128) >> 8: 127 for 0 and 128, 126 for 255
      {0xFF00FF80u, 0, [](Surface& a, Surface&) { a.invertBlend(128); }, 0x007F7E7Fu},
  };
  for (SimdPath path : availableSimdPaths()) {
    const ScopedSimdPath onPath(path);
    ASSERT_TRUE(onPath.active());
    for (size_t i = 0; i < std::size(cases); ++i) {
      Surface a, other;
      a.create(17, 1);
      a.fill(cases[i].before);
      other.create(17, 1);
      other.fill(cases[i].other);
      cases[i].op(a, other);
      EXPECT_EQ(a.pixels, std::vector<uint32_t>(17, cases[i].after)) << "case " << i << " path " << int(path);
    }
  }
}

TEST(Compositing, FastKernelsEqualReferenceOnRandomData) {
  std::mt19937 random(1234);
  for (SimdPath path : availableSimdPaths()) {  // every vector path this processor runs
    const ScopedSimdPath onPath(path);
    ASSERT_TRUE(onPath.active());
    for (size_t count : {1, 3, 4, 7, 33, 1001}) {
      for (int trial = 0; trial < 40; ++trial) {
        const uint32_t level = trial < 3 ? uint32_t(trial * 127) : random() & 0xFF;  // 0, 127, 254, random
        const uint32_t colour = random();
        const int32_t amount = int32_t(random() % 700) - 200;  // negative, in range and above 255
        std::vector<uint32_t> base(count), other(count);
        for (size_t i = 0; i < count; ++i) base[i] = random(), other[i] = random();
        const uint32_t* o = other.data();
        // Runs plain::name and fast::name with the given arguments after the pixels on copies.
#define EXPECT_KERNELS_AGREE(name, ...)                                                                    \
  {                                                                                                        \
    std::vector<uint32_t> expected = base, actual = base;                                                  \
    plain::name(expected.data(), __VA_ARGS__);                                                             \
    fast::name(actual.data(), __VA_ARGS__);                                                                \
    ASSERT_EQ(expected, actual) << #name " path " << int(path) << " count " << count << " level " << level \
                                << " amount " << amount;                                                   \
  }
        EXPECT_KERNELS_AGREE(scale, count, level);
        EXPECT_KERNELS_AGREE(fadeToColour, count, level, colour);
        EXPECT_KERNELS_AGREE(blend, o, count, level);
        EXPECT_KERNELS_AGREE(brighten, count, level);
        EXPECT_KERNELS_AGREE(addBrightness, count, amount);
        EXPECT_KERNELS_AGREE(multiply, o, count);
        EXPECT_KERNELS_AGREE(invertBlend, count, level);
#undef EXPECT_KERNELS_AGREE
      }
    }
  }
}

TEST(Compositing, TwoSurfaceOperationsStayInsideBothBuffers) {
  std::mt19937 random(7);
  Surface big = testing::randomSurface(9, 7, random), small, empty;
  small.create(5, 3);
  const std::vector<uint32_t> before = big.pixels;
  copySurface(big, small);  // walks big's 63 pixels, the target holds 15
  EXPECT_TRUE(std::equal(small.pixels.begin(), small.pixels.end(), big.pixels.begin()));
  big.multiplyOnto(small);
  big.blendOnto(small, 99);
  copySurface(empty, big);
  empty.multiplyOnto(big);
  empty.blendOnto(big, 1);
  empty.scale(3);
  EXPECT_EQ(big.pixels, before);
}

}  // namespace
}  // namespace tarvola
