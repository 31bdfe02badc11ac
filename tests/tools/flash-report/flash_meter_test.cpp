// The flash meter on small made-up sequences at 60 fps whose answers are worked out by hand: whole
// fields flickering at 4 Hz (8 transitions a second, over three flashes) and 2 Hz, a ramp in steps
// under 0.1, a flicker between bright states, patches just under and at a quarter of a field,
// and red alternations with and without a saturated red.
#include "flash_meter.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <vector>

namespace tarvola {
namespace {

struct Rgb {
  uint8_t r, g, b;
};
constexpr Rgb kBlack{0, 0, 0}, kWhite{255, 255, 255};

// The grey whose relative luminance is nearest `luminance` (the sRGB curve inverted).
Rgb greyOf(double luminance) {
  const double v = luminance <= 0.0031308 ? 12.92 * luminance : 1.055 * std::pow(luminance, 1 / 2.4) - 0.055;
  const auto g = uint8_t(std::lround(v * 255));
  return {g, g, g};
}

// 40 x 32 pictures, 20 x 16 fields every 4 pixels (a quarter is 80 pixels); 180 frames of
// colour(frame, x, y). The worst window of the whole run.
FlashWindow worstOf(const std::function<Rgb(int, int, int)>& colour) {
  FlashMeter meter(40, 32, FlashField{20, 16, 4}, 60);
  FlashWindow worst;
  std::vector<uint8_t> rgb(40 * 32 * 3);
  for (int k = 0; k < 180; ++k) {
    for (int i = 0; i < 40 * 32; ++i) {
      const Rgb c = colour(k, i % 40, i / 40);
      rgb[3 * i] = c.r, rgb[3 * i + 1] = c.g, rgb[3 * i + 2] = c.b;
    }
    const FlashWindow window = meter.add(rgb.data());
    if (window.transitions > worst.transitions) worst = window;
    worst.redTransitions = std::max(worst.redTransitions, window.redTransitions);
  }
  return worst;
}

// Two colours swapping at `hertz` cycles a second: the first while floor(2 * hertz * k / 60) is even.
std::function<Rgb(int, int, int)> flicker(double hertz, Rgb a, Rgb b) {
  return [=](int k, int, int) { return int(2 * hertz * k / 60) % 2 ? b : a; };
}

TEST(FlashMeter, CountsPeakToValleyTransitionsOverTheWholeField) {
  // 4 Hz: changes on frames 8, 15, 23, 30, ...: 8 in any 60 frames, 4 flashes.
  EXPECT_EQ(worstOf(flicker(4, kBlack, kWhite)).transitions, 8);
  EXPECT_EQ(worstOf(flicker(2, kBlack, kWhite)).transitions, 4);
  // Up in 0.05 steps to 0.45 and back, 20 frames a cycle: no step reaches 0.1, each ramp does:
  // 6 transitions a second, 3 flashes.
  const auto ramp = [](int k, int, int) { return greyOf(0.05 * (k % 20 < 10 ? k % 20 : 20 - k % 20)); };
  EXPECT_EQ(worstOf(ramp).transitions, 6);
  // White against a grey of luminance 0.83: a change of 0.17, but the darker state is not below 0.8.
  EXPECT_EQ(worstOf(flicker(4, greyOf(0.83), kWhite)).transitions, 0);
  EXPECT_EQ(worstOf(flicker(4, greyOf(0.75), kWhite)).transitions, 8);
  const FlashField field = tenDegreeField(320, 240);
  EXPECT_TRUE(field.width == 107 && field.height == 80) << field.width << " x " << field.height;
}

TEST(FlashMeter, AFlashMustCoverAQuarterOfAField) {
  // A 4 Hz patch of 8 x 9 = 72 pixels is under every field's quarter of 80; one of 10 x 8 at
  // (30, 20) fills it: the first field holding it on the grid starts at (20, 12).
  const auto patch = [](int width, int height) {
    return [=](int k, int x, int y) {
      const bool inside = x >= 30 && x < 30 + width && y >= 20 && y < 20 + height;
      return inside && int(8 * k / 60) % 2 ? kWhite : kBlack;
    };
  };
  EXPECT_EQ(worstOf(patch(8, 9)).transitions, 0);
  const FlashWindow quarter = worstOf(patch(10, 8));
  EXPECT_EQ(quarter.transitions, 8);
  EXPECT_TRUE(quarter.fieldX == 20 && quarter.fieldY == 12) << quarter.fieldX << "," << quarter.fieldY;
}

TEST(FlashMeter, RedFlashesNeedASaturatedRed) {
  // Pure red (luminance 0.2126) against the grey of the same luminance: no general flash, but
  // (R - G - B) x 320 swings between 320 and 0 and red is all of R + G + B.
  const FlashWindow red = worstOf(flicker(4, greyOf(0.2126), Rgb{255, 0, 0}));
  EXPECT_EQ(red.transitions, 0);
  EXPECT_EQ(red.redTransitions, 8);
  // Orange (255, 160, 0): a swing of 207, but R / (R + G + B) = 0.74, not a saturated red.
  const FlashWindow orange = worstOf(flicker(4, greyOf(0.4640), Rgb{255, 160, 0}));
  EXPECT_EQ(orange.transitions, 0);
  EXPECT_EQ(orange.redTransitions, 0);
}

}  // namespace
}  // namespace tarvola
