// The music's sync flags: five events of a run that the sync callback raises on the audio
// thread and the scenes take on the main thread, lock-free. Relaxed atomics: no ordering is
// needed, only freedom from data races; a take is one exchange, so a raise that lands while
// a scene takes the flag is either seen now or stays up for the next take, never lost.
#pragma once

#include <atomic>
#include <cstdint>

namespace tarvola {

// The flags as bits of a set.
enum SyncFlagBit : uint8_t { kSync1 = 1, kSync2 = 2, kSync3 = 4, kSync5 = 8, kSyncAny = 16 };

// The flags a sync value (x of S2x) raises: 1 -> sync1, syncAny; 2 -> sync2, sync1, syncAny;
// 3 -> sync3, syncAny; 4 -> syncAny; 5 -> sync5; any other value raises nothing.
constexpr uint8_t syncFlagsRaisedBy(uint32_t value) {
  switch (value) {
    case 1:
      return kSync1 | kSyncAny;
    case 2:
      return kSync2 | kSync1 | kSyncAny;
    case 3:
      return kSync3 | kSyncAny;
    case 4:
      return kSyncAny;
    case 5:
      return kSync5;
    default:
      return 0;
  }
}

// One event flag: up once raised, until taken.
class SyncFlag {
 public:
  void raise() { up_.store(true, std::memory_order_relaxed); }
  // True when the flag was up; lowers it in the same step.
  bool take() { return up_.exchange(false, std::memory_order_relaxed); }
  void clear() { up_.store(false, std::memory_order_relaxed); }

 private:
  std::atomic<bool> up_{false};
};

// The five flags of one run, raised by its host's sync callback.
struct SyncFlags {
  SyncFlag sync1;    // values 1 and 2: the metaballs' shake
  SyncFlag sync2;    // value 2: the metaballs' jump ahead
  SyncFlag sync3;    // value 3: taken by the tunnel without effect
  SyncFlag sync5;    // value 5: the interference blur, the finale's next scene
  SyncFlag syncAny;  // values 1 to 4 (not 5): the interference pulse

  // Raises the flags of syncFlagsRaisedBy(value).
  void raise(uint32_t value);
  // Lowers all five.
  void clear();
};

// What the music calls for every sync effect, on the thread that renders it.
using SyncCallback = void (*)(void* user, uint32_t value);

// The sync callback of a run: `flags` is its SyncFlags; raises the flags of the value.
void onMusicSync(void* flags, uint32_t value);

}  // namespace tarvola
