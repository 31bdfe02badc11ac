// Where the programme shows an effect that a music sync started (tarvola-capture
// --list-sync-windows): worked out from the schedule, the music pass's syncs and the scenes'
// own table of sync effects (scenes/sync_effects.h), without rendering a picture.
#pragma once

#include <cstdint>
#include <vector>

#include "capture.h"
#include "scenes/sync_effects.h"

namespace tarvola {

// The frames [firstFrame, lastFrame] that show one take of effect's flag: from the take's frame
// on (framesLate later where the effect shows late), while the effect's event clock has advanced
// less than its length since the take, its scene still renders (in the finale: is still the
// cycle's current one) and no later take has started it again.
struct SyncWindow {
  const SyncEffect* effect;
  int slot;  // the programme's scene slot: the finale's for the effects of its cycle
  int64_t firstFrame, lastFrame;
};

// The flags are raised on the frame each sync reaches (frameReachingSample) and taken by the
// first render that listens for them, as the scenes do; the finale's sync5 moves its cycle on.
std::vector<SyncWindow> syncEffectWindows(const ProgrammeSchedule& schedule, const std::vector<SyncHit>& syncs);

// Prints one line per window, "scene N  EFFECT  FROM s - TO s  (frames A-B at FPS fps)", with
// FROM and TO the demo times of its first and last frame; returns 0.
int printSyncWindows(const ProgrammeSchedule& schedule, const char* modulePath);

}  // namespace tarvola
