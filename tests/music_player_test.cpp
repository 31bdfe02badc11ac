// The music player on the clocked silent output: the fade-out blocks until both slides have
// ended and then releases everything; unloaded, it returns at once; the output keeps time.
#include "runtime/music_player.h"
#include "runtime/silent_audio.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <string>
#include <thread>

namespace tarvola {
namespace {

using Clock = std::chrono::steady_clock;

const std::string kModulePath = std::string(TARVOLA_BINARY_DIR) + "/data/kyr.it";

double secondsSince(Clock::time_point start) {
  return std::chrono::duration<double>(Clock::now() - start).count();
}

TEST(MusicPlayer, FadeOutReturnsOnlyWhenBothSlidesHaveEnded) {
  MusicPlayer player(silentAudioOutput());
  ASSERT_TRUE(player.load(kModulePath.c_str(), true));
  EXPECT_TRUE(player.loaded());
  player.play();
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  EXPECT_FALSE(player.isSliding());
  const Clock::time_point start = Clock::now();
  player.fadeOutAndStop();
  const double took = secondsSince(start);
  // 300 ms pause, then the 200 ms volume slide, less at most one buffer pulled ahead.
  EXPECT_GE(took, 0.47);
  EXPECT_LE(took, 0.60);
  EXPECT_FALSE(player.loaded());
  EXPECT_FALSE(player.isSliding());
}

TEST(MusicPlayer, UnloadedPlayerIgnoresPlayAndFadesOutAtOnce) {
  MusicPlayer player(silentAudioOutput());
  EXPECT_FALSE(player.load("/nonexistent/kyr.it", true));
  EXPECT_FALSE(player.loaded());
  player.play();
  Clock::time_point start = Clock::now();
  player.fadeOutAndStop();
  EXPECT_LT(secondsSince(start), 0.005);

  MusicPlayer never(silentAudioOutput());
  start = Clock::now();
  never.fadeOutAndStop();
  EXPECT_LT(secondsSince(start), 0.005);
}

TEST(MusicPlayer, LoadedButNeverPlayedReleasesWithoutWaiting) {
  MusicPlayer player(silentAudioOutput());
  ASSERT_TRUE(player.load(kModulePath.c_str(), true));
  const Clock::time_point start = Clock::now();
  player.fadeOutAndStop();
  EXPECT_LT(secondsSince(start), 0.05);
  EXPECT_FALSE(player.loaded());
  ASSERT_TRUE(player.load(kModulePath.c_str(), true));  // the output can be opened again
  player.fadeOutAndStop();
}

// The silent output pulls on a fixed schedule: after 0.5 s about 0.5 s of frames, one buffer
// ahead at most.
std::atomic<int64_t> pulledFrames{0};
void countFrames(void*, float*, int frames) { pulledFrames += frames; }

TEST(SilentAudioOutput, PullsAtRealTimeRate) {
  const AudioOutput& output = silentAudioOutput();
  pulledFrames = 0;
  ASSERT_TRUE(output.open(true, countFrames, nullptr));
  EXPECT_FALSE(output.open(true, countFrames, nullptr));  // one at a time
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  EXPECT_EQ(pulledFrames.load(), 0);  // paused until resumed
  const Clock::time_point start = Clock::now();
  output.resume();
  std::this_thread::sleep_for(std::chrono::milliseconds(500));
  const double elapsed = secondsSince(start);
  output.close();
  const double pulled = static_cast<double>(pulledFrames.load()) / 44100.0;
  EXPECT_GE(pulled, elapsed - 0.03);
  EXPECT_LE(pulled, elapsed + 0.03);
}

}  // namespace
}  // namespace tarvola
