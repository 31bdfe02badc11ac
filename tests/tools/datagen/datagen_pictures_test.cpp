// The generated pictures, read back by an independent reader (ImageMagick): size, depth, the
// demo's loader agreeing pixel for pixel, a real spread of values, seamless tiles, the exact
// letterbox, the brightness ranges each picture's user relies on; two runs give the same bytes.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <string>

#include "support/test_support.h"
#include "surface/surface.h"

namespace tarvola {
namespace {

namespace fs = std::filesystem;
using testing::readFile;
using testing::runCommand;

const fs::path kDataDir = fs::path(TARVOLA_BINARY_DIR) / "data";

// A picture as ImageMagick decodes it: RGBA bytes, row 0 on top.
struct Decoded {
  int width = 0, height = 0;
  std::string rgba;
  int channel(int x, int y, int c) const { return uint8_t(rgba[(size_t(y) * size_t(width) + size_t(x)) * 4 + size_t(c)]); }
  float luma(int x, int y) const { return 0.299f * channel(x, y, 0) + 0.587f * channel(x, y, 1) + 0.114f * channel(x, y, 2); }
  // The share of colour bytes for which `predicate` holds.
  double fraction(const std::function<bool(int)>& predicate) const {
    size_t hits = 0;
    for (size_t i = 0; i < rgba.size(); ++i) hits += i % 4 != 3 && predicate(uint8_t(rgba[i]));
    return double(hits) / (double(width) * height * 3);
  }
  double mean(int c) const {
    double s = 0;
    for (size_t i = size_t(c); i < rgba.size(); i += 4) s += uint8_t(rgba[i]);
    return s / (double(width) * height);
  }
};

Decoded decode(const std::string& name, int width, int height) {
  Decoded d{width, height, runCommand("convert '" + (kDataDir / name).string() + "' -auto-orient -depth 8 rgba:-")};
  EXPECT_EQ(d.rgba.size(), size_t(width) * size_t(height) * 4) << name;
  d.rgba.resize(size_t(width) * size_t(height) * 4);
  return d;
}

struct Expected {
  const char* name;
  int width, height;
  bool tiles;
};
constexpr Expected kPictures[] = {
    {"loading.tga", 320, 240, false},  {"wscr.tga", 320, 240, false},      {"vok.tga", 256, 256, true},
    {"fade.tga", 320, 240, false},     {"cred.tga", 320, 240, false},      {"s02_tex6.tga", 256, 256, true},
    {"tex0132.tga", 256, 256, true},   {"tex01b2.tga", 256, 256, true},    {"tomsaenv2.tga", 256, 256, true},
    {"plasma1.tga", 640, 480, false},  {"plasma2.tga", 640, 480, false},   {"plat32.tga", 256, 256, true},
    {"plat_b2.tga", 256, 256, true},   {"s02_lightmap6.tga", 256, 256, false},
    {"s02_tex7.tga", 256, 256, false}, {"s02_lightmap2.tga", 256, 256, false},
};

// Every picture: ImageMagick sees a 32-bit TGA of the right size, the demo's loader reads the
// same pixels upright with alpha 255, the values are not flat, and tiles have no seam: the
// step across the wrap-around is no larger than the largest step inside (panels have a groove).
TEST(DataSetPictures, ImageMagickAndTheLoaderAgreeValuesSpreadTilesAreSeamless) {
  for (const Expected& e : kPictures) {
    SCOPED_TRACE(e.name);
    EXPECT_EQ(runCommand("identify -format '%m %w %h %z %[channels]' '" + (kDataDir / e.name).string() + "'"),
              "TGA " + std::to_string(e.width) + " " + std::to_string(e.height) + " 8 srgba");
    const Decoded d = decode(e.name, e.width, e.height);
    Surface picture;
    picture.loadTga((kDataDir / e.name).c_str());
    ASSERT_EQ(picture.width, e.width);
    ASSERT_EQ(picture.height, e.height);
    size_t mismatches = 0;
    double sum = 0, sumSquares = 0;
    for (int y = 0; y < e.height; ++y) {
      for (int x = 0; x < e.width; ++x) {
        mismatches += picture.pixels[size_t(y) * size_t(e.width) + size_t(x)] !=
                          packColour(d.channel(x, y, 0), d.channel(x, y, 1), d.channel(x, y, 2), 255) ||
                      d.channel(x, y, 3) != 255;
        sum += d.luma(x, y);
        sumSquares += d.luma(x, y) * d.luma(x, y);
      }
    }
    EXPECT_EQ(mismatches, 0u);
    const double n = double(e.width) * e.height, mean = sum / n;
    EXPECT_GT(std::sqrt(sumSquares / n - mean * mean), 8.0) << "flat picture";
    if (!e.tiles) continue;
    ASSERT_EQ(e.width, e.height);  // tiles are square
    // Mean step between columns a0 and a1 (or rows).
    auto step = [&](int a0, int a1, bool rows) {
      double s = 0;
      for (int i = 0; i < e.height; ++i)
        for (int c = 0; c < 3; ++c)
          s += rows ? std::abs(d.channel(i, a0, c) - d.channel(i, a1, c)) : std::abs(d.channel(a0, i, c) - d.channel(a1, i, c));
      return s / (e.height * 3);
    };
    for (bool rows : {false, true}) {
      double inner = 0;
      for (int i = 0; i + 1 < e.width; ++i) inner = std::max(inner, step(i, i + 1, rows));
      EXPECT_LE(step(e.width - 1, 0, rows), 1.05 * inner + 0.5) << (rows ? "rows" : "columns");
    }
  }
}

// The letterbox overlay is multiplied onto every frame: bars exactly black, band exactly white.
TEST(DataSetPictures, LetterboxBarsBlackBandWhite) {
  const Decoded d = decode("wscr.tga", 320, 240);
  for (int y = 0; y < 240; ++y)
    for (int x = 0; x < 320; ++x)
      for (int c = 0; c < 3; ++c) ASSERT_EQ(d.channel(x, y, c), (y < 30 || y >= 210) ? 0 : 255) << x << "," << y;
}

// Brightness ranges the scenes rely on.
TEST(DataSetPictures, BrightnessRangesForTheirUsers) {
  // Plasmas: mostly at least 96 so the tunnel never goes black; one warm, one cool.
  const Decoded p1 = decode("plasma1.tga", 640, 480), p2 = decode("plasma2.tga", 640, 480);
  EXPECT_GT(p1.fraction([](int v) { return v >= 96; }), 0.97);
  EXPECT_GT(p2.fraction([](int v) { return v >= 96; }), 0.97);
  EXPECT_GT(p1.mean(0), p1.mean(2) + 10);
  EXPECT_GT(p2.mean(2), p2.mean(0) + 10);
  // Two polar interference lookups are added: bytes mostly at most 128.
  EXPECT_GT(decode("s02_tex6.tga", 256, 256).fraction([](int v) { return v <= 128; }), 0.95);
  // Credits: bright lettering in the lower half, inside the letterbox's band (rows 30 to 209).
  const Decoded cred = decode("cred.tga", 320, 240);
  size_t upper = 0, lower = 0, underBars = 0;
  for (int y = 0; y < 240; ++y) {
    for (int x = 0; x < 320; ++x) {
      const bool bright = cred.luma(x, y) > 100.0f;
      (y < 140 ? upper : lower) += bright;
      underBars += bright && (y < 30 || y >= 210);
    }
  }
  EXPECT_GT(lower, 800u);
  EXPECT_LT(upper * 20, lower);
  EXPECT_EQ(underBars, 0u);
}

// Two runs of the generator write the same bytes, file for file; the contact sheet option
// writes a PNG of the sixteen pictures in 320 x 274 cells, 4 by 4.
TEST(DataSetGenerator, TwoRunsGiveIdenticalBytes) {
  const fs::path scratch = fs::path(TARVOLA_BINARY_DIR) / "datagen_determinism";
  fs::remove_all(scratch);
  const std::string tool = (fs::path(TARVOLA_BINARY_DIR) / "tarvola-datagen").string();
  const std::string sheet = (scratch / "sheet.png").string();
  ASSERT_EQ(std::system((tool + " '" + (scratch / "a").string() + "' --contact-sheet '" + sheet + "'").c_str()), 0);
  ASSERT_EQ(std::system((tool + " '" + (scratch / "b").string() + "'").c_str()), 0);
  size_t files = 0;
  for (const auto& entry : fs::directory_iterator(scratch / "a")) {
    EXPECT_TRUE(readFile(entry.path()) == readFile(scratch / "b" / entry.path().filename())) << entry.path();
    ++files;
  }
  EXPECT_GE(files, 17u);  // sixteen pictures and the box
  EXPECT_EQ(runCommand("identify -format '%m %w %h' '" + sheet + "'"), "PNG 1300 1116");
  fs::remove_all(scratch);
}

}  // namespace
}  // namespace tarvola
