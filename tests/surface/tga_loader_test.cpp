// TGA loading: hand-made files (the turn, the forced top bytes, the spare rows, damaged files)
// and round trips through ImageMagick, an independent reader and writer.
#include "surface/tga_loader.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "support/test_support.h"

namespace tarvola {
namespace {

namespace fs = std::filesystem;
using testing::MessageRecorder;

// An 18-byte header followed by the given pixel words (little-endian: blue, green, red, alpha).
std::vector<uint8_t> tgaBytes(int width, int height, int depth, const std::vector<uint32_t>& pixels,
                              uint8_t imageType = 2, uint8_t descriptor = 8) {
  std::vector<uint8_t> bytes = {0, 0, imageType, 0, 0, 0, 0, 0, 0, 0, 0, 0,
                                uint8_t(width), uint8_t(width >> 8), uint8_t(height), uint8_t(height >> 8),
                                uint8_t(depth), descriptor};
  for (uint32_t p : pixels) {
    for (int i = 0; i < 4; ++i) bytes.push_back(uint8_t(p >> (8 * i)));
  }
  return bytes;
}

class TgaFiles : public ::testing::Test {
 protected:
  std::string write(const std::string& name, const std::vector<uint8_t>& bytes) {
    const std::string path = (dir_ / name).string();
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    return path;
  }

  // Loads path, returning what went to stdout.
  static std::string load(Surface& surface, const std::string& path) {
    ::testing::internal::CaptureStdout();
    surface.loadTga(path.c_str());
    return ::testing::internal::GetCapturedStdout();
  }

  static int run(const std::string& command) { return std::system(command.c_str()); }

  testing::ScratchDir scratch_;
  const fs::path& dir_ = scratch_.path();
};

TEST_F(TgaFiles, TurnsTheImageAndForcesEveryTopByteTo255) {
  // File order: bottom row (P0, P1), then top row (P2, P3). Alphas vary, one is 0.
  const uint32_t p0 = 0x00112233, p1 = 0x10445566, p2 = 0x80778899, p3 = 0xFFAABBCC;
  Surface s;
  EXPECT_EQ(load(s, write("a.tga", tgaBytes(2, 2, 32, {p0, p1, p2, p3}))), "");
  ASSERT_EQ(s.width, 2);
  ASSERT_EQ(s.height, 2);
  ASSERT_EQ(s.pixels.size(), 16u);  // four times the image
  EXPECT_EQ(s.pixels[0], 0xFF778899u);
  EXPECT_EQ(s.pixels[1], 0xFFAABBCCu);
  EXPECT_EQ(s.pixels[2], 0xFF112233u);
  EXPECT_EQ(s.pixels[3], 0xFF445566u);
  for (size_t i = 4; i < 16; ++i) EXPECT_EQ(s.pixels[i] >> 24, 0xFFu) << i;

  // The origin bit is ignored: a file marked top-left is turned all the same.
  Surface topLeft;
  load(topLeft, write("b.tga", tgaBytes(2, 2, 32, {p0, p1, p2, p3}, 2, 0x28)));
  EXPECT_EQ(topLeft.pixels, s.pixels);
  // Run-length type with depth 32: its bytes are taken as raw pixels.
  Surface rle;
  load(rle, write("c.tga", tgaBytes(2, 2, 32, {p0, p1, p2, p3}, 10)));
  EXPECT_EQ(rle.pixels, s.pixels);
}

TEST_F(TgaFiles, SpareRowsOfATextureHaveTopBytes255) {
  std::vector<uint32_t> pixels(256 * 256, 0x00102030);
  Surface s;
  load(s, write("t.tga", tgaBytes(256, 256, 32, pixels)));
  ASSERT_EQ(s.pixels.size(), 262144u);
  EXPECT_EQ(s.pixels[65535], 0xFF102030u);
  EXPECT_EQ(s.pixels[65536] >> 24, 0xFFu);
  EXPECT_EQ(s.pixels[65791] >> 24, 0xFFu);
  EXPECT_EQ(s.pixels[262143] >> 24, 0xFFu);
}

TEST_F(TgaFiles, MissingFileShowsTheMessageAndLeavesTheSurface) {
  MessageRecorder recorder;
  Surface s;
  s.create(3, 1);
  s.fill(7);
  const std::string path = (dir_ / "cred.tga").string();
  EXPECT_EQ(load(s, path), "");
  ASSERT_EQ(recorder.messages().size(), 1u);
  EXPECT_EQ(recorder.messages()[0].text, "Cant open " + path);
  EXPECT_EQ(recorder.messages()[0].caption, "ERROR!");
  EXPECT_EQ(s.width, 3);
  EXPECT_EQ(s.pixels, std::vector<uint32_t>(3, 7));
}

TEST_F(TgaFiles, DamagedHeadersPrintTheConsoleLineAndLeaveTheSurfaceEmpty) {
  MessageRecorder recorder;
  const std::vector<uint8_t> good = tgaBytes(2, 1, 32, {1, 2});
  const std::vector<std::pair<std::string, std::vector<uint8_t>>> files = {
      {"empty", {}},
      {"17 bytes", std::vector<uint8_t>(good.begin(), good.begin() + 17)},
      {"24-bit", tgaBytes(2, 1, 24, {1, 2})},
      {"zero width", tgaBytes(0, 1, 32, {1, 2})},
      {"zero height", tgaBytes(2, 0, 32, {1, 2})},
      // 65535 x 65535 would need a 64 GiB buffer: refused without trying, reported the same way.
      {"huge", tgaBytes(65535, 65535, 32, {1, 2, 3})},
      {"just over the limit", tgaBytes(2048, 2049, 32, {1, 2, 3})},
  };
  for (const auto& [name, bytes] : files) {
    Surface s;
    EXPECT_EQ(load(s, write("bad.tga", bytes)), kTgaDamagedLine) << name;
    EXPECT_EQ(s.width, 0) << name;
    EXPECT_EQ(s.height, 0) << name;
    EXPECT_TRUE(s.pixels.empty()) << name;
  }
  EXPECT_TRUE(recorder.messages().empty());
}

TEST_F(TgaFiles, ShortPixelDataLeavesTheMissingPixelsBlack) {
  // 2 x 3 image, file holds the bottom row and half of the middle one.
  std::vector<uint8_t> bytes = tgaBytes(2, 3, 32, {0x01010101, 0x02020202, 0x03030303, 0x04040404});
  bytes.resize(bytes.size() - 6);  // the last pixel is cut and the one before loses two bytes
  Surface s;
  EXPECT_EQ(load(s, write("short.tga", bytes)), "");
  ASSERT_EQ(s.width, 2);
  EXPECT_EQ(s.pixels[4], 0xFF010101u);  // bottom row
  EXPECT_EQ(s.pixels[5], 0xFF020202u);
  EXPECT_EQ(s.pixels[2], 0xFF000303u);  // the two bytes that exist
  EXPECT_EQ(s.pixels[3], 0xFF000000u);
  EXPECT_EQ(s.pixels[0], 0xFF000000u);  // top row: nothing in the file
}

// ImageMagick's convert (the real one: a stand-in may come first on PATH).
constexpr const char* kConvert = "/usr/bin/convert";

TEST_F(TgaFiles, BottomLeftFileReadsAsImageMagickReadsIt) {
  ASSERT_TRUE(fs::exists(kConvert)) << "ImageMagick is not installed (scripts/install-deps.sh)";
  // 5 x 3, every pixel distinct, rows stored bottom first as the origin bit (0) says;
  // ImageMagick keeps file rows in memory order and applies the origin with -auto-orient.
  std::vector<uint32_t> pixels;
  for (uint32_t i = 0; i < 15; ++i) pixels.push_back(0xFF000000u | (i * 16) << 16 | (255 - i * 7) << 8 | i);
  const std::string tga = write("f.tga", tgaBytes(5, 3, 32, pixels, 2, 8));
  const std::string rgba = (dir_ / "f.rgba").string();
  ASSERT_EQ(run(std::string(kConvert) + " " + tga + " -auto-orient -depth 8 rgba:" + rgba), 0);
  std::ifstream in(rgba, std::ios::binary);
  std::vector<uint8_t> expected((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  ASSERT_EQ(expected.size(), 15u * 4);

  Surface s;
  load(s, tga);
  for (size_t i = 0; i < 15; ++i) {
    const uint32_t fromMagick = 0xFF000000u | uint32_t(expected[4 * i]) << 16 | uint32_t(expected[4 * i + 1]) << 8 |
                                uint32_t(expected[4 * i + 2]);
    EXPECT_EQ(s.pixels[i], fromMagick) << i;
  }
}

TEST_F(TgaFiles, ImageMagickTopFirstFileComesOutUpsideDown) {
  ASSERT_TRUE(fs::exists(kConvert)) << "ImageMagick is not installed (scripts/install-deps.sh)";
  // convert writes rows top first and marks the origin top-left; the loader ignores the mark.
  const std::string tga = (dir_ / "g.tga").string();
  ASSERT_EQ(run(std::string(kConvert) + " -size 3x2 xc:'rgb(10,20,30)' -fill 'rgb(200,100,50)' -draw 'point 0,0'" +
                " -type TrueColorAlpha -compress none " + tga),
            0);
  Surface s;
  EXPECT_EQ(load(s, tga), "");
  ASSERT_EQ(s.width, 3);
  ASSERT_EQ(s.height, 2);
  EXPECT_EQ(s.pixels[3], 0xFFC86432u);  // the top-left point lands at the start of row 1
  EXPECT_EQ(s.pixels[0], 0xFF0A141Eu);
}

}  // namespace
}  // namespace tarvola
