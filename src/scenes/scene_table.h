// The six scenes of the programme as {init, render} slots, Scene 1 (logo opening) first.
// Start-up runs the inits once; the timeline calls the render functions with the framebuffer,
// the frame's depth buffer (cleared, the framebuffer's size) and the demo time in hundredths
// of a second.
#pragma once

#include "raster/depth_buffer.h"
#include "surface/surface.h"

namespace tarvola {

using SceneInit = void (*)();
using SceneRender = void (*)(Surface& target, DepthBuffer& depth, float time);

struct Scene {
  SceneInit init;
  SceneRender render;
};

inline constexpr int kSceneCount = 6;

// Scene 1 logo opening, 2 polar interference, 3 metaballs in the box, 4 credits,
// 5 ray-grid tunnel, 6 finale cycle. Constant-initialised, so it is usable from any
// static initialiser.
extern const Scene kScenes[kSceneCount];

}  // namespace tarvola
