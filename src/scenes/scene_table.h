// The six scenes of the programme as {init, render} slots, Scene 1 (logo opening) first.
// Start-up runs the inits once on the run's SceneState; the timeline calls the render functions
// with it, the framebuffer, the frame's depth buffer (cleared, the framebuffer's size) and the
// demo time in hundredths of a second.
#pragma once

#include "raster/depth_buffer.h"
#include "surface/surface.h"

namespace tarvola {

struct SceneState;  // scene_state.h: the run's state of all six scenes

using SceneInit = void (*)(SceneState& scenes);
using SceneRender = void (*)(SceneState& scenes, Surface& target, DepthBuffer& depth, float time);

struct Scene {
  SceneInit init;
  SceneRender render;
};

inline constexpr int kSceneCount = 6;

// Scene 1 logo opening, 2 polar interference, 3 metaballs in the box, 4 credits,
// 5 ray-grid tunnel, 6 finale cycle. Constant-initialised, so it is usable from any
// static initialiser.
extern const Scene kScenes[kSceneCount];

// Start-up runs the inits in this order: the slots of Scenes 3, 5, 2, 6, 1, 4.
inline constexpr int kSceneInitOrder[kSceneCount] = {2, 4, 1, 5, 0, 3};

// Scene 6's slot, and the slots it cycles through, starting with the first: Scenes 2, 3 and 5.
inline constexpr int kFinaleSlot = 5;
inline constexpr int kFinaleCycle[3] = {1, 2, 4};
// The index into kFinaleCycle after `index`, back to the first after the last.
inline constexpr int nextFinaleCycleIndex(int index) { return index + 1 == 3 ? 0 : index + 1; }

// The slots' names, as the tools print them.
inline constexpr const char* kSceneNames[kSceneCount] = {"logo opening", "polar interference", "metaballs in the box",
                                                         "credits",      "ray-grid tunnel",    "finale"};

}  // namespace tarvola
