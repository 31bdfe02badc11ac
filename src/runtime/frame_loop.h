// The demo's run from start to end, written once over the Platform interface: start-up with
// its two pauses, the frame loop the timeline drives, and the shutdown. Everything a run changes
// lives in one DemoRun, so runs in one process never share state.
#pragma once

#include "raster/depth_buffer.h"
#include "runtime/frame_clock.h"
#include "runtime/platform.h"
#include "runtime/timeline.h"
#include "scenes/scene_state.h"
#include "scenes/scene_table.h"
#include "surface/surface.h"

namespace tarvola {

// What the run plays: six scene slots (Scene 1 first) and a timeline table over them.
struct DemoProgramme {
  const Scene* scenes;
  const TimelineCommand* timeline;
};

// kScenes and demoTimelineTable().
DemoProgramme demoProgramme();

// The demo time the timeline is walked on: the float sum of the frame clock's deltas since
// start, handed over in hundredths (the product in double, rounded once to float). The frame
// loop and the offline schedule both step it, so they agree to the bit.
struct DemoTime {
  FrameClock clock;
  float seconds = 0.0f;

  void start(Counter& counter);
  // One frame: the clock's update, seconds += delta; returns the hundredths.
  float advance(Counter& counter);
};

// One run's state: created empty, filled by start-up, changed by every frame.
struct DemoRun {
  Surface framebuffer;
  DepthBuffer depthBuffer;  // the framebuffer's size; cleared every frame, handed to the scene
  Surface letterbox;        // multiplied onto every rendered frame
  DemoTime time;
  Timeline timeline;
  SceneState scenes;  // the scenes' pictures, buffers and event state, and the sync flags
};

// Start-up: loading picture shown for 2000 ms while nothing else is loaded, then letterbox,
// music (its syncs raise run.scenes.syncs) and the scene inits (order 3, 5, 2, 6, 1, 4), black
// for 1000 ms. Then one frame per iteration: at most one message (a quit ends the run before
// drawing), demo time advanced, timeline at it, render and letterbox unless ended, present;
// the frame on which the timeline ends presents the previous picture again. Then the music
// fades out and the display closes. A display that fails to open ends the run at once.
// Always returns 0. `run` is a fresh DemoRun.
int runDemo(Platform& platform, const DemoProgramme& programme, DemoRun& run);
// The same on a DemoRun of its own.
int runDemo(Platform& platform, const DemoProgramme& programme);

}  // namespace tarvola
