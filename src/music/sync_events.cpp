// The sync flags and the table that maps a sync effect's value to the flags it raises.
#include "music/sync_events.h"

namespace tarvola {

SyncFlag sync1;
SyncFlag sync2;
SyncFlag sync3;
SyncFlag sync5;
SyncFlag syncAny;

namespace {

enum : uint8_t { kRaise1 = 1, kRaise2 = 2, kRaise3 = 4, kRaise5 = 8, kRaiseAny = 16 };

// Indexed by the effect value; values past the end raise nothing.
constexpr uint8_t kRaisedBy[6] = {
    0,                            // 0
    kRaise1 | kRaiseAny,          // 1
    kRaise2 | kRaise1 | kRaiseAny,  // 2
    kRaise3 | kRaiseAny,          // 3
    kRaiseAny,                    // 4
    kRaise5,                      // 5
};

}  // namespace

void onMusicSync(uint32_t, uint32_t, uint32_t value, uint32_t) {
  if (value >= sizeof kRaisedBy) return;
  const uint8_t raised = kRaisedBy[value];
  if (raised & kRaise1) sync1.set(1.0f);
  if (raised & kRaise2) sync2.set(1.0f);
  if (raised & kRaise3) sync3.set(1.0f);
  if (raised & kRaise5) sync5.set(1.0f);
  if (raised & kRaiseAny) syncAny.set(1.0f);
}

void clearSyncFlags() {
  sync1.set(0.0f);
  sync2.set(0.0f);
  sync3.set(0.0f);
  sync5.set(0.0f);
  syncAny.set(0.0f);
}

}  // namespace tarvola
