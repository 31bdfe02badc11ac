// The sync callback's value table: which flags each S2x value raises.
#include "runtime/sync_events.h"

#include <gtest/gtest.h>

namespace tarvola {
namespace {

struct Raised {
  bool one, two, three, five, any;
};

Raised raisedBy(uint32_t value) {
  clearSyncFlags();
  onMusicSync(7, 3, value, 9);  // handle, channel and user value are ignored
  return {sync1.get() == 1.0f, sync2.get() == 1.0f, sync3.get() == 1.0f, sync5.get() == 1.0f,
          syncAny.get() == 1.0f};
}

TEST(SyncEvents, ValueTable) {
  struct Row {
    uint32_t value;
    Raised expected;
  };
  const Row table[] = {
      {0, {false, false, false, false, false}},
      {1, {true, false, false, false, true}},
      {2, {true, true, false, false, true}},   // 2 raises sync1 as well
      {3, {false, false, true, false, true}},
      {4, {false, false, false, false, true}},
      {5, {false, false, false, true, false}},  // 5 does not raise syncAny
      {6, {false, false, false, false, false}},
      {15, {false, false, false, false, false}},
      {0xFFFFFFFFu, {false, false, false, false, false}},
  };
  for (const Row& row : table) {
    const Raised got = raisedBy(row.value);
    EXPECT_EQ(got.one, row.expected.one) << "value " << row.value;
    EXPECT_EQ(got.two, row.expected.two) << "value " << row.value;
    EXPECT_EQ(got.three, row.expected.three) << "value " << row.value;
    EXPECT_EQ(got.five, row.expected.five) << "value " << row.value;
    EXPECT_EQ(got.any, row.expected.any) << "value " << row.value;
  }
}

TEST(SyncEvents, RaisingLeavesOtherFlagsAndRepeatsCountOnce) {
  clearSyncFlags();
  onMusicSync(0, 0, 5, 0);
  onMusicSync(0, 0, 3, 0);
  onMusicSync(0, 0, 3, 0);
  EXPECT_EQ(sync5.get(), 1.0f);
  EXPECT_EQ(sync3.get(), 1.0f);
  EXPECT_EQ(syncAny.get(), 1.0f);
  EXPECT_EQ(sync1.get(), 0.0f);
  // A scene's test-and-reset.
  if (sync3.get() == 1.0f) sync3.set(0.0f);
  EXPECT_EQ(sync3.get(), 0.0f);
  EXPECT_EQ(sync5.get(), 1.0f);
  clearSyncFlags();
}

}  // namespace
}  // namespace tarvola
