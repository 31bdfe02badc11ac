// Writes seeds of the fuzz corpus with the data-set generator's own writers: two tiny modules
// (a looping sample, S2x syncs, a tempo change, a note cut) and small crops of generated
// pictures. Built and run by hand when the seeds change: see tests/fuzz/README.md.
#include <cstdio>
#include <vector>

#include "it_writer.h"
#include "tga_file.h"

using namespace tarvola::datagen;

namespace {
bool save(const char* path, const std::vector<uint8_t>& bytes) {
  std::FILE* file = std::fopen(path, "wb");
  if (!file) return false;
  const bool ok = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
  return std::fclose(file) == 0 && ok;
}

ItModule tinyModule(int channels, int rows, bool loop) {
  ItModule module;
  module.title = "seed";
  module.channels = channels;
  module.channelPan.assign(size_t(channels), 32);
  ItSample sample;
  sample.name = "saw";
  for (int i = 0; i < 64; ++i) sample.data.push_back(int16_t((i - 32) * 900));
  sample.loop = loop;
  sample.loopEnd = 64;
  module.samples.push_back(sample);
  ItPattern pattern;
  pattern.rows = rows;
  pattern.cells.resize(size_t(rows * channels));
  for (int r = 0; r < rows; r += 2) {
    ItCell& cell = pattern.cells[size_t(r * channels)];
    cell.hasNote = true;
    cell.note = uint8_t(48 + r % 24);
    cell.sample = 1;
    cell.effect = kEffectS;
    cell.parameter = uint8_t(0x20 | (1 + r % 5));
  }
  pattern.cells[size_t(channels * (rows - 1))].hasNote = true;
  pattern.cells[size_t(channels * (rows - 1))].note = kNoteCut;
  pattern.cells[size_t(channels - 1)].effect = kEffectT;
  pattern.cells[size_t(channels - 1)].parameter = 0xF0;
  module.patterns.push_back(pattern);
  module.orders = {0, 0};
  return module;
}

// A width x height window of a generated picture, written again by the generator's writer.
bool crop(const char* dataDir, const char* name, int x0, int y0, int width, int height, const char* out) {
  int w = 0, h = 0;
  std::vector<uint32_t> pixels, part;
  if (!readTga(std::string(dataDir) + "/" + name, w, h, pixels) || x0 + width > w || y0 + height > h) return false;
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) part.push_back(pixels[size_t(y0 + y) * size_t(w) + size_t(x0 + x)]);
  return writeTga(out, width, height, part);
}

}  // namespace

// make_seeds MODULE_DIR PICTURE_DIR DATA_DIR
int main(int argc, char** argv) {
  if (argc < 4) return 2;
  const char* dir = argv[1];
  char path[512];
  std::snprintf(path, sizeof path, "%s/gen_1ch_looping.it", dir);
  if (!save(path, writeIt(tinyModule(1, 8, true)))) return 1;
  std::snprintf(path, sizeof path, "%s/gen_3ch_oneshot.it", dir);
  if (!save(path, writeIt(tinyModule(3, 4, false)))) return 1;
  std::snprintf(path, sizeof path, "%s/gen_vok_12x9.tga", argv[2]);
  if (!crop(argv[3], "vok.tga", 100, 100, 12, 9, path)) return 1;
  std::snprintf(path, sizeof path, "%s/gen_plasma1_10x6.tga", argv[2]);
  if (!crop(argv[3], "plasma1.tga", 300, 200, 10, 6, path)) return 1;
  std::snprintf(path, sizeof path, "%s/gen_wscr_1x40.tga", argv[2]);
  if (!crop(argv[3], "wscr.tga", 0, 0, 1, 40, path)) return 1;
  return 0;
}
