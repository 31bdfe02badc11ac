// Scene 3: the metaballs in the box, the demo's one 3D scene.
#include <cmath>

#include "base/fixed_point.h"
#include "engine3d/pipeline.h"
#include "metaballs/polygonizer.h"
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

struct MetaballSceneState {
  float timePhase = 0;
  float shake = 0;
  float shakeStart = 0;
  float flashStart = 0;
  bool firstFrame = true;
};
MetaballSceneState metaballSceneState;

MetaballPolygonizer metaballs;  // a blob, a ring and a rounded cube, polygonized every frame
Mesh boxMesh;                   // the room around the camera path
Surface sceneBuffer;            // both meshes are drawn here, then copied or blurred out
Camera sceneCamera;
}  // namespace

void metaballSceneInit() {
  metaballs.init(0.1f, 18, 10);
  // Both environment passes; three-surface filler, no bump offsets, lookups added.
  metaballs.mesh.setRenderFlags(kFillThreeSurface | kFillTextured | kEnvToUv1 | kEnvToUv2 | kThreeSurfaceAdd);
  metaballs.mesh.texture.loadTga("data/s02_tex7.tga");
  metaballs.mesh.lightmap.loadTga("data/s02_lightmap2.tga");
  requirePicture(metaballs.mesh.texture, 256, 256, kTextureTexels);
  requirePicture(metaballs.mesh.lightmap, 256, 256, kTextureTexels);
  metaballs.field.addInverseSquare(10);
  metaballs.field.setSourcePosition(0, 0, 0, 0);
  metaballs.field.addRing(16, 30);
  metaballs.field.setSourcePosition(1, -10, -10, 10);
  metaballs.field.addQuartic(12);
  metaballs.field.setSourcePosition(2, 10, 10, 10);

  boxMesh.loadMesh("data/box.3ds");
  boxMesh.texture.loadTga("data/plat32.tga");
  boxMesh.lightmap.loadTga("data/s02_lightmap6.tga");
  boxMesh.auxMap.loadTga("data/plat_b2.tga");
  requirePicture(boxMesh.texture, 256, 256, kTextureTexels);
  requirePicture(boxMesh.lightmap, 256, 256, kTextureTexels);
  requirePicture(boxMesh.auxMap, 256, 256, kTextureTexels);
  // Environment coordinates into the second pair; three-surface filler with bump offsets from
  // auxMap, lookups multiplied.
  boxMesh.setRenderFlags(kFillThreeSurface | kFillTextured | kEnvToUv2 | kThreeSurfaceBump);
  boxMesh.computeVertexNormals();
  sceneBuffer.create(kScreenWidth, kScreenHeight);
}

void metaballSceneRender(Surface& target, DepthBuffer& depth, float t) {
  MetaballSceneState& state = metaballSceneState;
  // Event clock s and animation clock e.
  const float s = metaballEventClock(t);
  const float e = float(double(t) * 0.9 + state.timePhase);
  // Without a blur to follow, the meshes are drawn straight into a target of the scene
  // buffer's size: the same pixels as drawing into the buffer and copying it over.
  const bool blurred = state.shake > 0.0f;
  const bool direct = !blurred && target.width == sceneBuffer.width && target.height == sceneBuffer.height &&
                      target.pixels.size() == sceneBuffer.pixels.size();
  Surface& canvas = direct ? target : sceneBuffer;
  canvas.clear();

  const double a = e * kAngle03D;
  const float b = float(-double(e) * 0.034905557);
  auto at = [](double value) { return float(value); };
  metaballs.field.setSourcePosition(0, at(45 * std::sin(e * 0.0017452777756585018)), at(45 * std::sin(-e * kAngle02D)),
                                    at(45 * std::sin(a)));
  metaballs.field.setSourcePosition(1, at(45 * std::sin(double(b))), at(45 * std::sin(a)),
                                    at(45 * std::sin(-e * 0.006981111102634007)));
  metaballs.field.setSourcePosition(2, at(45 * std::cos(double(b))), at(45 * std::sin(a)),
                                    at(45 * std::cos(e * 0.006981111102634007)));

  // The eye circles the origin at radius 140 and bobs by up to 140; shaken after an event.
  Vec3 eye{at(140 * std::sin(a)), at(-140 * std::sin(e * 0.006108472214804755)), at(140 * std::cos(a))};
  if (state.shake > 0.0f) eye = shakePosition(eye, 10.0f, 1.0f - state.shake);
  sceneCamera.setLookAt(eye.x, eye.y, eye.z, 0, 0, 0);

  boxMesh.setPosition(0, 160, 0);
  boxMesh.setRotation(-90, 0, 0);
  boxMesh.draw(canvas, depth, sceneCamera);
  metaballs.polygonize();
  metaballs.mesh.setPosition(0, 0, 0);
  metaballs.mesh.setRotation(at(0.3 * e), at(0.4 * e), at(0.5 * e));
  metaballs.mesh.draw(canvas, depth, sceneCamera);

  if (blurred) {
    boxBlurRows(target, sceneBuffer, uint32_t(truncToInt32(double(state.shake) * 16)));
  } else if (!direct) {
    copySurface(sceneBuffer, target);
  }

  // sync1 shakes and blurs for 60 units of s; sync2 (always with sync1) also jumps ahead.
  if (sync1.take()) state.shakeStart = s;
  if (sync2.take()) {
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
