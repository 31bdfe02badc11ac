// The five sync flags and the callback that raises them.
#include "music/sync_events.h"

namespace tarvola {

SyncFlag sync1;
SyncFlag sync2;
SyncFlag sync3;
SyncFlag sync5;
SyncFlag syncAny;

namespace {
struct FlagOfBit {
  uint8_t bit;
  SyncFlag* flag;
};
const FlagOfBit kFlags[] = {
    {kSync1, &sync1}, {kSync2, &sync2}, {kSync3, &sync3}, {kSync5, &sync5}, {kSyncAny, &syncAny}};
}  // namespace

void onMusicSync(uint32_t value) {
  const uint8_t raised = syncFlagsRaisedBy(value);
  for (const FlagOfBit& entry : kFlags) {
    if (raised & entry.bit) entry.flag->raise();
  }
}

void clearSyncFlags() {
  for (const FlagOfBit& entry : kFlags) entry.flag->clear();
}

}  // namespace tarvola
