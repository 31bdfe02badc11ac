// Scene 6: the finale, cycling through the interference, metaballs and tunnel scenes.
#include "base/fixed_point.h"
#include "music/sync_events.h"
#include "scenes/scenes.h"

namespace tarvola {

FinaleState finaleState;

namespace {
using SceneRender = void (*)(Surface&, float);
constexpr SceneRender kCycle[3] = {&polarSceneRender, &metaballSceneRender, &tunnelRender};
}  // namespace

void finaleInit() {}

void finaleRender(Surface& target, float t) {
  FinaleState& state = finaleState;
  // Consumed here, before the interference scene could see it.
  if (sync5.take()) {
    state.cycleIndex = state.cycleIndex + 1 == 3 ? 0 : state.cycleIndex + 1;
    state.flashStart = t;
  }
  kCycle[state.cycleIndex](target, t);
  const float d = t - state.flashStart;
  if (d < 60.0f) {
    const float w = float(1 - double(d) * 0.016666668);
    target.fadeToColour(truncToInt32(double(w) * 255), packColour(255, 255, 255, 255));
  }
}

}  // namespace tarvola
