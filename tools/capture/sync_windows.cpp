// See sync_windows.h.
#include "sync_windows.h"

#include <algorithm>
#include <cstdio>
#include <iterator>

namespace tarvola {

namespace {

struct OpenWindow {
  bool open = false;
  size_t index = 0;         // into the windows found
  float startClock = 0.0f;  // the effect's event clock on the take
};

}  // namespace

std::vector<SyncWindow> syncEffectWindows(const ProgrammeSchedule& schedule, const std::vector<SyncHit>& syncs) {
  std::vector<SyncWindow> windows;
  OpenWindow open[std::size(kSyncEffects)];
  uint8_t pending = 0;
  size_t nextSync = 0;
  int cycleIndex = 0;
  for (int64_t frame = 1; frame < schedule.endFrame; ++frame) {
    while (nextSync < syncs.size() && frameReachingSample(syncs[nextSync].sample, schedule.fps) <= frame) {
      pending |= syncFlagsRaisedBy(syncs[nextSync++].value);
    }
    const int slot = schedule.sceneAt[size_t(frame)];
    const float t = schedule.timeAt[size_t(frame)];
    // The table lists the finale's take first, so the cycle scene is known before its takes.
    for (size_t i = 0; i < std::size(kSyncEffects); ++i) {
      const SyncEffect& effect = kSyncEffects[i];
      const int cycleScene = slot == kFinaleSlot ? kFinaleCycle[cycleIndex] : -1;
      OpenWindow& window = open[i];
      if (effect.scene != slot && effect.scene != cycleScene) {
        // A late effect worked out on the scene's last frame shows nowhere.
        if (window.open) windows[window.index].lastFrame = std::min(windows[window.index].lastFrame, frame - 1);
        window.open = false;
        continue;
      }
      if ((pending & effect.flag) != 0) {
        pending &= uint8_t(~effect.flag);
        if (effect.scene == kFinaleSlot) cycleIndex = nextFinaleCycleIndex(cycleIndex);
        window = OpenWindow{true, windows.size(), effect.eventClock(t)};
        const int64_t shown = frame + effect.framesLate;
        windows.push_back(SyncWindow{&effect, slot, shown, shown});
      } else if (window.open && effect.eventClock(t) - window.startClock < effect.length) {
        windows[window.index].lastFrame = frame + effect.framesLate;
      } else {
        window.open = false;
      }
    }
  }
  // The end frame shows no picture of its own.
  for (SyncWindow& window : windows) window.lastFrame = std::min(window.lastFrame, schedule.endFrame - 1);
  std::erase_if(windows, [](const SyncWindow& window) { return window.lastFrame < window.firstFrame; });
  return windows;
}

int printSyncWindows(const ProgrammeSchedule& schedule, const char* modulePath) {
  const MusicPass pass = renderMusicPass(modulePath, schedule.fps, schedule.endFrame);
  const double fps = schedule.fps;
  for (const SyncWindow& window : syncEffectWindows(schedule, pass.syncs)) {
    std::printf("scene %d  %-24s %9.4f s - %9.4f s  (frames %lld-%lld at %d fps)\n", window.slot + 1,
                window.effect->name, double(window.firstFrame) / fps, double(window.lastFrame) / fps,
                static_cast<long long>(window.firstFrame), static_cast<long long>(window.lastFrame), schedule.fps);
  }
  return 0;
}

}  // namespace tarvola
