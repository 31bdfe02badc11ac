// The player's pull pipeline: transparent at the normal rate across the loop, the rate slide's
// pitch, the volume slide to silence and stop.
#include "music/music_stream.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <vector>

namespace tarvola {
namespace {

constexpr int kRate = 44100;

// One second of a stereo sine at a whole-hertz frequency: it loops without a seam.
std::vector<float> toneSecond(int hz, float left, float right) {
  std::vector<float> stereo(2 * kRate);
  for (int i = 0; i < kRate; ++i) {
    const double s = std::sin(6.283185307179586 * hz * i / kRate);
    stereo[2 * i] = static_cast<float>(s * left);
    stereo[2 * i + 1] = static_cast<float>(s * right);
  }
  return stereo;
}

// Pulls `frames` frames in buffers of `buffer` frames, as an audio device would.
std::vector<float> pullFrames(MusicStream& stream, int frames, int buffer = 1024) {
  std::vector<float> out(2 * static_cast<size_t>(frames));
  for (int done = 0; done < frames; done += buffer) stream.pull(out.data() + 2 * done, std::min(buffer, frames - done));
  return out;
}

TEST(MusicStream, TransparentAtTheNormalRateThenTheFadeSlowsAndSilences) {
  MusicStream stream;
  const std::vector<float> tone = toneSecond(1000, 0.5f, -0.25f);
  stream.loadStream(tone);
  const std::vector<float> out = pullFrames(stream, kRate + 5000, 333);  // across pieces and the loop
  for (int i = 0; i < 2 * (kRate + 5000); ++i) ASSERT_EQ(out[i], tone[i % (2 * kRate)]) << i;
  EXPECT_FALSE(stream.isSliding());
  // The player's fade: rate to 1000 Hz over 500 ms; after 300 ms, silence over 200 ms.
  stream.slideRate(1000.0f, 500);
  EXPECT_TRUE(stream.isSliding());
  std::vector<float> fade = pullFrames(stream, 300 * kRate / 1000);
  stream.slideVolumeToSilenceAndStop(200);
  const std::vector<float> rest = pullFrames(stream, 300 * kRate / 1000);
  fade.insert(fade.end(), rest.begin(), rest.end());

  // The tone's pitch follows the playback rate, 1000 Hz * rate / 44100: about 511 Hz around
  // 250 ms, where the linear slide is halfway; 51 rising zero crossings in 0.1 s.
  int crossings = 0;
  for (int i = 11025 - 2205; i < 11025 + 2205; ++i) crossings += fade[2 * i] < 0.0f && fade[2 * i + 2] >= 0.0f;
  EXPECT_NEAR(crossings, 51, 2);
  // Halfway through the volume slide the tone is at about half its level.
  EXPECT_NEAR(*std::max_element(fade.begin() + 2 * (17640 - 300), fade.begin() + 2 * (17640 + 300)), 0.25f, 0.05f);
  // Both slides end at 500 ms: from there on, silence and nothing sliding.
  const int end = 500 * kRate / 1000;
  for (int i = end; i < static_cast<int>(fade.size() / 2); ++i) ASSERT_EQ(fade[2 * i], 0.0f) << i;
  EXPECT_FALSE(stream.isSliding());
  EXPECT_TRUE(stream.stopped());
  EXPECT_TRUE(stream.rate() == 1000.0 && stream.volume() == 0.0);
}

// A volume slide shorter than a running rate slide stops the stream and ends the rate slide
// with it, so a fade-out never waits on a stopped stream; nothing loaded is silence.
TEST(MusicStream, StopEndsARateSlideStillRunningAndNothingLoadedIsSilent) {
  MusicStream stream;
  stream.loadStream(toneSecond(1000, 0.8f, 0.8f));
  stream.slideRate(1000.0f, 500);
  stream.slideVolumeToSilenceAndStop(100);
  pullFrames(stream, 100 * kRate / 1000);
  EXPECT_TRUE(stream.stopped() && !stream.isSliding());
  MusicStream empty;  // nothing loaded: silence
  for (float v : pullFrames(empty, 500)) ASSERT_EQ(v, 0.0f);
}

}  // namespace
}  // namespace tarvola
