// TGA loading on hand-made files: the turn, the forced top bytes, the spare rows, damaged and
// short files. (The generated pictures are read by ImageMagick and the loader alike in the data
// set's tests.)
#include "surface/tga_loader.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "support/test_support.h"

namespace tarvola {
namespace {

// An 18-byte header followed by the given pixel words (little-endian: blue, green, red, alpha).
std::string tgaBytes(int width, int height, int depth, const std::vector<uint32_t>& pixels, char type = 2,
                     char descriptor = 8) {
  std::string bytes(18, '\0');
  bytes[2] = type, bytes[12] = char(width), bytes[13] = char(width >> 8), bytes[14] = char(height);
  bytes[15] = char(height >> 8), bytes[16] = char(depth), bytes[17] = descriptor;
  for (uint32_t p : pixels)
    for (int i = 0; i < 4; ++i) bytes += char(p >> (8 * i));
  return bytes;
}

class TgaFiles : public ::testing::Test {
 protected:
  // Writes the bytes to a file and loads it; what went to stdout.
  std::string load(Surface& surface, const std::string& bytes, const char* name = "a.tga") {
    std::ofstream(path(name), std::ios::binary) << bytes;
    ::testing::internal::CaptureStdout();
    surface.loadTga(path(name).c_str());
    return ::testing::internal::GetCapturedStdout();
  }
  std::string path(const char* name) const { return (scratch_.path() / name).string(); }
  testing::MessageRecorder recorder_;
  testing::ScratchDir scratch_;
};

TEST_F(TgaFiles, TurnsTheImageForcesTopBytesAndFillsShortDataWithBlack) {
  // File order: bottom row (P0, P1), then top row (P2, P3). Alphas vary, one is 0. The origin
  // bit (0x28: top-left) is ignored, and the run-length type with depth 32 is read as raw.
  const std::vector<uint32_t> file = {0x00112233, 0x10445566, 0x80778899, 0xFFAABBCC};
  for (auto [type, descriptor] : {std::pair<char, char>{2, 8}, {2, 0x28}, {10, 8}}) {
    Surface s;
    EXPECT_EQ(load(s, tgaBytes(2, 2, 32, file, type, descriptor)), "");
    ASSERT_TRUE(s.width == 2 && s.height == 2 && s.pixels.size() == 16u);  // four times the image
    EXPECT_EQ(std::vector<uint32_t>(s.pixels.begin(), s.pixels.begin() + 4),
              (std::vector<uint32_t>{0xFF778899u, 0xFFAABBCCu, 0xFF112233u, 0xFF445566u}));
    for (size_t i = 4; i < 16; ++i) EXPECT_EQ(s.pixels[i] >> 24, 0xFFu) << i;  // the spare rows too
  }
  // 2 x 3, the file holds the bottom row and half of the middle one: the last pixel is cut and
  // the one before loses two bytes; the top row has nothing in the file.
  std::string bytes = tgaBytes(2, 3, 32, {0x01010101, 0x02020202, 0x03030303, 0x04040404});
  bytes.resize(bytes.size() - 6);
  Surface s;
  EXPECT_EQ(load(s, bytes), "");
  EXPECT_EQ(std::vector<uint32_t>(s.pixels.begin(), s.pixels.begin() + 6),
            (std::vector<uint32_t>{0xFF000000u, 0xFF000000u, 0xFF000303u, 0xFF000000u, 0xFF010101u, 0xFF020202u}));
  EXPECT_TRUE(recorder_.messages().empty());
}

// A path that cannot be read as a file (missing, a directory) is the message "Cant open PATH"
// and leaves a loaded surface as it was, without the console line.
TEST_F(TgaFiles, UnreadablePathsAreReportedAndLeaveTheSurface) {
  std::filesystem::create_directory(path("folder.tga"));
  const char* const names[] = {"missing.tga", "folder.tga"};
  for (size_t i = 0; i < std::size(names); ++i) {
    const char* name = names[i];
    Surface s;
    EXPECT_EQ(load(s, tgaBytes(1, 1, 32, {0x00123456})), "");
    ::testing::internal::CaptureStdout();
    s.loadTga(path(name).c_str());
    EXPECT_EQ(::testing::internal::GetCapturedStdout(), "") << name;
    EXPECT_EQ(s.pixels, (std::vector<uint32_t>{0xFF123456u, 0xFF000000u, 0xFF000000u, 0xFF000000u})) << name;
    ASSERT_EQ(recorder_.messages().size(), i + 1) << name;
    EXPECT_EQ(recorder_.messages()[i].text, "Cant open " + path(name));
    EXPECT_EQ(recorder_.messages()[i].caption, "ERROR!");
  }
}

// Damaged headers print the console line and leave the surface empty, without a message;
// 65535 x 65535 would need a 64 GiB buffer: refused without trying, reported the same way.
TEST_F(TgaFiles, DamagedHeaders) {
  const std::string good = tgaBytes(2, 1, 32, {1, 2});
  for (const std::string& bytes :
       {std::string(), good.substr(0, 17), tgaBytes(2, 1, 24, {1, 2}), tgaBytes(0, 1, 32, {1, 2}),
        tgaBytes(2, 0, 32, {1, 2}), tgaBytes(65535, 65535, 32, {1, 2, 3}), tgaBytes(2048, 2049, 32, {1, 2, 3})}) {
    Surface s;
    EXPECT_EQ(load(s, bytes), kTgaDamagedLine) << bytes.size();
    EXPECT_TRUE(s.width == 0 && s.height == 0 && s.pixels.empty()) << bytes.size();
  }
  EXPECT_TRUE(recorder_.messages().empty());
}

}  // namespace
}  // namespace tarvola
