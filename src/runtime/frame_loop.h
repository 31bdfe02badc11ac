// The demo's run from start to end, written once over the Platform interface: start-up with
// its two pauses, the frame loop the timeline drives, and the shutdown. Always returns 0.
#pragma once

#include "runtime/platform.h"
#include "runtime/timeline.h"
#include "scenes/scene_table.h"

namespace tarvola {

// What the run plays: six scene slots (Scene 1 first) and a timeline table over them.
struct DemoProgramme {
  const Scene* scenes;
  const TimelineCommand* timeline;
};

// kScenes and demoTimelineTable().
DemoProgramme demoProgramme();

// Start-up: loading picture shown for 2000 ms while nothing else is loaded, then letterbox,
// music and the scene inits (order 3, 5, 2, 6, 1, 4), black for 1000 ms. Then one frame per
// iteration: at most one message (a quit ends the run before drawing), clock update, demo
// time += delta, timeline at demo time x 100 (hundredths), render and letterbox unless
// ended, present; the frame on which the timeline ends presents the previous picture again.
// Then the music fades out and the display closes. A display that fails to open ends the
// run at once.
int runDemo(Platform& platform, const DemoProgramme& programme);

}  // namespace tarvola
