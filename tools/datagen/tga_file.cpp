// TGA writer and reader of the data-set generator; see tga_file.h.
#include "tga_file.h"

#include <cstdio>
#include <fstream>

namespace tarvola::datagen {

bool writeTga(const std::filesystem::path& path, int width, int height, const std::vector<uint32_t>& pixels) {
  if (width <= 0 || height <= 0 || width > 65535 || height > 65535 || pixels.size() != size_t(width) * size_t(height)) {
    std::fprintf(stderr, "tarvola-datagen: bad picture size for %s\n", path.c_str());
    return false;
  }
  std::vector<uint8_t> bytes(18 + pixels.size() * 4, 0);
  bytes[2] = 2;  // uncompressed true colour
  bytes[12] = uint8_t(width & 0xFF);
  bytes[13] = uint8_t(width >> 8);
  bytes[14] = uint8_t(height & 0xFF);
  bytes[15] = uint8_t(height >> 8);
  bytes[16] = 32;
  bytes[17] = 0x08;  // 8 alpha bits; origin bit clear: rows stored bottom row first
  size_t at = 18;
  for (int row = height - 1; row >= 0; --row) {
    for (int x = 0; x < width; ++x) {
      const uint32_t p = pixels[size_t(row) * size_t(width) + size_t(x)];
      bytes[at++] = uint8_t(p);
      bytes[at++] = uint8_t(p >> 8);
      bytes[at++] = uint8_t(p >> 16);
      bytes[at++] = uint8_t(p >> 24);
    }
  }
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
  if (!out) {
    std::fprintf(stderr, "tarvola-datagen: cannot write %s\n", path.c_str());
    return false;
  }
  return true;
}

bool readTga(const std::filesystem::path& path, int& width, int& height, std::vector<uint32_t>& pixels) {
  std::ifstream in(path, std::ios::binary);
  uint8_t header[18];
  if (!in.read(reinterpret_cast<char*>(header), 18) || header[0] != 0 || header[1] != 0 || header[2] != 2 ||
      header[16] != 32) {
    return false;
  }
  width = header[12] | header[13] << 8;
  height = header[14] | header[15] << 8;
  std::vector<uint8_t> bytes(size_t(width) * size_t(height) * 4);
  if (!in.read(reinterpret_cast<char*>(bytes.data()), std::streamsize(bytes.size()))) return false;
  const bool topFirst = (header[17] & 0x20) != 0;
  pixels.assign(size_t(width) * size_t(height), 0);
  for (int i = 0; i < height; ++i) {
    const int row = topFirst ? i : height - 1 - i;
    for (int x = 0; x < width; ++x) {
      const uint8_t* b = &bytes[(size_t(i) * size_t(width) + size_t(x)) * 4];
      pixels[size_t(row) * size_t(width) + size_t(x)] =
          uint32_t(b[0]) | uint32_t(b[1]) << 8 | uint32_t(b[2]) << 16 | uint32_t(b[3]) << 24;
    }
  }
  return true;
}

}  // namespace tarvola::datagen
