// Scene 2: the polar interference.
#include <cmath>

#include "base/fixed_point.h"
#include "music/sync_events.h"
#include "scenes/event_weight.h"
#include "scenes/scene_pictures.h"
#include "scenes/scenes.h"
#include "scenes/sync_effects.h"
#include "surface/compositing.h"
#include "surface/filters.h"
#include "surface/generators.h"

namespace tarvola {

namespace {

struct PolarSceneState {
  float kickPhase = 0;
  float kickStart = 0;
  float blurStart = 0;
  float blurLevel = 0;
  float fadeInStart = 0;
  bool firstFrame = true;
};
PolarSceneState polarSceneState;

Surface polarTexture;        // 256 x 256, looked up twice and added with saturation
Surface interferenceBuffer;  // this frame's pattern
Surface trailBuffer;         // the feedback trail, kept from frame to frame
Surface blurBuffer;          // the trail, blurred after a sync5
}  // namespace

void polarSceneInit() {
  polarTexture.loadTga("data/s02_tex6.tga");
  requirePicture(polarTexture, 256, 256, kTextureTexels);
  interferenceBuffer.create(kScreenWidth, kScreenHeight);
  trailBuffer.create(kScreenWidth, kScreenHeight);
  blurBuffer.create(kScreenWidth, kScreenHeight);
  buildPolarTables();
}

void polarSceneRender(Surface& target, DepthBuffer&, float t) {
  PolarSceneState& state = polarSceneState;
  // Scene time: a fifth of the demo's speed until t = 2300, then the demo time itself.
  const float s = polarEventClock(t);

  drawPolarInterference(interferenceBuffer, polarTexture, state.kickPhase + s);
  crossBlur(interferenceBuffer);
  crossBlur(interferenceBuffer);
  interferenceBuffer.blendOnto(trailBuffer, 64);

  // Every event jumps the pattern to another phase and starts a half-sine brightness pulse.
  if (syncAny.take()) {
    state.kickPhase += 100.0f;
    state.kickStart = s;
  }
  float d = s - state.kickStart;
  if (d < kPolarPulseLength) {
    trailBuffer.brighten(truncToInt32(std::sin((1 - double(d) * 0.025) * 180 * 0.017452778) * 100));
  }

  // sync5 starts a horizontal blur of radius 24 that shrinks to 0 over 60 units.
  if (sync5.take()) state.blurStart = s;
  d = s - state.blurStart;
  state.blurLevel = d < kPolarBlurLength ? weightFalling60(d) : 0.0f;
  if (state.blurLevel > 0.0f) {
    boxBlurRows(blurBuffer, trailBuffer, uint32_t(truncToInt32(double(state.blurLevel) * 24)));
  } else {
    copySurface(trailBuffer, blurBuffer);
  }
  copySurface(blurBuffer, target);

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
