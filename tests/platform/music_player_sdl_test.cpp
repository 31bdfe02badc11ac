// The music player on SDL's audio output as the demo uses it: a silent run delivers the syncs at
// their times, WAV files play as syncless looping streams that fade like a module, and a file
// that is neither leaves the player unloaded.
#include "platform/sdl/sdl_audio.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

namespace tarvola {
namespace {

using Clock = std::chrono::steady_clock;

const std::string kModulePath = std::string(TARVOLA_BINARY_DIR) + "/data/kyr.it";

double secondsSince(Clock::time_point start) { return std::chrono::duration<double>(Clock::now() - start).count(); }

// The sync callback's record, written on the audio thread.
std::atomic<int> syncCount{0};
uint32_t syncValues[64];
double syncSeconds[64];
Clock::time_point syncStart;

void recordSync(void*, uint32_t value) {
  const int i = syncCount.load();
  if (i >= 64) return;
  syncValues[i] = value;
  syncSeconds[i] = secondsSince(syncStart);
  syncCount.store(i + 1);
}

TEST(MusicPlayerSdl, SilentRunDeliversTheSyncsAtTheirTimes) {
  SdlAudioOutput output;
  MusicPlayer player(output);
  ASSERT_TRUE(player.load(kModulePath.c_str(), true));
  player.setSyncCallback(recordSync, nullptr);
  syncCount = 0;
  syncStart = Clock::now();
  player.play();
  std::this_thread::sleep_for(std::chrono::milliseconds(10800));
  player.fadeOutAndStop();
  // The module's first syncs: a 5 at 8.5 s and a 4 at 10.5 s. One device buffer of lead is fine.
  ASSERT_EQ(syncCount.load(), 2);
  EXPECT_EQ(syncValues[0], 5u);
  EXPECT_NEAR(syncSeconds[0], 8.5, 0.08);
  EXPECT_EQ(syncValues[1], 4u);
  EXPECT_NEAR(syncSeconds[1], 10.5, 0.08);
}

TEST(MusicPlayerSdl, WavPlaysAsALoopingStreamWithoutSyncsAndTextIsNeither) {
  // 0.1 s of a mono 16-bit 441 Hz square wave at 22050 Hz.
  const std::string path = std::string(TARVOLA_BINARY_DIR) + "/loop_test.wav";
  {
    std::ofstream file(path, std::ios::binary);
    auto put = [&](uint32_t v, int bytes) { file.write(reinterpret_cast<const char*>(&v), bytes); };
    file.write("RIFF", 4), put(36 + 2 * 2205, 4), file.write("WAVEfmt ", 8);
    put(16, 4), put(1, 2), put(1, 2), put(22050, 4), put(2 * 22050, 4), put(2, 2), put(16, 2);
    file.write("data", 4), put(2 * 2205, 4);
    for (int i = 0; i < 2205; ++i) put(uint16_t((i * 441 * 2 / 22050) % 2 ? 8000 : -8000), 2);
  }
  std::vector<float> stereo;
  SdlAudioOutput output;
  ASSERT_TRUE(output.decodeWav(path.c_str(), stereo));
  EXPECT_NEAR(static_cast<double>(stereo.size()), 2.0 * 4410, 2.0 * 8);  // 44100 Hz stereo
  EXPECT_NEAR(stereo[2 * 100], stereo[2 * 100 + 1], 1e-6);               // mono on both sides

  MusicPlayer player(output);
  ASSERT_TRUE(player.load(path.c_str(), true));
  player.setSyncCallback(recordSync, nullptr);
  syncCount = 0;
  player.play();
  std::this_thread::sleep_for(std::chrono::milliseconds(300));  // loops three times
  Clock::time_point start = Clock::now();
  player.fadeOutAndStop();
  EXPECT_GE(secondsSince(start), 0.48);  // the stream slides like a module
  EXPECT_EQ(syncCount.load(), 0);
  EXPECT_FALSE(player.loaded());

  const std::string text = std::string(TARVOLA_BINARY_DIR) + "/not_music.txt";
  std::ofstream(text) << "this is no music\n";
  EXPECT_FALSE(player.load(text.c_str(), true));
  EXPECT_FALSE(player.loaded());
  player.play();
  start = Clock::now();
  player.fadeOutAndStop();
  EXPECT_LT(secondsSince(start), 0.005);
}

}  // namespace
}  // namespace tarvola
