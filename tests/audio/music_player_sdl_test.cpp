// The music player on SDL's audio output as the demo uses it: a silent run delivers the syncs at
// their times, the fade-out blocks until its slides end, WAV files play as syncless streams, and
// a file that is neither leaves the player unloaded.
#include "runtime/sdl_audio.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <string>
#include <thread>

namespace tarvola {
namespace {

using Clock = std::chrono::steady_clock;

const std::string kModulePath = std::string(TARVOLA_BINARY_DIR) + "/data/kyr.it";

// The sync callback's record, written on the audio thread.
struct SyncRecord {
  std::atomic<int> count{0};
  uint32_t values[64] = {};
  double seconds[64] = {};
  Clock::time_point start;
};
SyncRecord record;

void recordSync(uint32_t, uint32_t, uint32_t value, uint32_t) {
  const int i = record.count.load();
  if (i >= 64) return;
  record.values[i] = value;
  record.seconds[i] = std::chrono::duration<double>(Clock::now() - record.start).count();
  record.count.store(i + 1);
}

double secondsSince(Clock::time_point start) {
  return std::chrono::duration<double>(Clock::now() - start).count();
}

// A mono 16-bit WAV of a 441 Hz square wave.
std::string writeWav(const char* name, int rate, int frames) {
  const std::string path = std::string(TARVOLA_BINARY_DIR) + "/" + name;
  std::ofstream file(path, std::ios::binary);
  auto put32 = [&](uint32_t v) { file.write(reinterpret_cast<const char*>(&v), 4); };
  auto put16 = [&](uint16_t v) { file.write(reinterpret_cast<const char*>(&v), 2); };
  file.write("RIFF", 4);
  put32(36 + 2 * frames);
  file.write("WAVEfmt ", 8);
  put32(16);
  put16(1);
  put16(1);
  put32(rate);
  put32(2 * rate);
  put16(2);
  put16(16);
  file.write("data", 4);
  put32(2 * frames);
  for (int i = 0; i < frames; ++i) put16(static_cast<uint16_t>((i * 441 * 2 / rate) % 2 ? 8000 : -8000));
  return path;
}

TEST(MusicPlayerSdl, SilentRunDeliversTheSyncsAtTheirTimes) {
  MusicPlayer player(sdlAudioOutput());
  ASSERT_TRUE(player.load(kModulePath.c_str(), true));
  player.setSyncCallback(recordSync);
  record.count = 0;
  record.start = Clock::now();
  player.play();
  std::this_thread::sleep_for(std::chrono::milliseconds(10800));
  player.fadeOutAndStop();
  // The module's first syncs: a 5 at 8.5 s and a 4 at 10.5 s. One device buffer of lead is fine.
  for (int i = 0; i < record.count.load(); ++i)
    std::printf("sync %u at %.3f s\n", record.values[i], record.seconds[i]);
  ASSERT_EQ(record.count.load(), 2);
  EXPECT_EQ(record.values[0], 5u);
  EXPECT_NEAR(record.seconds[0], 8.5, 0.08);
  EXPECT_EQ(record.values[1], 4u);
  EXPECT_NEAR(record.seconds[1], 10.5, 0.08);
}

TEST(MusicPlayerSdl, FadeOutBlocksUntilBothSlidesEndThenReleases) {
  MusicPlayer player(sdlAudioOutput());
  ASSERT_TRUE(player.load(kModulePath.c_str(), true));
  player.play();
  std::this_thread::sleep_for(std::chrono::milliseconds(200));
  EXPECT_FALSE(player.isSliding());
  const Clock::time_point start = Clock::now();
  player.fadeOutAndStop();
  const double took = secondsSince(start);
  std::printf("fade-out took %.3f s\n", took);
  EXPECT_GE(took, 0.48);  // 300 ms pause + 200 ms volume slide, less what the device buffered
  EXPECT_LE(took, 0.90);
  EXPECT_FALSE(player.loaded());
  EXPECT_FALSE(player.isSliding());
  // A second load works after the release.
  ASSERT_TRUE(player.load(kModulePath.c_str(), true));
  player.fadeOutAndStop();  // loaded but never played: nothing to wait for
  EXPECT_FALSE(player.loaded());
}

TEST(MusicPlayerSdl, NeitherModuleNorWavLeavesItUnloadedAndFadeReturnsAtOnce) {
  const std::string text = std::string(TARVOLA_BINARY_DIR) + "/not_music.txt";
  std::ofstream(text) << "this is no music\n";
  for (const std::string& path : {std::string("/nonexistent/kyr.it"), text}) {
    MusicPlayer player(sdlAudioOutput());
    EXPECT_FALSE(player.load(path.c_str(), true)) << path;
    EXPECT_FALSE(player.loaded());
    player.setSyncCallback(recordSync);
    player.play();
    const Clock::time_point start = Clock::now();
    player.fadeOutAndStop();
    EXPECT_LT(secondsSince(start), 0.005);
  }
}

TEST(MusicPlayerSdl, WavPlaysAsALoopingStreamWithoutSyncs) {
  const std::string path = writeWav("loop_test.wav", 22050, 2205);  // 0.1 s
  std::vector<float> stereo;
  ASSERT_TRUE(sdlAudioOutput().decodeWav(path.c_str(), stereo));
  EXPECT_NEAR(static_cast<double>(stereo.size()), 2.0 * 4410, 2.0 * 8);  // 44100 Hz stereo
  EXPECT_NEAR(stereo[2 * 100], stereo[2 * 100 + 1], 1e-6);             // mono on both sides

  MusicPlayer player(sdlAudioOutput());
  ASSERT_TRUE(player.load(path.c_str(), true));
  player.setSyncCallback(recordSync);
  record.count = 0;
  player.play();
  std::this_thread::sleep_for(std::chrono::milliseconds(300));  // loops three times
  const Clock::time_point start = Clock::now();
  player.fadeOutAndStop();
  EXPECT_GE(secondsSince(start), 0.48);  // the stream slides like a module
  EXPECT_EQ(record.count.load(), 0);
}

}  // namespace
}  // namespace tarvola
