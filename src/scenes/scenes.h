// The six scenes of the programme: each an init (run once at start-up: loads its pictures,
// builds its buffers) and a render (target, the frame's cleared depth buffer, which only the
// metaballs' meshes use, demo time t in hundredths of a second), over the run's SceneState
// (scene_state.h), which is never reset, so the finale continues the state that the
// interference, metaballs and tunnel scenes left.
//
// Float conventions of the scene code: constants are used as written, products and sums are
// formed in double and rounded to float where a value is stored in a float; every
// float-to-int conversion truncates toward zero (truncToInt32). Event windows compare
// d = s - start with a bound strictly, so a NaN difference gives no effect.
#pragma once

#include <cstdint>

#include "raster/depth_buffer.h"
#include "scenes/scene_state.h"
#include "surface/surface.h"

namespace tarvola {

// Scene 1, 0 - 8.50 s: the logo tile under an oscillating corner warp, zoom-blurred and
// darkened through a pulsing mask.
void logoOpeningInit(SceneState& scenes);
void logoOpeningRender(SceneState& scenes, Surface& target, DepthBuffer& depth, float t);

// Scene 2, 8.50 - 44.50 s: polar interference with a feedback trail, pulses on syncAny, a
// horizontal blur on sync5, a fade in from black; a fifth of the speed until t = 2300.
void polarSceneInit(SceneState& scenes);
void polarSceneRender(SceneState& scenes, Surface& target, DepthBuffer& depth, float t);

// Scene 3, 44.50 - 80.00 s: metaballs in a bump-mapped box; sync1 shakes, sync2 also cuts ahead.
void metaballSceneInit(SceneState& scenes);
void metaballSceneRender(SceneState& scenes, Surface& target, DepthBuffer& depth, float t);

// Scene 4, 80.00 - 94.00 s: the credits picture under a sweeping zoom blur, brightened.
void creditsInit(SceneState& scenes);
void creditsRender(SceneState& scenes, Surface& target, DepthBuffer& depth, float t);
// The zoom blur's centre column at time t: 10..310 along row 180.
int32_t creditsBlurCentre(float t);

// Scene 5, 94.00 - 124.00 s: the ray-grid tunnel; plasma layer until t = 10800, then faster.
void tunnelInit(SceneState& scenes);
void tunnelRender(SceneState& scenes, Surface& target, DepthBuffer& depth, float t);

// Scene 6, 124.00 - 166.00 s: Scenes 2, 3 and 5 in turn, the next one on every sync5, with a flash.
void finaleInit(SceneState& scenes);
void finaleRender(SceneState& scenes, Surface& target, DepthBuffer& depth, float t);

}  // namespace tarvola
