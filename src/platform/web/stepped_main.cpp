// The web build stepped offline, for the tests in node: the demo's start-up and frame loop on
// a host whose clock moves exactly 1/fps per frame, with the music's syncs read from a list and
// raised before the first frame whose time reaches them, as the capture renderer does. Frame k
// (demo clock time k/fps) is the picture on screen when frame k + 1 begins; the wanted ones are
// written as binary PPM.
//   tarvola-web-stepped FPS SYNCS OUTDIR T1,T2,...   (from the directory that holds data/)
// SYNCS holds "sample value" lines (sample: first sample of the row at 44100 Hz). Exit code 0,
// or 1 for a bad command line or an output that fails.
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "music/module_renderer.h"
#include "music/sync_events.h"
#include "runtime/frame_loop.h"

namespace tarvola {
namespace {

struct Wanted {
  int64_t frame;
  std::string name;
};

class SteppedPlatform final : public Platform {
 public:
  int64_t fps = 60;
  int64_t ticks = 0;
  std::vector<std::pair<int64_t, uint32_t>> syncs;  // sample, value; in order
  std::vector<Wanted> wanted;
  std::string outDir;
  bool failed = false;

  int64_t frequency() override { return fps; }
  int64_t read() override { return ticks; }
  bool openDisplay(const char*, int32_t, int32_t, bool) override { return true; }
  // Keeps the picture: the next poll writes it when its frame is wanted.
  int32_t present(const Surface& framebuffer) override {
    shown_ = &framebuffer;
    return 0;
  }
  void closeDisplay() override {}
  void pause(uint32_t) override {}
  void loadMusic(const char*) override {}
  void startMusic() override { running_ = true; }
  void fadeOutMusic() override {}

  PlatformMessage pollMessage() override {
    if (!running_) return PlatformMessage::kNone;
    int64_t last = 0;
    for (const Wanted& w : wanted) {
      if (w.frame == ticks && shown_ != nullptr) failed = !writePpm(outDir + "/" + w.name + ".ppm", *shown_) || failed;
      last = w.frame > last ? w.frame : last;
    }
    if (failed || ticks >= last) return PlatformMessage::kQuit;
    ++ticks;
    const int64_t reached = ticks * kSampleRate / fps;  // samples before the new frame's time
    while (nextSync_ < syncs.size() && syncs[nextSync_].first <= reached) onMusicSync(syncs[nextSync_++].second);
    return PlatformMessage::kNone;
  }

 private:
  static bool writePpm(const std::string& path, const Surface& picture) {
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr) return false;
    std::fprintf(file, "P6\n%d %d\n255\n", picture.width, picture.height);
    std::vector<unsigned char> row(size_t(picture.width) * 3);
    bool ok = true;
    for (int32_t y = 0; y < picture.height; ++y) {
      for (int32_t x = 0; x < picture.width; ++x) {
        const uint32_t pixel = picture.pixels[size_t(y) * size_t(picture.width) + size_t(x)];
        row[3 * size_t(x)] = uint8_t(pixel >> 16);
        row[3 * size_t(x) + 1] = uint8_t(pixel >> 8);
        row[3 * size_t(x) + 2] = uint8_t(pixel);
      }
      ok = std::fwrite(row.data(), 1, row.size(), file) == row.size() && ok;
    }
    return std::fclose(file) == 0 && ok;
  }

  const Surface* shown_ = nullptr;
  bool running_ = false;
  size_t nextSync_ = 0;
};

}  // namespace
}  // namespace tarvola

int main(int argc, char** argv) {
  if (argc != 5) {
    std::fprintf(stderr, "usage: tarvola-web-stepped FPS SYNCS OUTDIR T1,T2,...\n");
    return 1;
  }
  static tarvola::SteppedPlatform platform;
  platform.fps = std::atoi(argv[1]);
  platform.outDir = argv[3];
  if (std::FILE* file = std::fopen(argv[2], "r")) {
    long long sample = 0;
    unsigned value = 0;
    while (std::fscanf(file, "%lld %u", &sample, &value) == 2) platform.syncs.emplace_back(sample, value);
    std::fclose(file);
  }
  // The first frame whose time k / fps is at or after each time, as the capture renderer picks.
  for (std::string times = argv[4]; !times.empty();) {
    const size_t comma = times.find(',');
    const std::string time = times.substr(0, comma);
    const double seconds = std::strtod(time.c_str(), nullptr);
    platform.wanted.push_back({int64_t(std::ceil(seconds * double(platform.fps) - 1e-7)), "frame-at-" + time});
    times = comma == std::string::npos ? "" : times.substr(comma + 1);
  }
  if (platform.fps <= 0 || platform.wanted.empty()) return 1;
  tarvola::runDemo(platform, tarvola::demoProgramme());
  return platform.failed ? 1 : 0;
}
