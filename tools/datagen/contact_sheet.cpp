// Contact sheet of the pictures; see contact_sheet.h.
#include "contact_sheet.h"

#include <cstdio>
#include <vector>

#include "base/fixed_point.h"
#include "pictures.h"
#include "png_writer.h"
#include "text.h"
#include "tga_file.h"

namespace tarvola::datagen {

namespace {

constexpr int kCellWidth = 320, kCellHeight = 256, kLabelHeight = 18, kColumns = 4, kGap = 4;

bool writePng(const std::filesystem::path& path, int width, int height, const std::vector<uint32_t>& pixels) {
  std::FILE* file = std::fopen(path.c_str(), "wb");
  if (file == nullptr) return false;
  const bool written = writeRgbPng(file, pixels.data(), width, height, -1);
  return std::fclose(file) == 0 && written;
}

}  // namespace

bool writeContactSheet(const std::filesystem::path& dataDir, const std::filesystem::path& pngPath) {
  const int count = int(std::size(kPictures));
  const int rows = (count + kColumns - 1) / kColumns;
  const int width = kColumns * (kCellWidth + kGap) + kGap;
  const int height = rows * (kCellHeight + kLabelHeight + kGap) + kGap;
  std::vector<uint32_t> sheet(size_t(width) * size_t(height), 0xFF202024u);
  Mask labels(width, height);
  for (int i = 0; i < count; ++i) {
    const PictureInfo& info = kPictures[i];
    int w = 0, h = 0;
    std::vector<uint32_t> pixels;
    if (!readTga(dataDir / info.file, w, h, pixels)) {
      std::fprintf(stderr, "tarvola-datagen: cannot read back %s\n", info.file);
      return false;
    }
    const int cellX = kGap + (i % kColumns) * (kCellWidth + kGap);
    const int cellY = kGap + (i / kColumns) * (kCellHeight + kLabelHeight + kGap);
    const int step = w > kCellWidth ? 2 : 1;  // 640 x 480 at half size
    for (int y = 0; y < kCellHeight; ++y) {
      for (int x = 0; x < kCellWidth; ++x) {
        uint32_t p = 0xFF101014u;
        if (info.tiles) {
          // A 2 x 2 repeat, cut so that the tile's seams cross the middle of the cell.
          p = pixels[size_t((y + h / 2 - kCellHeight / 2 + h) % h) * size_t(w) +
                     size_t((x + w / 2 - kCellWidth / 2 + w) % w)];
        } else {
          const int sx = (x - (kCellWidth - w / step) / 2) * step, sy = (y - (kCellHeight - h / step) / 2) * step;
          if (sx >= 0 && sy >= 0 && sx < w && sy < h) p = pixels[size_t(sy) * size_t(w) + size_t(sx)];
        }
        sheet[size_t(cellY + y) * size_t(width) + size_t(cellX + x)] = p;
      }
    }
    char label[96];
    std::snprintf(label, sizeof label, "%s  %dx%d%s", info.file, w, h, info.tiles ? "  (2x2 repeat)" : "");
    drawText(labels, FontFace::Regular, 11, label, float(cellX + 2), float(cellY + kCellHeight + 13));
  }
  for (size_t i = 0; i < sheet.size(); ++i) {
    const uint32_t level = uint32_t(truncToInt32(double(labels.v[i]) * 230.0));
    if (level > 0) sheet[i] = 0xFF000000u | level << 16 | level << 8 | level;
  }
  if (!writePng(pngPath, width, height, sheet)) {
    std::fprintf(stderr, "tarvola-datagen: cannot write %s\n", pngPath.c_str());
    return false;
  }
  return true;
}

}  // namespace tarvola::datagen
