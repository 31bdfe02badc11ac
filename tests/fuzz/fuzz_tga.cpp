// libFuzzer target: decodeTga on arbitrary bytes. Checks the loader's contract on every input
// that loads: a buffer of four times the image, every top byte 255.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "surface/tga_loader.h"

using namespace tarvola;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  Surface picture;
  const TgaResult result = decodeTga(picture, data, size);
  if (result != TgaResult::kLoaded) {
    if (picture.width != 0 || picture.height != 0 || !picture.pixels.empty()) std::abort();
    return 0;
  }
  const size_t image = size_t(picture.width) * size_t(picture.height);
  if (picture.width <= 0 || picture.height <= 0 || picture.pixels.size() != 4 * image) std::abort();
  for (uint32_t pixel : picture.pixels)
    if ((pixel >> 24) != 0xFF) std::abort();
  return 0;
}
