// Start-up, frame loop and shutdown of the demo; see frame_loop.h.
#include "runtime/frame_loop.h"

#include <memory>

#include "scenes/scene_files.h"
#include "surface/compositing.h"

namespace tarvola {

namespace {

inline constexpr uint32_t kLoadingPauseMs = 2000;
inline constexpr uint32_t kBlackPauseMs = 1000;

}  // namespace

DemoProgramme demoProgramme() { return {kScenes, demoTimelineTable()}; }

void DemoTime::start(Counter& counter) {
  clock.start(counter);
  seconds = 0.0f;
}

float DemoTime::advance(Counter& counter) {
  clock.update(counter);
  seconds += clock.delta;
  return float(double(seconds) * 100.0);
}

// Written as one body: the web build's asyncify rewrites only the functions named runDemo (and
// the host's waiting calls), so start-up's pauses and presents stay in here.
int runDemo(Platform& platform, const DemoProgramme& programme, DemoRun& run) {
  Surface loading;  // only needed until the display shows it
  loading.loadTga(kLoadingFile);
  run.framebuffer.create(kScreenWidth, kScreenHeight);
  run.framebuffer.fill(packColour(0, 0, 0, 0));
  copySurface(loading, run.framebuffer);
  run.depthBuffer.create(kScreenWidth, kScreenHeight);
  if (!platform.openDisplay("tarvola", run.framebuffer.width, run.framebuffer.height, false)) return 0;
  platform.present(run.framebuffer);
  platform.pause(kLoadingPauseMs);

  run.letterbox.loadTga(kLetterboxFile);
  platform.loadMusic(kMusicFile, run.scenes.syncs);
  for (int index : kSceneInitOrder) {
    if (programme.scenes[index].init != nullptr) programme.scenes[index].init(run.scenes);
  }
  run.framebuffer.clear();
  platform.present(run.framebuffer);
  platform.pause(kBlackPauseMs);

  run.timeline.start(programme.timeline);
  run.time.start(platform);
  platform.startMusic();

  bool ended = false;
  for (;;) {
    if (platform.pollMessage() == PlatformMessage::kQuit) break;
    if (run.timeline.update(run.time.advance(platform))) ended = true;
    run.depthBuffer.clear();  // every frame, the ending one included
    if (!ended) {
      run.timeline.render(run.scenes, run.framebuffer, run.depthBuffer);
      run.letterbox.multiplyOnto(run.framebuffer);
    }
    platform.present(run.framebuffer);
    if (ended) break;
  }

  platform.fadeOutMusic();
  platform.closeDisplay();
  return 0;
}

int runDemo(Platform& platform, const DemoProgramme& programme) {
  const auto run = std::make_unique<DemoRun>();  // megabytes of pictures and tables: not on the stack
  return runDemo(platform, programme, *run);
}

}  // namespace tarvola
