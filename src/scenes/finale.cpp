// Scene 6: the finale, cycling through the interference, metaballs and tunnel scenes.
#include "base/fixed_point.h"
#include "music/sync_events.h"
#include "scenes/event_weight.h"
#include "scenes/scene_table.h"
#include "scenes/scenes.h"
#include "scenes/sync_effects.h"

namespace tarvola {

namespace {
struct FinaleState {
  int32_t cycleIndex = 0;
  float flashStart = 0;
};
FinaleState finaleState;
}  // namespace

void finaleInit() {}

void finaleRender(Surface& target, DepthBuffer& depth, float t) {
  FinaleState& state = finaleState;
  // Consumed here, before the interference scene could see it.
  if (sync5.take()) {
    state.cycleIndex = state.cycleIndex + 1 == 3 ? 0 : state.cycleIndex + 1;
    state.flashStart = t;
  }
  kScenes[kFinaleCycle[state.cycleIndex]].render(target, depth, t);
  const float d = t - state.flashStart;
  if (d < kFinaleFlashLength) {
    const float w = weightFalling60(d);
    target.fadeToColour(truncToInt32(double(w) * 255), packColour(255, 255, 255, 255));
  }
}

}  // namespace tarvola
