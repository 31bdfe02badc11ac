// Scene 4: the credits.
#include <cmath>

#include "raster/fixed_point.h"
#include "scenes/scene_pictures.h"
#include "scenes/scenes.h"
#include "surface/compositing.h"
#include "surface/filters.h"

namespace tarvola {

namespace {
Surface creditsPicture;  // 320 x 240, redrawn every frame so the blur never accumulates
}

void creditsInit() {
  creditsPicture.loadTga("data/cred.tga");
  requirePicture(creditsPicture, 320, 240, kScreenPicture);
}

void creditsRender(Surface& target, float t) {
  target.clear();
  copySurface(creditsPicture, target);
  // The blur centre sweeps along row 180 between x = 10 and 310, one period in about 18 s.
  const int32_t centreX = truncToInt32(std::sin((double(t) + 60) * 0.0034905555513170036) * 150 + 160);
  radialZoomBlur(target, centreX, 180, 2000, 32);
  target.brighten(64);
}

}  // namespace tarvola
