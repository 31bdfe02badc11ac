// Scene 6: the finale, cycling through the interference, metaballs and tunnel scenes.
#include "base/fixed_point.h"
#include "music/sync_events.h"
#include "scenes/event_weight.h"
#include "scenes/scene_table.h"
#include "scenes/scenes.h"

namespace tarvola {

namespace {
struct FinaleState {
  int32_t cycleIndex = 0;
  float flashStart = 0;
};
FinaleState finaleState;

constexpr SceneRender kCycle[3] = {&polarSceneRender, &metaballSceneRender, &tunnelRender};
}  // namespace

void finaleInit() {}

void finaleRender(Surface& target, DepthBuffer& depth, float t) {
  FinaleState& state = finaleState;
  // Consumed here, before the interference scene could see it.
  if (sync5.take()) {
    state.cycleIndex = state.cycleIndex + 1 == 3 ? 0 : state.cycleIndex + 1;
    state.flashStart = t;
  }
  kCycle[state.cycleIndex](target, depth, t);
  const float d = t - state.flashStart;
  if (d < 60.0f) {
    const float w = weightFalling60(d);
    target.fadeToColour(truncToInt32(double(w) * 255), packColour(255, 255, 255, 255));
  }
}

}  // namespace tarvola
