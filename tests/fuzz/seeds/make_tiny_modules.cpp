// Writes the module seeds of the fuzz corpus with the data-set generator's own IT writer:
// two tiny modules (a looping sample, S2x syncs, a tempo change, a note cut). Built and run by
// hand when the seeds change: see tests/fuzz/README.md.
#include <cstdio>
#include <vector>

#include "it_writer.h"

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
}  // namespace

int main(int argc, char** argv) {
  const char* dir = argc > 1 ? argv[1] : ".";
  char path[512];
  std::snprintf(path, sizeof path, "%s/gen_1ch_looping.it", dir);
  if (!save(path, writeIt(tinyModule(1, 8, true)))) return 1;
  std::snprintf(path, sizeof path, "%s/gen_3ch_oneshot.it", dir);
  if (!save(path, writeIt(tinyModule(3, 4, false)))) return 1;
  return 0;
}
