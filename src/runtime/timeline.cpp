// The timeline table and the command walk; see timeline.h.
#include "runtime/timeline.h"

#include <cassert>

namespace tarvola {

const TimelineCommand* demoTimelineTable() {
  // Built on first use from the constant-initialised scene slots.
  static const TimelineCommand table[kTimelineLength] = {
      {kSetScene, 0, kScenes[0].render},
      {kWait, 850, nullptr},
      {kSetScene, 0, kScenes[1].render},
      {kWait, 4450, nullptr},
      {kSetScene, 0, kScenes[2].render},
      {kWait, 8000, nullptr},
      {kSetScene, 0, kScenes[3].render},
      {kWait, 9400, nullptr},
      {kSetScene, 0, kScenes[4].render},
      {kWait, 12400, nullptr},
      {kSetScene, 0, kScenes[5].render},
      {kWait, 16600, nullptr},
      {kEnd, 0, nullptr},
  };
  return table;
}

void Timeline::start(const TimelineCommand* table) {
  assert(table != nullptr);
  time = 0.0f;
  cursor = table;
  scene = nullptr;
}

bool Timeline::update(float t) {
  time = t;
  if (cursor == nullptr) return true;  // never started: nothing to play
  for (;;) {
    switch (cursor->opcode) {
      case kSetScene:
        scene = cursor->scene;
        ++cursor;
        break;
      case kWait:
        // The integer converts exactly to double; a NaN compares false and never passes.
        if (!(double(cursor->waitUntil) <= double(t))) return false;
        ++cursor;
        break;
      default:  // kEnd, and any opcode outside the table's format: the cursor stays here
        return true;
    }
  }
}

void Timeline::render(SceneState& scenes, Surface& target, DepthBuffer& depth) const {
  if (scene != nullptr) scene(scenes, target, depth, time);
}

}  // namespace tarvola
