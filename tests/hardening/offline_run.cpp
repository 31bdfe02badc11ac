// tarvola-offline-run: the whole programme rendered offline through the real start-up and
// frame loop, on a host whose clock moves 1/fps second per frame and whose music is rendered
// just ahead of the picture (so the sync flags come at their frames, the same every run).
// Writes one line per presented frame, "index scene hash" (scene 0 for the start-up's
// frames), for comparing runs on damaged data; the loaders' messages go to stderr.
// Usage: tarvola-offline-run FPS FRAME_LIST [PPM_DIR]   (run in the directory holding data/)
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "runtime/frame_loop.h"
#include "runtime/module_renderer.h"
#include "runtime/sync_events.h"
#include "scenes/scene_table.h"

namespace tarvola {
namespace {

int currentScene = 0;  // 1..6 once the timeline has rendered a scene this frame

template <int kIndex>
void renderScene(Surface& target, float time) {
  currentScene = kIndex + 1;
  kScenes[kIndex].render(target, time);
}
constexpr SceneRender kRecordingRenders[kSceneCount] = {renderScene<0>, renderScene<1>, renderScene<2>,
                                                        renderScene<3>, renderScene<4>, renderScene<5>};

void raiseSync(void*, const SyncHit& hit) { onMusicSync(0, 0, hit.value, 0); }

uint64_t hashPixels(const Surface& surface) {
  uint64_t hash = 14695981039346656037ull;  // FNV-1a over the pixels' colour bytes
  for (uint32_t pixel : surface.pixels) {
    for (int i = 0; i < 3; ++i) hash = (hash ^ ((pixel >> (8 * i)) & 0xFF)) * 1099511628211ull;
  }
  return hash;
}

class OfflineHost final : public Platform {
 public:
  OfflineHost(int fps, std::FILE* list, const char* ppmDir) : step_(kTicks / fps), list_(list), ppmDir_(ppmDir) {}

  int64_t frequency() override { return kTicks; }
  // Each reading is one frame step after the last: every frame's delta is 1 / fps.
  int64_t read() override {
    const int64_t value = now_;
    now_ += step_;
    return value;
  }
  bool openDisplay(const char*, int32_t, int32_t, bool) override { return true; }
  int32_t present(const Surface& framebuffer) override {
    renderMusicUntil(now_);
    std::fprintf(list_, "%d %d %016llx\n", frames_, currentScene, static_cast<unsigned long long>(hashPixels(framebuffer)));
    if (ppmDir_ != nullptr) writePpm(framebuffer);
    currentScene = 0;
    ++frames_;
    return 0;
  }
  void closeDisplay() override {}
  PlatformMessage pollMessage() override { return PlatformMessage::kNone; }
  void pause(uint32_t) override {}
  void loadMusic(const char* path) override { music_.loadFile(path); }
  void startMusic() override { musicStart_ = now_; }
  void fadeOutMusic() override {}

 private:
  static constexpr int64_t kTicks = 44100 * 100;  // whole audio frames per frame step at any fps dividing 100

  // Renders the music up to the audio frame of counter value `ticks`: its syncs raise the flags.
  // Without a module nothing plays (and nothing advances): no syncs.
  void renderMusicUntil(int64_t ticks) {
    if (musicStart_ < 0 || !music_.loaded()) return;
    const int64_t due = (ticks - musicStart_) / 100;
    while (music_.framesRendered() < due) {
      const int64_t piece = due - music_.framesRendered();
      music_.render(audio_, piece < kAudioFrames ? int(piece) : kAudioFrames, &raiseSync, nullptr);
    }
  }
  void writePpm(const Surface& framebuffer) {
    const std::string path = std::string(ppmDir_) + "/frame" + std::to_string(frames_) + ".ppm";
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr) return;
    std::fprintf(file, "P6\n%d %d\n255\n", framebuffer.width, framebuffer.height);
    for (uint32_t pixel : framebuffer.pixels) {
      const unsigned char rgb[3] = {uint8_t(pixel >> 16), uint8_t(pixel >> 8), uint8_t(pixel)};
      std::fwrite(rgb, 1, 3, file);
    }
    std::fclose(file);
  }

  static constexpr int kAudioFrames = 4096;
  int64_t now_ = 0;
  int64_t step_;
  int64_t musicStart_ = -1;
  int frames_ = 0;
  std::FILE* list_;
  const char* ppmDir_;
  ModuleRenderer music_;
  float audio_[2 * kAudioFrames] = {};
};

}  // namespace
}  // namespace tarvola

int main(int argc, char** argv) {
  using namespace tarvola;
  if (argc < 3) {
    std::fprintf(stderr, "usage: %s FPS FRAME_LIST [PPM_DIR]\n", argv[0]);
    return 2;
  }
  const int fps = std::atoi(argv[1]);
  if (fps <= 0 || 100 % fps != 0) {
    std::fprintf(stderr, "FPS must divide 100\n");
    return 2;
  }
  std::FILE* list = std::fopen(argv[2], "w");
  if (list == nullptr) return 2;
  // The programme's own table with each scene's render wrapped to note which scene drew.
  static Scene scenes[kSceneCount];
  static TimelineCommand table[kTimelineLength];
  const DemoProgramme real = demoProgramme();
  for (int i = 0; i < kSceneCount; ++i) scenes[i] = Scene{real.scenes[i].init, kRecordingRenders[i]};
  for (int i = 0; i < kTimelineLength; ++i) {
    table[i] = real.timeline[i];
    for (int s = 0; s < kSceneCount; ++s)
      if (table[i].scene == real.scenes[s].render) table[i].scene = kRecordingRenders[s];
  }
  OfflineHost host(fps, list, argc > 3 ? argv[3] : nullptr);
  const int status = runDemo(host, DemoProgramme{scenes, table});
  std::fclose(list);
  return status;
}
