// The scene schedule: a table of set-scene / wait / end commands walked against the demo
// time (hundredths of a second) once per frame, and the Timeline that walks it for a run.
#pragma once

#include <cstdint>

#include "scenes/scene_table.h"
#include "surface/surface.h"

namespace tarvola {

enum TimelineOpcode : int32_t {
  kSetScene = 0,  // make `scene` the current render function
  kWait = 1,      // stay until the time reaches `waitUntil`
  kEnd = 2,       // the demo is over (any other opcode ends it too)
};

struct TimelineCommand {
  TimelineOpcode opcode;
  int32_t waitUntil;  // kWait: hundredths of a second
  SceneRender scene;  // kSetScene: the scene's render function
};

inline constexpr int kTimelineLength = 13;

// The programme: Scene 1 from 0 s, 2 from 8.50 s, 3 from 44.50 s, 4 from 80.00 s,
// 5 from 94.00 s, 6 from 124.00 s, the end at 166.00 s; over the slots of kScenes.
const TimelineCommand* demoTimelineTable();

struct Timeline {
  float time = 0.0f;                        // hundredths given to the last update
  const TimelineCommand* cursor = nullptr;  // the command the next update starts at
  SceneRender scene = nullptr;              // empty until the first set-scene command

  void start(const TimelineCommand* table);
  // Stores t, then runs commands until a wait that t has not reached (argument <= t passes,
  // a NaN passes none) or an end. True once the end is reached, and on every later call.
  bool update(float t);
  // Calls the current scene with the stored time; does nothing before the first scene.
  void render(SceneState& scenes, Surface& target, DepthBuffer& depth) const;
};

}  // namespace tarvola
