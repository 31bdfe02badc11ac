// TGA loading; see tga_loader.h. Every read is bounded by the bytes the file really has.
#include "surface/tga_loader.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <new>
#include <vector>

#include "base/file_bytes.h"
#include "base/notify.h"

namespace tarvola {

namespace {

constexpr size_t kHeaderSize = 18;

struct TgaHeader {
  int32_t width = 0;
  int32_t height = 0;
  int32_t depth = 0;
};

TgaHeader readHeader(const uint8_t* header) {
  return TgaHeader{header[12] + 256 * header[13], header[14] + 256 * header[15], header[16]};
}

bool headerUsable(const TgaHeader& header) { return header.width != 0 && header.height != 0 && header.depth == 32; }

// Allocates the 4x buffer with every top byte 255, or leaves the surface empty and returns false
// (too many pixels, or no memory).
bool allocatePicture(Surface& target, const TgaHeader& header) {
  const size_t imagePixels = size_t(header.width) * size_t(header.height);
  if (imagePixels > kMaxPicturePixels) {
    target = Surface{};
    return false;
  }
  try {
    target.pixels.assign(4 * imagePixels, 0xFF000000u);
  } catch (const std::bad_alloc&) {
    target = Surface{};
    return false;
  }
  target.width = header.width;
  target.height = header.height;
  return true;
}

// Copies the file's rows (bottom row first) into the buffer top row first, then forces the
// top bytes of the image to 255. data holds `available` bytes of pixel data, maybe fewer than
// the image needs; the pixels it lacks stay 0x00000000 before the top byte is set.
void storeImage(Surface& target, const uint8_t* data, size_t available) {
  const size_t rowBytes = size_t(target.width) * 4;
  const size_t rows = size_t(target.height);
  for (size_t i = 0; i < rows; ++i) {
    uint32_t* destination = target.pixels.data() + (rows - 1 - i) * size_t(target.width);
    const size_t offset = i * rowBytes;
    const size_t present = offset < available ? std::min(rowBytes, available - offset) : 0;
    if (present > 0) std::memcpy(destination, data + offset, present);
    std::memset(reinterpret_cast<uint8_t*>(destination) + present, 0, rowBytes - present);
  }
  const size_t imagePixels = size_t(target.width) * rows;
  for (size_t p = 0; p < imagePixels; ++p) target.pixels[p] |= 0xFF000000u;
}

void reportDamaged() {
  std::fputs(kTgaDamagedLine, stdout);
  std::fflush(stdout);
}

}  // namespace

TgaResult decodeTga(Surface& target, const uint8_t* data, size_t size) {
  if (size < kHeaderSize || !headerUsable(readHeader(data))) {
    target = Surface{};
    return TgaResult::kBadHeader;
  }
  if (!allocatePicture(target, readHeader(data))) return TgaResult::kTooLarge;
  storeImage(target, data + kHeaderSize, size - kHeaderSize);
  return TgaResult::kLoaded;
}

void Surface::loadTga(const char* path) {
  // The largest picture accepted needs no more bytes than this; a longer file (or an endless
  // one) is read no further, so what a file can cost stays bounded.
  std::vector<uint8_t> bytes;
  if (!readFileBytes(path, bytes, kHeaderSize + 4 * kMaxPicturePixels)) {
    char text[512];
    std::snprintf(text, sizeof text, "Cant open %s", path);
    showMessage(text, "ERROR!");
    return;
  }
  if (decodeTga(*this, bytes.data(), bytes.size()) != TgaResult::kLoaded) reportDamaged();
}

}  // namespace tarvola
