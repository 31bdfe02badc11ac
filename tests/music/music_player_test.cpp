// The music player on the clocked silent output: the fade-out blocks until both slides have
// ended (which holds only if the output pulls in real time) and then releases everything;
// unloaded or never played, it returns at once.
#include "music/music_player.h"
#include "music/silent_audio.h"

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <thread>

namespace tarvola {
namespace {

using Clock = std::chrono::steady_clock;

const std::string kModulePath = std::string(TARVOLA_BINARY_DIR) + "/data/kyr.it";

double secondsSince(Clock::time_point start) { return std::chrono::duration<double>(Clock::now() - start).count(); }

TEST(MusicPlayer, FadeOutReturnsOnlyWhenBothSlidesHaveEndedThenReleases) {
  MusicPlayer player(silentAudioOutput());
  ASSERT_TRUE(player.load(kModulePath.c_str(), true));
  player.play();
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  EXPECT_FALSE(player.isSliding());
  Clock::time_point start = Clock::now();
  player.fadeOutAndStop();
  // 300 ms pause, then the 200 ms volume slide, less at most one buffer pulled ahead.
  EXPECT_GE(secondsSince(start), 0.47);
  EXPECT_LE(secondsSince(start), 0.60);
  EXPECT_FALSE(player.loaded());
  EXPECT_FALSE(player.isSliding());
  // Loaded again (the output opens again) but never played: nothing to wait for.
  ASSERT_TRUE(player.load(kModulePath.c_str(), true));
  start = Clock::now();
  player.fadeOutAndStop();
  EXPECT_LT(secondsSince(start), 0.05);
  EXPECT_FALSE(player.loaded());
}

TEST(MusicPlayer, UnloadedPlayerIgnoresPlayAndFadesOutAtOnce) {
  MusicPlayer player(silentAudioOutput());
  EXPECT_FALSE(player.load("/nonexistent/kyr.it", true));
  EXPECT_FALSE(player.loaded());
  player.play();
  const Clock::time_point start = Clock::now();
  player.fadeOutAndStop();
  EXPECT_LT(secondsSince(start), 0.005);
}

}  // namespace
}  // namespace tarvola
