// Block-interpolated ray grid: the lane combine of texture, environment and shade against the
// plain per-byte rule (the tunnel's frames show the rest).
#include "surface/ray_grid.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <limits>
#include <random>

namespace tarvola {
namespace {

TEST(RayGrid, LaneCombineEqualsThePlainPixelRule) {
  std::mt19937 rng(99);
  for (int trial = 0; trial < 1000000; ++trial) {
    const uint32_t t = rng(), e = rng();
    const int32_t shade = int32_t(trial < 256 * 4 ? trial / 4 : rng() & 255);
    ASSERT_EQ(combineTexels(t, e, uint32_t(shade)), combineTexelsPlain(t, e, shade)) << std::hex << t << " " << e;
  }
  for (int trial = 0; trial < 20000; ++trial) {  // eight at a time (the vector path where there is one)
    uint32_t texels[8], envTexels[8], out[8];
    int32_t shades[8];
    for (int i = 0; i < 8; ++i) texels[i] = rng(), envTexels[i] = rng(), shades[i] = int32_t(rng() & 255);
    combineTexelRow(texels, envTexels, shades, out);
    for (int i = 0; i < 8; ++i) ASSERT_EQ(out[i], combineTexelsPlain(texels[i], envTexels[i], shades[i]));
  }
  // Blue 0xF0 + 0x20 saturates, green 0x30 + 0x10, red 0x80 + 0x90 saturates, top kept.
  EXPECT_EQ(combineTexelsPlain(0x408030F0u, 0x30901020u, 128), 0x707F207Fu);
}

}  // namespace
}  // namespace tarvola
