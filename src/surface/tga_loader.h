// Reader of the one TGA form the demo uses: uncompressed, 32 bits per pixel, no image ID, no
// colour map, rows stored bottom first. Surface::loadTga (declared in surface.h) reads a file;
// decodeTga does the work on bytes already in memory.
//
// Contract of a successful load: width and height from the header; a buffer of
// 4 * width * height pixels whose first width * height hold the image top row first (the
// file's last row becomes row 0, whatever the origin bit says); the top byte of every pixel
// of the whole buffer is 255 (the spare rows' colour bytes are 0). Pixel data the file does
// not supply reads as 0 (then top byte 255). Header bytes 0-11 are not looked at: an image
// ID or colour map would be taken as pixels, and run-length data of depth 32 is read raw.
//
// A file that cannot be opened or read (missing, a directory, unreadable) is reported with the
// message "Cant open PATH" and leaves the surface as it was; a file that opens but does not
// decode prints kTgaDamagedLine and leaves the surface empty.
#pragma once

#include <cstddef>
#include <cstdint>

#include "surface/surface.h"

namespace tarvola {

enum class TgaResult {
  kLoaded,
  kBadHeader,  // shorter than the 18-byte header, width or height 0, or depth not 32
  kTooLarge,   // more than kMaxPicturePixels, or the 16-byte-per-pixel buffer cannot be allocated
};

// The largest image accepted: 2048 x 2048 pixels, a 64 MiB buffer (the data set's largest is
// 640 x 480). A damaged header may claim up to 65535 x 65535, a 64 GiB buffer that, where the
// system overcommits memory, would be granted and then exhaust it while being filled.
inline constexpr size_t kMaxPicturePixels = size_t(2048) * 2048;

// Decodes size bytes into target. On failure the target is left empty (no size, no pixels).
TgaResult decodeTga(Surface& target, const uint8_t* data, size_t size);

// The console line of a damaged file (the stdout of a demo is usually unseen).
inline constexpr const char* kTgaDamagedLine = "\n ERROR! Fuckedup tgafile! \n";

}  // namespace tarvola
