// What a music sync starts in each scene and for how long: the scenes read their effects'
// lengths and event clocks here, and the capture renderer lists from the same table where in
// the programme each effect shows (tarvola-capture --list-sync-windows).
#pragma once

#include <cstdint>

#include "music/sync_events.h"
#include "scenes/scene_table.h"

namespace tarvola {

// Lengths in units of the scene's event clock (hundredths of a second of its own time).
inline constexpr float kPolarPulseLength = 40.0f;     // syncAny: the interference's brightness pulse
inline constexpr float kPolarBlurLength = 60.0f;      // sync5: the interference's horizontal blur
inline constexpr float kMetaballShakeLength = 60.0f;  // sync1 (sync2 too): the metaballs' shake and blur
inline constexpr float kFinaleFlashLength = 60.0f;    // sync5: the finale's white flash

// The event clocks, from demo time t in hundredths: the interference runs at a fifth of the
// speed until t = 2300, the metaballs at 0.8; the finale's flash runs on t itself.
inline float polarEventClock(float t) { return t >= 2300.0f ? t : float(double(t) * 0.2); }
inline float metaballEventClock(float t) { return float(double(t) * 0.8); }
inline float finaleEventClock(float t) { return t; }

// One effect: the slot whose render takes the flag, the flag, the length on that scene's event
// clock, and how many frames after the take it first shows (the metaballs work out their shake
// after drawing, for the next frame). The table lists a render's takes in the order the render
// makes them.
struct SyncEffect {
  int scene;
  SyncFlagBit flag;
  float length;
  float (*eventClock)(float t);
  int framesLate;
  const char* name;
};
inline constexpr SyncEffect kSyncEffects[] = {
    {kFinaleSlot, kSync5, kFinaleFlashLength, finaleEventClock, 0, "flash, next scene"},
    {1, kSyncAny, kPolarPulseLength, polarEventClock, 0, "pulse"},
    {1, kSync5, kPolarBlurLength, polarEventClock, 0, "blur"},
    {2, kSync1, kMetaballShakeLength, metaballEventClock, 1, "shake and blur"},
    {2, kSync2, kMetaballShakeLength, metaballEventClock, 1, "shake, blur, jump ahead"},
};

}  // namespace tarvola
