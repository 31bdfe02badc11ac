// See png_writer.h.
#include "png_writer.h"

#include <png.h>

#include <vector>

namespace tarvola {

bool writeRgbPng(std::FILE* file, const uint32_t* pixels, int32_t width, int32_t height, int level) {
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png != nullptr ? png_create_info_struct(png) : nullptr;
  std::vector<png_byte> row(size_t(width) * 3);
  volatile bool ok = png != nullptr && info != nullptr;
  // libpng reports its errors by longjmp; nothing with a destructor is created past this point.
  if (ok && setjmp(png_jmpbuf(png)) != 0) ok = false;
  if (ok) {
    png_init_io(png, file);
    if (level >= 0) png_set_compression_level(png, level);
    png_set_IHDR(png, info, png_uint_32(width), png_uint_32(height), 8, PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    for (int32_t y = 0; y < height; ++y) {
      const uint32_t* in = pixels + size_t(y) * size_t(width);
      for (int32_t x = 0; x < width; ++x) {
        row[size_t(x) * 3] = png_byte(in[x] >> 16);
        row[size_t(x) * 3 + 1] = png_byte(in[x] >> 8);
        row[size_t(x) * 3 + 2] = png_byte(in[x]);
      }
      png_write_row(png, row.data());
    }
    png_write_end(png, nullptr);
  }
  png_destroy_write_struct(png != nullptr ? &png : nullptr, info != nullptr ? &info : nullptr);
  return ok;
}

}  // namespace tarvola
