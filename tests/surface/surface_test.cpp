// Surface basics: creation, clear/fill, packColour's wrapping and putPixel's strict bounds.
#include "surface/surface.h"

#include <gtest/gtest.h>

namespace tarvola {
namespace {

TEST(PackColour, PacksLowBytesInArgbOrderAndWraps) {
  EXPECT_EQ(packColour(255, 0, 0, 0), 0x00FF0000u);
  EXPECT_EQ(packColour(0, 0, 255, 0), 0x000000FFu);
  EXPECT_EQ(packColour(255, 255, 255, 255), 0xFFFFFFFFu);
  EXPECT_EQ(packColour(256, 1, 2, 3), 0x03000102u);
  EXPECT_EQ(packColour(-1, 0, 0, 0), 0x00FF0000u);
}

TEST(Surface, CreateClearFill) {
  Surface s;
  s.clear();  // never created: nothing to walk
  s.fill(0x12345678u);
  EXPECT_TRUE(s.pixels.empty());

  s.create(320, 240);
  ASSERT_EQ(s.pixels.size(), 76800u);
  for (uint32_t p : s.pixels) ASSERT_EQ(p, 0u);

  s.fill(0xDEADBEEFu);
  for (uint32_t p : s.pixels) ASSERT_EQ(p, 0xDEADBEEFu);
  s.clear();
  Surface filled;
  filled.create(320, 240);
  filled.fill(packColour(0, 0, 0, 0));
  EXPECT_EQ(s.pixels, filled.pixels);
}

TEST(PutPixel, StrictLowerBoundsInclusiveLastPixel) {
  Surface s;
  s.create(7, 5);
  putPixel(s, 0, 3, 1);
  putPixel(s, 3, 0, 1);
  putPixel(s, 7, 3, 1);
  putPixel(s, 3, 5, 1);
  putPixel(s, -1, -1, 1);
  for (uint32_t p : s.pixels) EXPECT_EQ(p, 0u);
  putPixel(s, 6, 4, 0xAABBCCDDu);
  EXPECT_EQ(s.pixels[4 * 7 + 6], 0xAABBCCDDu);
  putPixel(s, 1, 1, 2);
  EXPECT_EQ(s.pixels[1 * 7 + 1], 2u);
}

}  // namespace
}  // namespace tarvola
