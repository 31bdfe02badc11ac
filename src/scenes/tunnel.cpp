// Scene 5: the ray-grid tunnel.
#include <cmath>

#include "base/fixed_point.h"
#include "music/sync_events.h"
#include "scenes/scene_files.h"
#include "scenes/scene_paths.h"
#include "scenes/scene_pictures.h"
#include "scenes/scene_state.h"
#include "scenes/scenes.h"
#include "surface/compositing.h"
#include "surface/filters.h"
#include "surface/generators.h"
#include "surface/ray_grid.h"

namespace tarvola {

void tunnelInit(SceneState& scenes) {
  TunnelSceneState& state = scenes.tunnel;
  state.gridTexture.loadTga(kGridTextureFile);
  state.gridEnvMap.loadTga(kGridEnvMapFile);
  state.gridHeightSource.loadTga(kGridHeightFile);
  state.plasmaA.loadTga(kPlasmaAFile);
  state.plasmaB.loadTga(kPlasmaBFile);
  requirePicture(state.gridTexture, 256, 256, kTunnelTextureTexels);  // with the spare row the grid reads
  requirePicture(state.gridEnvMap, 256, 256, kTextureTexels);
  requirePicture(state.gridHeightSource, 256, 256, kTextureTexels);
  requirePicture(state.plasmaA, 640, 480, kPlasmaWindowRead);
  requirePicture(state.plasmaB, 640, 480, kPlasmaWindowRead);
  state.plasmaProduct.create(kScreenWidth, kScreenHeight);
  // The height map moves into the wall texture's top bytes, where the block filler reads it.
  for (size_t i = 0; i < kTextureTexels; ++i) {
    state.gridTexture.pixels[i] =
        (state.gridTexture.pixels[i] & 0x00FFFFFFu) | (state.gridHeightSource.pixels[i] & 0x00FF0000u) << 8;
  }
  state.grid.init(kScreenWidth, kScreenHeight);
}

void tunnelRender(SceneState& scenes, Surface& target, DepthBuffer&, float t) {
  TunnelSceneState& state = scenes.tunnel;
  // Early mode (t <= 10800): slow drift under the plasma; late mode: 1.8 times faster, no plasma.
  const bool late = t > 10800.0f;
  if (state.startTime == 0.0f) state.startTime = t;
  float u = t - state.startTime;
  if (late) {
    u = float(double(u) * 1.8);
    scenes.syncs.sync3.take();
  }
  const TunnelPose pose = tunnelPose(u, late);
  state.grid.scrollU = pose.scrollU;
  state.grid.scrollV = 0.0f;
  state.grid.setCamera(pose.position, pose.angles);
  state.grid.render(target, state.gridTexture, state.gridEnvMap);

  if (t < 10800.0f) {
    const double du = u;
    multiplyWindows(
        state.plasmaProduct, state.plasmaA, state.plasmaB, truncToInt32(151 * std::sin(du * kAngle03D) + 160),
        truncToInt32(119 * std::sin(-du * kAngle02D) + 120), truncToInt32(151 * std::sin(-du * kAngle03D) + 160),
        truncToInt32(119 * std::sin(du * kAngle08D) + 120));
    state.plasmaProduct.multiplyOnto(target);
    target.brighten(64);
    crossBlur(target);
  }
  crossBlur(target);
}

}  // namespace tarvola
