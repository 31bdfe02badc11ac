// Scene 2: the polar interference.
#include <cmath>

#include "base/fixed_point.h"
#include "music/sync_events.h"
#include "scenes/event_weight.h"
#include "scenes/scene_files.h"
#include "scenes/scene_pictures.h"
#include "scenes/scene_state.h"
#include "scenes/scenes.h"
#include "scenes/sync_effects.h"
#include "surface/compositing.h"
#include "surface/filters.h"
#include "surface/generators.h"

namespace tarvola {

void polarSceneInit(SceneState& scenes) {
  PolarSceneState& state = scenes.polar;
  state.polarTexture.loadTga(kPolarTextureFile);
  requirePicture(state.polarTexture, 256, 256, kTextureTexels);
  state.interferenceBuffer.create(kScreenWidth, kScreenHeight);
  state.trailBuffer.create(kScreenWidth, kScreenHeight);
  state.blurBuffer.create(kScreenWidth, kScreenHeight);
  buildPolarTables(state.tables);
}

void polarSceneRender(SceneState& scenes, Surface& target, DepthBuffer&, float t) {
  PolarSceneState& state = scenes.polar;
  // Scene time: a fifth of the demo's speed until t = 2300, then the demo time itself.
  const float s = polarEventClock(t);

  drawPolarInterference(state.interferenceBuffer, state.polarTexture, state.tables, state.kickPhase + s);
  crossBlur(state.interferenceBuffer);
  crossBlur(state.interferenceBuffer);
  state.interferenceBuffer.blendOnto(state.trailBuffer, 64);

  // Every event jumps the pattern to another phase and starts a half-sine brightness pulse.
  if (scenes.syncs.syncAny.take()) {
    state.kickPhase += 100.0f;
    state.kickStart = s;
  }
  float d = s - state.kickStart;
  if (d < kPolarPulseLength) {
    state.trailBuffer.brighten(truncToInt32(std::sin((1 - double(d) * 0.025) * 180 * 0.017452778) * 100));
  }

  // sync5 starts a horizontal blur of radius 24 that shrinks to 0 over 60 units.
  if (scenes.syncs.sync5.take()) state.blurStart = s;
  d = s - state.blurStart;
  state.blurLevel = d < kPolarBlurLength ? weightFalling60(d) : 0.0f;
  if (state.blurLevel > 0.0f) {
    boxBlurRows(state.blurBuffer, state.trailBuffer, uint32_t(truncToInt32(double(state.blurLevel) * 24)));
  } else {
    copySurface(state.trailBuffer, state.blurBuffer);
  }
  copySurface(state.blurBuffer, target);

  // Fade in from black over the first 60 units of the scene's first run.
  if (state.firstFrame) {
    state.firstFrame = false;
    state.fadeInStart = s;
  }
  d = s - state.fadeInStart;
  if (d < 60.0f) {
    const float w = weightFalling60(d);
    target.fadeToColour(truncToInt32(double(w) * 255), packColour(0, 0, 0, 0));
  }
}

}  // namespace tarvola
