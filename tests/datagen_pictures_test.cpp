// The generated pictures, read back by an independent reader (ImageMagick): size, depth and
// layout as the TGA loader expects them, a real spread of values, seamless tiles, and the
// brightness ranges each picture's user relies on. Also: two generator runs give the same bytes.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "surface/surface.h"

namespace tarvola {
namespace {

namespace fs = std::filesystem;

const fs::path kDataDir = fs::path(TARVOLA_BINARY_DIR) / "data";

std::string runCommand(const std::string& command) {
  std::string out;
  if (FILE* pipe = popen(command.c_str(), "r")) {
    char buffer[65536];
    size_t n;
    while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0) out.append(buffer, n);
    pclose(pipe);
  }
  return out;
}

std::vector<uint8_t> readBytes(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// A picture as ImageMagick decodes it: RGBA bytes, row 0 on top.
struct Decoded {
  int width = 0, height = 0;
  std::vector<uint8_t> rgba;
  const uint8_t* at(int x, int y) const { return &rgba[(size_t(y) * size_t(width) + size_t(x)) * 4]; }
  int channel(int x, int y, int c) const { return at(x, y)[c]; }
  float luma(int x, int y) const { return 0.299f * at(x, y)[0] + 0.587f * at(x, y)[1] + 0.114f * at(x, y)[2]; }
};

Decoded decode(const std::string& name, int width, int height) {
  Decoded d;
  d.width = width;
  d.height = height;
  const std::string out = runCommand("convert '" + (kDataDir / name).string() + "' -auto-orient -depth 8 rgba:-");
  d.rgba.assign(out.begin(), out.end());
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

// Every picture: ImageMagick sees a 32-bit TGA of the right size; the raw file is the narrow
// form the loader reads (no ID, no colour map, type 2, rows bottom first, alpha 255), and its
// pixels decode to the same image ImageMagick shows; the values are not flat.
TEST(DataSetPictures, ReadBackByImageMagickWithSizeDepthAndSpread) {
  for (const Expected& e : kPictures) {
    SCOPED_TRACE(e.name);
    const std::string info =
        runCommand("identify -format '%m %w %h %z %[channels]' '" + (kDataDir / e.name).string() + "'");
    EXPECT_EQ(info, "TGA " + std::to_string(e.width) + " " + std::to_string(e.height) + " 8 srgba");

    const std::vector<uint8_t> file = readBytes(kDataDir / e.name);
    ASSERT_EQ(file.size(), 18 + size_t(e.width) * size_t(e.height) * 4);
    EXPECT_EQ(file[0], 0);   // no image ID
    EXPECT_EQ(file[1], 0);   // no colour map
    EXPECT_EQ(file[2], 2);   // uncompressed true colour
    EXPECT_EQ(file[12] | file[13] << 8, e.width);
    EXPECT_EQ(file[14] | file[15] << 8, e.height);
    EXPECT_EQ(file[16], 32);
    EXPECT_EQ(file[17] & 0x20, 0);  // bottom row first

    const Decoded d = decode(e.name, e.width, e.height);
    ASSERT_EQ(d.rgba.size(), size_t(e.width) * size_t(e.height) * 4);
    size_t mismatches = 0;
    double sum = 0, sumSquares = 0;
    for (int y = 0; y < e.height; ++y) {
      const uint8_t* fileRow = &file[18 + size_t(e.height - 1 - y) * size_t(e.width) * 4];
      for (int x = 0; x < e.width; ++x) {
        const uint8_t* p = d.at(x, y);
        const uint8_t* q = fileRow + size_t(x) * 4;  // blue, green, red, alpha
        mismatches += p[0] != q[2] || p[1] != q[1] || p[2] != q[0] || p[3] != 255 || q[3] != 255;
        const double l = d.luma(x, y);
        sum += l;
        sumSquares += l * l;
      }
    }
    EXPECT_EQ(mismatches, 0u);
    const double n = double(e.width) * e.height, mean = sum / n;
    EXPECT_GT(std::sqrt(sumSquares / n - mean * mean), 8.0) << "flat picture";
  }
}

// The demo's own loader puts every picture upright: its pixels equal ImageMagick's reading,
// with the top byte 255.
TEST(DataSetPictures, DemoLoaderReadsThemUpright) {
  for (const Expected& e : kPictures) {
    SCOPED_TRACE(e.name);
    Surface picture;
    picture.loadTga((kDataDir / e.name).c_str());
    ASSERT_EQ(picture.width, e.width);
    ASSERT_EQ(picture.height, e.height);
    const Decoded d = decode(e.name, e.width, e.height);
    ASSERT_EQ(d.rgba.size(), size_t(e.width) * size_t(e.height) * 4);
    size_t mismatches = 0;
    for (int y = 0; y < e.height; ++y) {
      for (int x = 0; x < e.width; ++x) {
        const uint8_t* p = d.at(x, y);
        mismatches += picture.pixels[size_t(y) * size_t(e.width) + size_t(x)] != packColour(p[0], p[1], p[2], 255);
      }
    }
    EXPECT_EQ(mismatches, 0u);
  }
}

// Seamless tiles: the step across the wrap-around seam is no larger than the steps between
// neighbouring columns (rows) inside the picture. (Panel pictures have a groove on the seam,
// so the bound is the largest inner step, not the average.)
TEST(DataSetPictures, TilesAreSeamless) {
  for (const Expected& e : kPictures) {
    if (!e.tiles) continue;
    SCOPED_TRACE(e.name);
    const Decoded d = decode(e.name, e.width, e.height);
    ASSERT_EQ(d.rgba.size(), size_t(e.width) * size_t(e.height) * 4);
    auto columnStep = [&](int x0, int x1) {
      double s = 0;
      for (int y = 0; y < e.height; ++y)
        for (int c = 0; c < 3; ++c) s += std::abs(d.channel(x0, y, c) - d.channel(x1, y, c));
      return s / (e.height * 3);
    };
    auto rowStep = [&](int y0, int y1) {
      double s = 0;
      for (int x = 0; x < e.width; ++x)
        for (int c = 0; c < 3; ++c) s += std::abs(d.channel(x, y0, c) - d.channel(x, y1, c));
      return s / (e.width * 3);
    };
    double columns = 0, rows = 0;
    for (int i = 0; i + 1 < e.width; ++i) columns = std::max(columns, columnStep(i, i + 1));
    for (int i = 0; i + 1 < e.height; ++i) rows = std::max(rows, rowStep(i, i + 1));
    EXPECT_LE(columnStep(e.width - 1, 0), 1.05 * columns + 0.5);
    EXPECT_LE(rowStep(e.height - 1, 0), 1.05 * rows + 0.5);
  }
}

// The letterbox overlay is multiplied onto every frame: bars exactly black, band exactly white.
TEST(DataSetPictures, LetterboxBarsBlackBandWhite) {
  const Decoded d = decode("wscr.tga", 320, 240);
  ASSERT_EQ(d.rgba.size(), 320u * 240u * 4u);
  for (int y = 0; y < 240; ++y) {
    const int expected = (y < 30 || y >= 210) ? 0 : 255;
    for (int x = 0; x < 320; ++x) {
      for (int c = 0; c < 3; ++c) ASSERT_EQ(d.channel(x, y, c), expected) << x << "," << y;
    }
  }
  // The raw file too: the top bar is the file's last 30 rows.
  const std::vector<uint8_t> file = readBytes(kDataDir / "wscr.tga");
  ASSERT_EQ(file.size(), 18u + 320u * 240u * 4u);
  EXPECT_EQ(file[18 + 4 * (239 * 320)], 0);        // top row
  EXPECT_EQ(file[18 + 4 * (120 * 320)], 255);      // middle
  EXPECT_EQ(file[18 + 4 * (0 * 320) + 2], 0);      // bottom row
}

// Brightness ranges the scenes rely on.
TEST(DataSetPictures, BrightnessRangesForTheirUsers) {
  auto fraction = [](const Decoded& d, auto predicate) {
    size_t hits = 0;
    for (int y = 0; y < d.height; ++y)
      for (int x = 0; x < d.width; ++x)
        for (int c = 0; c < 3; ++c) hits += predicate(d.channel(x, y, c));
    return double(hits) / (double(d.width) * d.height * 3);
  };
  auto meanChannel = [](const Decoded& d, int c) {
    double s = 0;
    for (int y = 0; y < d.height; ++y)
      for (int x = 0; x < d.width; ++x) s += d.channel(x, y, c);
    return s / (double(d.width) * d.height);
  };
  {  // The vignette mask: black in the middle, bright toward the corners.
    const Decoded d = decode("fade.tga", 320, 240);
    for (int c = 0; c < 3; ++c) EXPECT_EQ(d.channel(160, 120, c), 0);
    EXPECT_GT(d.luma(0, 0), 120.0f);
    EXPECT_GT(d.luma(319, 239), 120.0f);
    EXPECT_LT(d.luma(160, 100), d.luma(160, 20));
  }
  {  // Plasmas: mostly at least 96 so the tunnel never goes black; different hues.
    const Decoded a = decode("plasma1.tga", 640, 480), b = decode("plasma2.tga", 640, 480);
    EXPECT_GT(fraction(a, [](int v) { return v >= 96; }), 0.97);
    EXPECT_GT(fraction(b, [](int v) { return v >= 96; }), 0.97);
    EXPECT_GT(meanChannel(a, 0), meanChannel(a, 2) + 10);  // warm
    EXPECT_GT(meanChannel(b, 2), meanChannel(b, 0) + 10);  // cool
  }
  {  // Polar interference texture: two lookups are added, so bytes mostly at most 128.
    const Decoded d = decode("s02_tex6.tga", 256, 256);
    EXPECT_GT(fraction(d, [](int v) { return v <= 128; }), 0.95);
  }
  {  // Chrome environment: colour bytes at most 160.
    const Decoded d = decode("s02_tex7.tga", 256, 256);
    EXPECT_EQ(fraction(d, [](int v) { return v > 160; }), 0.0);
  }
  {  // Box light map: bright, slightly warm centre, falling toward the rim.
    const Decoded d = decode("s02_lightmap6.tga", 256, 256);
    EXPECT_GT(d.luma(128, 128), 235.0f);
    EXPECT_GT(d.channel(128, 128, 0), d.channel(128, 128, 2));
    EXPECT_LT(d.luma(128, 8), d.luma(128, 64));
    EXPECT_LT(d.luma(128, 64), d.luma(128, 128));
  }
  {  // Metaball highlight: black rim, bright centre.
    const Decoded d = decode("s02_lightmap2.tga", 256, 256);
    EXPECT_GT(d.luma(128, 128), 240.0f);
    EXPECT_LT(d.luma(0, 0), 8.0f);
    EXPECT_LT(d.luma(128, 1), 16.0f);
  }
  {  // Tunnel wall: moderate, since the environment map is added.
    const Decoded d = decode("tex0132.tga", 256, 256);
    const double mean = (meanChannel(d, 0) + meanChannel(d, 1) + meanChannel(d, 2)) / 3;
    EXPECT_GT(mean, 40.0);
    EXPECT_LT(mean, 140.0);
  }
  {  // Title and credits: dark pictures with bright lettering; the credits in the lower half.
    const Decoded l = decode("loading.tga", 320, 240), c = decode("cred.tga", 320, 240);
    EXPECT_LT(fraction(l, [](int v) { return v > 64; }), 0.15);
    EXPECT_GT(fraction(l, [](int v) { return v > 200; }), 0.005);
    // The credits sit in the lower half but inside the letterbox's band (rows 30 to 209).
    size_t upper = 0, lower = 0, underBars = 0;
    for (int y = 0; y < 240; ++y) {
      for (int x = 0; x < 320; ++x) {
        const bool bright = c.luma(x, y) > 100.0f;
        (y < 140 ? upper : lower) += bright;
        underBars += bright && (y < 30 || y >= 210);
      }
    }
    EXPECT_GT(lower, 800u);
    EXPECT_LT(upper * 20, lower);
    EXPECT_EQ(underBars, 0u);
  }
}

// Height maps (red channel) are grey, and their slopes are gentle: neighbour differences
// mostly at most 24, so the displaced lookups show relief rather than noise.
TEST(DataSetPictures, HeightMapsHaveGentleSlopes) {
  for (const char* name : {"plat_b2.tga", "tex01b2.tga"}) {
    SCOPED_TRACE(name);
    const Decoded d = decode(name, 256, 256);
    ASSERT_EQ(d.rgba.size(), 256u * 256u * 4u);
    size_t steep = 0, grey = 0;
    int lowest = 255, highest = 0;
    for (int y = 0; y < 256; ++y) {
      for (int x = 0; x < 256; ++x) {
        const int h = d.channel(x, y, 0);
        lowest = std::min(lowest, h);
        highest = std::max(highest, h);
        grey += h == d.channel(x, y, 1) && h == d.channel(x, y, 2);
        steep += std::abs(d.channel((x + 1) & 255, y, 0) - h) > 24;
        steep += std::abs(d.channel(x, (y + 1) & 255, 0) - h) > 24;
      }
    }
    EXPECT_EQ(grey, 65536u);
    EXPECT_GT(highest - lowest, 100);
    EXPECT_LT(double(steep) / (2 * 65536), 0.03);
  }
}

// Two runs of the generator write the same bytes, file for file; the contact sheet option
// writes a PNG of the whole set.
TEST(DataSetGenerator, TwoRunsGiveIdenticalBytes) {
  const fs::path scratch = fs::path(TARVOLA_BINARY_DIR) / "datagen_determinism";
  fs::remove_all(scratch);
  const std::string tool = (fs::path(TARVOLA_BINARY_DIR) / "tarvola-datagen").string();
  const std::string sheet = (scratch / "sheet.png").string();
  ASSERT_EQ(std::system((tool + " '" + (scratch / "a").string() + "' --contact-sheet '" + sheet + "'").c_str()), 0);
  ASSERT_EQ(std::system((tool + " '" + (scratch / "b").string() + "'").c_str()), 0);
  size_t files = 0;
  for (const auto& entry : fs::directory_iterator(scratch / "a")) {
    SCOPED_TRACE(entry.path().filename().string());
    const fs::path other = scratch / "b" / entry.path().filename();
    ASSERT_TRUE(fs::exists(other));
    EXPECT_TRUE(readBytes(entry.path()) == readBytes(other));
    ++files;
  }
  EXPECT_GE(files, 17u);  // sixteen pictures and the box, whatever else is written
  // The contact sheet: a PNG with a 320 x 274 cell for each of the sixteen pictures, 4 by 4.
  EXPECT_EQ(runCommand("identify -format '%m %w %h' '" + sheet + "'"), "PNG 1300 1116");
  fs::remove_all(scratch);
}

}  // namespace
}  // namespace tarvola
