// Scene 5: the ray-grid tunnel.
#include <cmath>

#include "base/fixed_point.h"
#include "music/sync_events.h"
#include "scenes/scene_pictures.h"
#include "scenes/scenes.h"
#include "surface/compositing.h"
#include "surface/filters.h"
#include "surface/generators.h"
#include "surface/ray_grid.h"

namespace tarvola {

namespace {

struct TunnelSceneState {
  float startTime = 0;
  float clock = 0;  // the scene clock u of the last frame
};
TunnelSceneState tunnelSceneState;

Surface gridTexture;       // wall texture; its top bytes hold the height map
Surface gridHeightSource;  // red channel = height, used at init only
Surface gridEnvMap;        // environment map, added
Surface plasmaA, plasmaB;  // 640 x 480 plasmas, multiplied through sliding windows
Surface plasmaProduct;     // 320 x 240
RayGrid grid;
}  // namespace

void tunnelInit() {
  gridTexture.loadTga("data/tex0132.tga");
  gridEnvMap.loadTga("data/tomsaenv2.tga");
  gridHeightSource.loadTga("data/tex01b2.tga");
  plasmaA.loadTga("data/plasma1.tga");
  plasmaB.loadTga("data/plasma2.tga");
  requirePicture(gridTexture, 256, 256, kTunnelTextureTexels);  // with the spare row the grid reads
  requirePicture(gridEnvMap, 256, 256, kTextureTexels);
  requirePicture(gridHeightSource, 256, 256, kTextureTexels);
  requirePicture(plasmaA, 640, 480, kPlasmaWindowRead);
  requirePicture(plasmaB, 640, 480, kPlasmaWindowRead);
  plasmaProduct.create(kScreenWidth, kScreenHeight);
  // The height map moves into the wall texture's top bytes, where the block filler reads it.
  for (size_t i = 0; i < kTextureTexels; ++i) {
    gridTexture.pixels[i] = (gridTexture.pixels[i] & 0x00FFFFFFu) | (gridHeightSource.pixels[i] & 0x00FF0000u) << 8;
  }
  grid.init(kScreenWidth, kScreenHeight);
}

void tunnelRender(Surface& target, DepthBuffer&, float t) {
  TunnelSceneState& state = tunnelSceneState;
  // Early mode (t <= 10800): slow drift under the plasma; late mode: 1.8 times faster, no plasma.
  const bool late = t > 10800.0f;
  if (state.startTime == 0.0f) state.startTime = t;
  float u = t - state.startTime;
  if (late) {
    u = float(double(u) * 1.8);
    sync3.take();
  }
  state.clock = u;
  grid.scrollU = float(double(u) * 0.7);
  grid.scrollV = 0.0f;

  auto at = [](double value) { return float(value); };
  const double du = u;
  Vec3 position{at(20 * std::sin(du * 0.006981111102634007)), at(20 * std::sin(du * 0.008726388878292508)), 0};
  Vec3 angles;
  if (late) {
    position.z = at(-0.6 * du);
    angles = Vec3{at(40 * std::sin(du * kAngle03D)), at(40 * std::sin(du * kAngle02D)), at(0.02 * du)};
  } else {
    position.z = at(0.4 * du);
    angles = Vec3{at(0.08 * du), at(0.2 * du), at(0.3 * du)};
  }
  grid.setCamera(position, angles);
  grid.render(target, gridTexture, gridEnvMap);

  if (t < 10800.0f) {
    multiplyWindows(plasmaProduct, plasmaA, plasmaB, truncToInt32(151 * std::sin(du * kAngle03D) + 160),
                    truncToInt32(119 * std::sin(-du * kAngle02D) + 120),
                    truncToInt32(151 * std::sin(-du * kAngle03D) + 160),
                    truncToInt32(119 * std::sin(du * 0.013962222205268014) + 120));
    plasmaProduct.multiplyOnto(target);
    target.brighten(64);
    crossBlur(target);
  }
  crossBlur(target);
}

}  // namespace tarvola
