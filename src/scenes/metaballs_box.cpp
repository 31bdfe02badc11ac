// Scene 3: the metaballs in the box, the demo's one 3D scene.
#include <cmath>

#include "base/fixed_point.h"
#include "engine3d/pipeline.h"
#include "metaballs/polygonizer.h"
#include "music/sync_events.h"
#include "scenes/event_weight.h"
#include "scenes/scene_files.h"
#include "scenes/scene_paths.h"
#include "scenes/scene_pictures.h"
#include "scenes/scene_state.h"
#include "scenes/scenes.h"
#include "scenes/sync_effects.h"
#include "surface/compositing.h"
#include "surface/filters.h"
#include "surface/generators.h"

namespace tarvola {

void metaballSceneInit(SceneState& scenes) {
  MetaballSceneState& state = scenes.metaballs;
  setUpMetaballField(state.metaballs);
  // Both environment passes; three-surface filler, no bump offsets, lookups added.
  state.metaballs.mesh.setRenderFlags(kFillThreeSurface | kFillTextured | kEnvToUv1 | kEnvToUv2 | kThreeSurfaceAdd);
  state.metaballs.mesh.texture.loadTga(kMetaballTextureFile);
  state.metaballs.mesh.lightmap.loadTga(kMetaballLightmapFile);
  requirePicture(state.metaballs.mesh.texture, 256, 256, kTextureTexels);
  requirePicture(state.metaballs.mesh.lightmap, 256, 256, kTextureTexels);

  state.boxMesh.loadMesh(kBoxMeshFile);
  state.boxMesh.texture.loadTga(kBoxTextureFile);
  state.boxMesh.lightmap.loadTga(kBoxLightmapFile);
  state.boxMesh.auxMap.loadTga(kBoxBumpFile);
  requirePicture(state.boxMesh.texture, 256, 256, kTextureTexels);
  requirePicture(state.boxMesh.lightmap, 256, 256, kTextureTexels);
  requirePicture(state.boxMesh.auxMap, 256, 256, kTextureTexels);
  // Environment coordinates into the second pair; three-surface filler with bump offsets from
  // auxMap, lookups multiplied.
  state.boxMesh.setRenderFlags(kFillThreeSurface | kFillTextured | kEnvToUv2 | kThreeSurfaceBump);
  state.boxMesh.computeVertexNormals();
  state.sceneBuffer.create(kScreenWidth, kScreenHeight);
}

void metaballSceneRender(SceneState& scenes, Surface& target, DepthBuffer& depth, float t) {
  MetaballSceneState& state = scenes.metaballs;
  // Event clock s and animation clock e.
  const float s = metaballEventClock(t);
  const float e = float(double(t) * 0.9 + state.timePhase);
  // Without a blur to follow, the meshes are drawn straight into a target of the scene
  // buffer's size: the same pixels as drawing into the buffer and copying it over.
  const bool blurred = state.shake > 0.0f;
  const bool direct = !blurred && target.width == state.sceneBuffer.width &&
                      target.height == state.sceneBuffer.height &&
                      target.pixels.size() == state.sceneBuffer.pixels.size();
  Surface& canvas = direct ? target : state.sceneBuffer;
  canvas.clear();

  const MetaballPose pose = metaballPose(e);
  for (int i = 0; i < 3; ++i)
    state.metaballs.field.setSourcePosition(i, pose.sources[i].x, pose.sources[i].y, pose.sources[i].z);
  // The eye is shaken after an event.
  Vec3 eye = pose.eye;
  if (state.shake > 0.0f) eye = shakePosition(eye, 10.0f, 1.0f - state.shake);
  state.sceneCamera.setLookAt(eye.x, eye.y, eye.z, 0, 0, 0);

  state.boxMesh.setPosition(kBoxPosition.x, kBoxPosition.y, kBoxPosition.z);
  state.boxMesh.setRotation(kBoxRotation.x, kBoxRotation.y, kBoxRotation.z);
  state.boxMesh.draw(canvas, depth, state.sceneCamera);
  state.metaballs.polygonize();
  state.metaballs.mesh.setPosition(0, 0, 0);
  state.metaballs.mesh.setRotation(pose.rotation.x, pose.rotation.y, pose.rotation.z);
  state.metaballs.mesh.draw(canvas, depth, state.sceneCamera);

  if (blurred) {
    boxBlurRows(target, state.sceneBuffer, uint32_t(truncToInt32(double(state.shake) * 16)));
  } else if (!direct) {
    copySurface(state.sceneBuffer, target);
  }

  // sync1 shakes and blurs for 60 units of s; sync2 (always with sync1) also jumps ahead.
  if (scenes.syncs.sync1.take()) state.shakeStart = s;
  if (scenes.syncs.sync2.take()) {
    state.timePhase += 500.0f;
    state.shakeStart = s;
  }
  if (state.firstFrame) {
    state.firstFrame = false;
    state.flashStart = s;
  }
  float d = s - state.shakeStart;
  state.shake = d < kMetaballShakeLength ? weightFalling60(d) : 0.0f;

  // A white flash over the first 40 units, and the dimming to black before t = 8000 (which,
  // with r negative in the finale, becomes a pulse from full brightness to black).
  d = s - state.flashStart;
  if (d < 40.0f) {
    const float w = weightFalling40(d);
    target.fadeToColour(truncToInt32(double(w) * 255), packColour(255, 255, 255, 255));
  }
  const float r = 8000.0f - t;
  if (r < 100.0f) target.scale(truncToInt32(double(r) * 0.01 * 255) & 0xFF);
}

}  // namespace tarvola
