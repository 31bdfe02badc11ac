// Scene 6: the finale, cycling through the interference, metaballs and tunnel scenes.
#include "base/fixed_point.h"
#include "music/sync_events.h"
#include "scenes/event_weight.h"
#include "scenes/scene_state.h"
#include "scenes/scene_table.h"
#include "scenes/scenes.h"
#include "scenes/sync_effects.h"

namespace tarvola {

void finaleInit(SceneState&) {}

void finaleRender(SceneState& scenes, Surface& target, DepthBuffer& depth, float t) {
  FinaleState& state = scenes.finale;
  // Consumed here, before the interference scene could see it.
  if (scenes.syncs.sync5.take()) {
    state.cycleIndex = nextFinaleCycleIndex(state.cycleIndex);
    state.flashStart = t;
  }
  kScenes[kFinaleCycle[state.cycleIndex]].render(scenes, target, depth, t);
  const float d = t - state.flashStart;
  if (d < kFinaleFlashLength) {
    const float w = weightFalling60(d);
    target.fadeToColour(truncToInt32(double(w) * 255), packColour(255, 255, 255, 255));
  }
}

}  // namespace tarvola
