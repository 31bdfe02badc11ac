// The sync callback's value table: which flags each S2x value raises, and raising leaves the
// flags already up (a scene's take lowers only its own).
#include "music/sync_events.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>

namespace tarvola {
namespace {

// The flags up, as "1", "2", "3", "5" and "*" for syncAny, taken.
std::string takeFlags() {
  const std::pair<SyncFlag*, char> flags[] = {{&sync1, '1'}, {&sync2, '2'}, {&sync3, '3'}, {&sync5, '5'}, {&syncAny, '*'}};
  std::string up;
  for (const auto& [flag, name] : flags)
    if (flag->take()) up += name;
  return up;
}

TEST(SyncEvents, ValueTableAndRaisingLeavesOtherFlags) {
  // 2 raises sync1 as well; 5 does not raise syncAny.
  const std::pair<uint32_t, const char*> table[] = {{0, ""}, {1, "1*"}, {2, "12*"}, {3, "3*"}, {4, "*"},
                                                    {5, "5"}, {6, ""}, {15, ""}, {0xFFFFFFFFu, ""}};
  for (const auto& [value, expected] : table) {
    clearSyncFlags();
    onMusicSync(value);
    EXPECT_EQ(takeFlags(), expected) << "value " << value;
  }
  clearSyncFlags();
  onMusicSync(5);
  onMusicSync(3);
  onMusicSync(3);
  EXPECT_TRUE(sync3.take());
  EXPECT_FALSE(sync3.take());
  EXPECT_EQ(takeFlags(), "5*");
  clearSyncFlags();
}

}  // namespace
}  // namespace tarvola
