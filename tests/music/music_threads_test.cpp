// The real-time music path as the demo drives it, two threads at once: the output's thread
// renders a tiny module with dense S2x syncs and raises the flags through onMusicSync, while
// the main thread takes the flags as the scenes do, polls isSliding, and fades out.
// Meant for ThreadSanitizer (scripts/tsan-music.sh) as much as for the ordinary build.
#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <thread>

#include "music/music_player.h"
#include "music/silent_audio.h"
#include "music/sync_events.h"

namespace tarvola {
namespace {

// One channel, eight rows at tempo 240: S23, S25, S22 on rows 2, 4, 6 (row 0 sets the tempo).
const std::string kDenseSyncModule =
    std::string(TARVOLA_SOURCE_DIR) + "/tests/fuzz/corpus/module/gen_1ch_looping.it";

int consume(SyncFlag& flag) { return flag.take() ? 1 : 0; }

TEST(MusicThreads, FlagsRaisedOnTheAudioThreadReachTheMainThreadThenTheFadeEnds) {
  clearSyncFlags();
  MusicPlayer player(silentAudioOutput());
  ASSERT_TRUE(player.load(kDenseSyncModule.c_str(), true));
  player.setSyncCallback(&onMusicSync);
  player.play();
  int seen1 = 0, seen2 = 0, seen3 = 0, seen5 = 0, seenAny = 0, slidingPolls = 0;
  const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(1200);
  while (std::chrono::steady_clock::now() < until) {
    seen1 += consume(sync1);
    seen2 += consume(sync2);
    seen3 += consume(sync3);
    seen5 += consume(sync5);
    seenAny += consume(syncAny);
    slidingPolls += player.isSliding() ? 1 : 0;
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  EXPECT_EQ(slidingPolls, 0);
  // A row lasts 1/16 s: each sync recurs every half second of the loop.
  EXPECT_GE(seen1, 1);
  EXPECT_GE(seen2, 1);
  EXPECT_GE(seen3, 1);
  EXPECT_GE(seen5, 1);
  EXPECT_GE(seenAny, 2);
  // The fade-out runs while the output thread keeps pulling and raising flags.
  std::thread scenes([] {
    for (int i = 0; i < 300; ++i) {
      consume(sync5);
      consume(syncAny);
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
  });
  player.fadeOutAndStop();
  scenes.join();
  EXPECT_FALSE(player.loaded());
  EXPECT_FALSE(player.isSliding());
  clearSyncFlags();
}

}  // namespace
}  // namespace tarvola
