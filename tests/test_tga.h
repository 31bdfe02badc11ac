// Test helper: writes a picture in the demo's TGA form (uncompressed, 32 bits, bottom row
// first), so tests know a picture's pixels without trusting any TGA reader.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace tarvola::test {

// topDown holds width * height pixels 0xAARRGGBB, row 0 at the top.
inline bool writeTga(const std::string& path, int width, int height, const std::vector<uint32_t>& topDown) {
  std::FILE* file = std::fopen(path.c_str(), "wb");
  if (file == nullptr) return false;
  const unsigned char header[18] = {0, 0, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0,
                                    (unsigned char)(width & 255), (unsigned char)(width >> 8),
                                    (unsigned char)(height & 255), (unsigned char)(height >> 8), 32, 8};
  bool ok = std::fwrite(header, 1, sizeof header, file) == sizeof header;
  for (int y = height - 1; y >= 0 && ok; --y) {
    for (int x = 0; x < width && ok; ++x) {
      const uint32_t p = topDown[size_t(y) * size_t(width) + size_t(x)];
      const unsigned char bgra[4] = {(unsigned char)p, (unsigned char)(p >> 8), (unsigned char)(p >> 16),
                                     (unsigned char)(p >> 24)};
      ok = std::fwrite(bgra, 1, 4, file) == 4;
    }
  }
  return std::fclose(file) == 0 && ok;
}

}  // namespace tarvola::test
