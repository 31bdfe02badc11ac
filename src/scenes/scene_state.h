// What the six scenes keep from frame to frame: each scene's pictures, buffers and event state,
// and the music's sync flags they take. One value per run, filled by the inits and never reset,
// so the finale continues the state that the interference, metaballs and tunnel scenes left.
#pragma once

#include <cstdint>

#include "engine3d/pipeline.h"
#include "metaballs/polygonizer.h"
#include "music/sync_events.h"
#include "surface/generators.h"
#include "surface/ray_grid.h"
#include "surface/surface.h"

namespace tarvola {

// Scene 1.
struct LogoOpeningState {
  Surface logoPicture;  // 256 x 256 tile, repeated by the corner warp
  Surface fadeMask;     // 320 x 240 vignette
  Surface maskBuffer;   // the mask of this frame
};

// Scene 2.
struct PolarSceneState {
  float kickPhase = 0;
  float kickStart = 0;
  float blurStart = 0;
  float blurLevel = 0;
  float fadeInStart = 0;
  bool firstFrame = true;

  PolarTables tables;          // built at init
  Surface polarTexture;        // 256 x 256, looked up twice and added with saturation
  Surface interferenceBuffer;  // this frame's pattern
  Surface trailBuffer;         // the feedback trail, kept from frame to frame
  Surface blurBuffer;          // the trail, blurred after a sync5
};

// Scene 3.
struct MetaballSceneState {
  float timePhase = 0;
  float shake = 0;
  float shakeStart = 0;
  float flashStart = 0;
  bool firstFrame = true;

  MetaballPolygonizer metaballs;  // a blob, a ring and a rounded cube, polygonized every frame
  Mesh boxMesh;                   // the room around the camera path
  Surface sceneBuffer;            // both meshes are drawn here, then copied or blurred out
  Camera sceneCamera;
};

// Scene 4.
struct CreditsState {
  Surface creditsPicture;  // 320 x 240, redrawn every frame so the blur never accumulates
};

// Scene 5.
struct TunnelSceneState {
  float startTime = 0;  // t of the scene's first frame; 0 until then

  Surface gridTexture;       // wall texture; its top bytes hold the height map
  Surface gridHeightSource;  // red channel = height, used at init only
  Surface gridEnvMap;        // environment map, added
  Surface plasmaA, plasmaB;  // 640 x 480 plasmas, multiplied through sliding windows
  Surface plasmaProduct;     // 320 x 240
  RayGrid grid;
};

// Scene 6.
struct FinaleState {
  int32_t cycleIndex = 0;  // 0 interference, 1 metaballs, 2 tunnel
  float flashStart = 0;
};

struct SceneState {
  SyncFlags syncs;  // raised by the run's host, taken by the scenes
  LogoOpeningState logo;
  PolarSceneState polar;
  MetaballSceneState metaballs;
  CreditsState credits;
  TunnelSceneState tunnel;
  FinaleState finale;
};

}  // namespace tarvola
