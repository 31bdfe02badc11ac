// Scene 1: the logo opening.
#include <cmath>

#include "base/fixed_point.h"
#include "scenes/scene_files.h"
#include "scenes/scene_pictures.h"
#include "scenes/scene_state.h"
#include "scenes/scenes.h"
#include "surface/compositing.h"
#include "surface/filters.h"
#include "surface/generators.h"

namespace tarvola {

void logoOpeningInit(SceneState& scenes) {
  LogoOpeningState& state = scenes.logo;
  state.logoPicture.loadTga(kLogoTileFile);
  state.fadeMask.loadTga(kFadeMaskFile);
  state.maskBuffer.create(kScreenWidth, kScreenHeight);
  requirePicture(state.logoPicture, 256, 256, kTextureTexels);
  requirePicture(state.fadeMask, kScreenWidth, kScreenHeight, kScreenPicture);
}

void logoOpeningRender(SceneState& scenes, Surface& target, DepthBuffer&, float t) {
  LogoOpeningState& state = scenes.logo;
  target.clear();
  copySurface(state.fadeMask, state.maskBuffer);
  // The pulse: 1..255, one period in about 257 hundredths.
  state.maskBuffer.addBrightness(truncToInt32(std::sin(double(t) * kAngle14D) * 127 + 128));
  drawCornerWarp(target, state.logoPicture, t + 950.0f);
  radialZoomBlur(target, 160, 120, 1000, 24);
  // The brightened mask, inverted, darkens the logo where the mask is bright.
  state.maskBuffer.invertBlend(255);
  state.maskBuffer.multiplyOnto(target);
}

}  // namespace tarvola
