// The tools' one PNG writer (libpng): 0xAARRGGBB pixels as 8-bit RGB, the top byte dropped. Used
// by the capture renderer for its frames and by the data-set generator for its contact sheet.
#pragma once

#include <cstdint>
#include <cstdio>

namespace tarvola {

// Writes width x height pixels (rows top down, no gaps) to `file`, open for binary writing, with
// deflate level `level` (0-9; -1 for libpng's default). False when libpng reports an error; the
// file stays open either way, and what it holds then is not a PNG to keep.
bool writeRgbPng(std::FILE* file, const uint32_t* pixels, int32_t width, int32_t height, int level);

}  // namespace tarvola
