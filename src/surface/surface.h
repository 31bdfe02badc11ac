// Surface: the one image type (framebuffer, pictures, textures, work buffers) and its
// packed pixel 0xAARRGGBB (byte 0 blue, 1 green, 2 red, 3 the top byte), row 0 on top.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace tarvola {

// The demo's picture: the framebuffer, and every full-screen picture and work buffer.
inline constexpr int32_t kScreenWidth = 320;
inline constexpr int32_t kScreenHeight = 240;

// Packs the low byte of each argument; values wrap (256 packs as 0, -1 as 255), no clamping.
constexpr uint32_t packColour(int32_t red, int32_t green, int32_t blue, int32_t alpha) {
  return (uint32_t(alpha) & 0xFF) << 24 | (uint32_t(red) & 0xFF) << 16 | (uint32_t(green) & 0xFF) << 8 |
         (uint32_t(blue) & 0xFF);
}

struct Surface {
  int32_t width = 0;
  int32_t height = 0;
  // Row-major, pixel (x, y) at [y * width + x]. A surface made by create() holds exactly
  // width * height pixels; one filled by loadTga() holds four times that (spare rows whose
  // top bytes are 255). Allocated once, never resized while the demo runs.
  std::vector<uint32_t> pixels;

  Surface() = default;
  Surface(const Surface&) = delete;  // a surface is never copied with its pixels
  Surface& operator=(const Surface&) = delete;
  Surface(Surface&&) = default;
  Surface& operator=(Surface&&) = default;

  // width * height, or 0 for a surface never created (or a degenerate size).
  size_t pixelCount() const { return width > 0 && height > 0 ? size_t(width) * size_t(height) : 0; }
  // Pixels an operation over width * height may touch: never more than the buffer holds.
  size_t walkCount() const { return pixelCount() < pixels.size() ? pixelCount() : pixels.size(); }

  void create(int32_t newWidth, int32_t newHeight);  // all pixels 0
  void clear();                                      // all bytes 0
  void fill(uint32_t colour);

  // Reads an uncompressed 32-bit TGA (tga_loader.cpp).
  void loadTga(const char* path);

  // Whole-surface channel arithmetic (compositing.cpp). Each byte c is 0..255, products are
  // shifted right by 8 (truncating), level/amount arguments use their low byte unless noted.
  void scale(int32_t level);                             // all four bytes: (c*l) >> 8
  void fadeToColour(int32_t level, uint32_t colour);     // all four: (c*(255-l))>>8 + (k*l)>>8
  void blendOnto(Surface& target, int32_t level) const;  // target = (t*(255-l))>>8 + (s*l)>>8
  void brighten(int32_t amount);                         // colour bytes: min(255, c + (a*c)>>8)
  void addBrightness(int32_t amount);                    // colour bytes: clamp(c + amount)
  void multiplyOnto(Surface& target) const;              // all four: (t*s) >> 8
  void invertBlend(int32_t level);                       // colour: (c*(255-l)+(255-c)*l)>>8, top 0
};

// Writes one pixel when 0 < x < width and 0 < y < height: row 0 and column 0 are never written.
inline void putPixel(Surface& surface, int32_t x, int32_t y, uint32_t colour) {
  if (x > 0 && x < surface.width && y > 0 && y < surface.height) {
    surface.pixels[size_t(y) * size_t(surface.width) + size_t(x)] = colour;
  }
}

}  // namespace tarvola
