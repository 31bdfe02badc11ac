// The generated pictures, read back by an independent reader (ImageMagick): size, depth, the
// demo's loader agreeing pixel for pixel, the exact letterbox; two runs of the generator give
// the same bytes.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
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
  int channel(int x, int y, int c) const {
    return uint8_t(rgba[(size_t(y) * size_t(width) + size_t(x)) * 4 + size_t(c)]);
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
};
constexpr Expected kPictures[] = {
    {"loading.tga", 320, 240},       {"wscr.tga", 320, 240},          {"vok.tga", 256, 256},
    {"fade.tga", 320, 240},          {"cred.tga", 320, 240},          {"s02_tex6.tga", 256, 256},
    {"tex0132.tga", 256, 256},       {"tex01b2.tga", 256, 256},       {"tomsaenv2.tga", 256, 256},
    {"plasma1.tga", 640, 480},       {"plasma2.tga", 640, 480},       {"plat32.tga", 256, 256},
    {"plat_b2.tga", 256, 256},       {"s02_lightmap6.tga", 256, 256}, {"s02_tex7.tga", 256, 256},
    {"s02_lightmap2.tga", 256, 256},
};

// Every picture: ImageMagick sees a 32-bit TGA of the right size, and the demo's loader reads the
// same pixels upright with alpha 255.
TEST(DataSetPictures, ImageMagickAndTheLoaderAgree) {
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
    for (int i = 0; i < e.width * e.height; ++i) {
      const int x = i % e.width, y = i / e.width;
      const uint32_t expected = packColour(d.channel(x, y, 0), d.channel(x, y, 1), d.channel(x, y, 2), 255);
      mismatches += picture.pixels[size_t(i)] != expected || d.channel(x, y, 3) != 255;
    }
    EXPECT_EQ(mismatches, 0u);
  }
}

// The letterbox overlay is multiplied onto every frame: bars exactly black, band exactly white.
TEST(DataSetPictures, LetterboxBarsBlackBandWhite) {
  const Decoded box = decode("wscr.tga", 320, 240);
  for (int i = 0; i < 320 * 240 * 3; ++i)
    ASSERT_EQ(box.channel(i / 3 % 320, i / 960, i % 3), (i / 960 < 30 || i / 960 >= 210) ? 0 : 255) << i / 3;
}

// Two runs of the generator write the same bytes, file for file; the contact sheet option
// writes a PNG of the sixteen pictures in 320 x 274 cells, 4 by 4.
TEST(DataSetGenerator, TwoRunsGiveIdenticalBytes) {
  const testing::ScratchDir scratchDir;
  const fs::path& scratch = scratchDir.path();
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
}

}  // namespace
}  // namespace tarvola
