// The sync callback's value table: which flags each S2x value raises, and raising leaves the
// flags already up (a scene's test-and-reset clears only its own).
#include "music/sync_events.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>

namespace tarvola {
namespace {

// The flags up, as "1", "2", "3", "5" and "*" for syncAny.
std::string raisedFlags() {
  const std::pair<const SyncFlag*, char> flags[] = {{&sync1, '1'}, {&sync2, '2'}, {&sync3, '3'}, {&sync5, '5'}, {&syncAny, '*'}};
  std::string up;
  for (const auto& [flag, name] : flags)
    if (flag->get() == 1.0f) up += name;
  return up;
}

TEST(SyncEvents, ValueTableAndRaisingLeavesOtherFlags) {
  // 2 raises sync1 as well; 5 does not raise syncAny; handle, channel and user are ignored.
  const std::pair<uint32_t, const char*> table[] = {{0, ""}, {1, "1*"}, {2, "12*"}, {3, "3*"}, {4, "*"},
                                                    {5, "5"}, {6, ""}, {15, ""}, {0xFFFFFFFFu, ""}};
  for (const auto& [value, expected] : table) {
    clearSyncFlags();
    onMusicSync(7, 3, value, 9);
    EXPECT_EQ(raisedFlags(), expected) << "value " << value;
  }
  clearSyncFlags();
  onMusicSync(0, 0, 5, 0);
  onMusicSync(0, 0, 3, 0);
  onMusicSync(0, 0, 3, 0);
  EXPECT_EQ(raisedFlags(), "35*");
  sync3.set(0.0f);
  EXPECT_EQ(raisedFlags(), "5*");
  clearSyncFlags();
}

}  // namespace
}  // namespace tarvola
