// Start-up, frame loop and shutdown of the demo; see frame_loop.h.
#include "runtime/frame_loop.h"

#include "raster/depth_buffer.h"
#include "surface/compositing.h"

namespace tarvola {

namespace {

// Process-wide objects of the run: created during start-up and kept until the process ends.
Surface framebuffer;
DepthBuffer depthBuffer;  // the framebuffer's size; cleared every frame, handed to the scene
Surface letterbox;        // multiplied onto every rendered frame
FrameClock frameClock;

inline constexpr uint32_t kLoadingPauseMs = 2000;
inline constexpr uint32_t kBlackPauseMs = 1000;

// Scene inits run in this order (indices into the scene slots: Scene 3, 5, 2, 6, 1, 4).
inline constexpr int kSceneInitOrder[kSceneCount] = {2, 4, 1, 5, 0, 3};

}  // namespace

DemoProgramme demoProgramme() { return {kScenes, demoTimelineTable()}; }

int runDemo(Platform& platform, const DemoProgramme& programme) {
  Surface loading;  // only needed until the display shows it
  loading.loadTga("data/loading.tga");
  framebuffer.create(kScreenWidth, kScreenHeight);
  framebuffer.fill(packColour(0, 0, 0, 0));
  copySurface(loading, framebuffer);
  depthBuffer.create(kScreenWidth, kScreenHeight);
  if (!platform.openDisplay("tarvola", framebuffer.width, framebuffer.height, false)) return 0;
  platform.present(framebuffer);
  platform.pause(kLoadingPauseMs);

  letterbox.loadTga("data/wscr.tga");
  bool ended = false;
  platform.loadMusic("data/kyr.it");
  for (int index : kSceneInitOrder) {
    if (programme.scenes[index].init != nullptr) programme.scenes[index].init();
  }
  framebuffer.clear();
  platform.present(framebuffer);
  platform.pause(kBlackPauseMs);

  createTimeline(programme.timeline);
  frameClock.start(platform);
  float demoSeconds = 0.0f;
  platform.startMusic();

  for (;;) {
    if (platform.pollMessage() == PlatformMessage::kQuit) break;
    frameClock.update(platform);
    demoSeconds += frameClock.delta;
    // Hundredths: the product in double, rounded once to float.
    if (timelineUpdate(float(double(demoSeconds) * 100.0))) ended = true;
    depthBuffer.clear();  // every frame, the ending one included
    if (!ended) {
      timelineRender(framebuffer, depthBuffer);
      letterbox.multiplyOnto(framebuffer);
    }
    platform.present(framebuffer);
    if (ended) break;
  }

  platform.fadeOutMusic();
  platform.closeDisplay();
  return 0;
}

}  // namespace tarvola
