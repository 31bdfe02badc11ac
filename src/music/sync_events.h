// The music's sync flags: five process-wide flags that the sync callback raises to 1.0 on the
// audio thread and the scenes test against 1.0 and reset to 0 on the main thread, lock-free.
// Relaxed atomic loads and stores: no ordering is needed, only freedom from data races.
#pragma once

#include <atomic>
#include <cstdint>

namespace tarvola {

// One flag, 0 or 1.0. The scenes write `if (sync1.get() == 1.0f) { sync1.set(0); ... }`.
class SyncFlag {
 public:
  float get() const { return value_.load(std::memory_order_relaxed); }
  void set(float value) { value_.store(value, std::memory_order_relaxed); }

 private:
  std::atomic<float> value_{0.0f};
};

extern SyncFlag sync1;    // values 1 and 2: the metaballs' shake
extern SyncFlag sync2;    // value 2: the metaballs' jump ahead
extern SyncFlag sync3;    // value 3: consumed by the tunnel without effect
extern SyncFlag sync5;    // value 5: the interference blur, the finale's next scene
extern SyncFlag syncAny;  // values 1 to 4 (not 5): the interference pulse

// The sync callback, with the sound library's signature; only `value` (x of the S2x effect)
// is used: 1 -> sync1, syncAny; 2 -> sync2, sync1, syncAny; 3 -> sync3, syncAny;
// 4 -> syncAny; 5 -> sync5; any other value raises nothing.
void onMusicSync(uint32_t sync, uint32_t channel, uint32_t value, uint32_t user);

using SyncCallback = void (*)(uint32_t sync, uint32_t channel, uint32_t value, uint32_t user);

// Resets all five flags to 0 (tests and the capture renderer's reruns).
void clearSyncFlags();

}  // namespace tarvola
