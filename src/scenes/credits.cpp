// Scene 4: the credits.
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

void creditsInit(SceneState& scenes) {
  Surface& creditsPicture = scenes.credits.creditsPicture;
  creditsPicture.loadTga(kCreditsFile);
  requirePicture(creditsPicture, kScreenWidth, kScreenHeight, kScreenPicture);
}

int32_t creditsBlurCentre(float t) {
  // One period of the sweep lasts about 1800 hundredths.
  return truncToInt32(std::sin((double(t) + 60) * kAngle02D) * 150 + 160);
}

void creditsRender(SceneState& scenes, Surface& target, DepthBuffer&, float t) {
  target.clear();
  copySurface(scenes.credits.creditsPicture, target);
  radialZoomBlur(target, creditsBlurCentre(t), 180, 2000, 32);
  target.brighten(64);
}

}  // namespace tarvola
