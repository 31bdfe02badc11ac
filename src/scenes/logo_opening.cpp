// Scene 1: the logo opening.
#include <cmath>

#include "base/fixed_point.h"
#include "scenes/scene_pictures.h"
#include "scenes/scenes.h"
#include "surface/compositing.h"
#include "surface/filters.h"
#include "surface/generators.h"

namespace tarvola {

namespace {
Surface logoPicture;  // 256 x 256 tile, repeated by the corner warp
Surface fadeMask;     // 320 x 240 vignette
Surface maskBuffer;   // the mask of this frame
}  // namespace

void logoOpeningInit() {
  logoPicture.loadTga("data/vok.tga");
  fadeMask.loadTga("data/fade.tga");
  maskBuffer.create(kScreenWidth, kScreenHeight);
  requirePicture(logoPicture, 256, 256, kTextureTexels);
  requirePicture(fadeMask, kScreenWidth, kScreenHeight, kScreenPicture);
}

void logoOpeningRender(Surface& target, DepthBuffer&, float t) {
  target.clear();
  copySurface(fadeMask, maskBuffer);
  // The pulse: 1..255, one period in about 257 hundredths.
  maskBuffer.addBrightness(truncToInt32(std::sin(double(t) * 0.02443388885921902) * 127 + 128));
  drawCornerWarp(target, logoPicture, t + 950.0f);
  radialZoomBlur(target, 160, 120, 1000, 24);
  // The brightened mask, inverted, darkens the logo where the mask is bright.
  maskBuffer.invertBlend(255);
  maskBuffer.multiplyOnto(target);
}

}  // namespace tarvola
