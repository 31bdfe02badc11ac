// The five sync flags of a run and the callback that raises them.
#include "music/sync_events.h"

namespace tarvola {

namespace {
struct FlagOfBit {
  uint8_t bit;
  SyncFlag SyncFlags::*flag;
};
constexpr FlagOfBit kFlags[] = {{kSync1, &SyncFlags::sync1},
                                {kSync2, &SyncFlags::sync2},
                                {kSync3, &SyncFlags::sync3},
                                {kSync5, &SyncFlags::sync5},
                                {kSyncAny, &SyncFlags::syncAny}};
}  // namespace

void SyncFlags::raise(uint32_t value) {
  const uint8_t raised = syncFlagsRaisedBy(value);
  for (const FlagOfBit& entry : kFlags) {
    if (raised & entry.bit) (this->*entry.flag).raise();
  }
}

void SyncFlags::clear() {
  for (const FlagOfBit& entry : kFlags) (this->*entry.flag).clear();
}

void onMusicSync(void* flags, uint32_t value) { static_cast<SyncFlags*>(flags)->raise(value); }

}  // namespace tarvola
