// The player's pull pipeline: transparent at the normal rate, the rate slide's pitch, the volume
// slide to silence and stop, and the sampled-stream loop.
#include "music/music_stream.h"

#include "base/fixed_point.h"

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
  for (int done = 0; done < frames; done += buffer)
    stream.pull(out.data() + 2 * done, std::min(buffer, frames - done));
  return out;
}

// Mean frequency of the left channel over [centre - half, centre + half) frames, from the
// interpolated times of its upward zero crossings.
double frequencyAround(const std::vector<float>& stereo, int centre, int half) {
  double first = -1.0, last = -1.0;
  int crossings = 0;
  for (int i = centre - half; i < centre + half; ++i) {
    const float a = stereo[2 * i], b = stereo[2 * (i + 1)];
    if (a < 0.0f && b >= 0.0f) {
      const double at = i + a / (a - b);
      if (first < 0.0) first = at;
      last = at;
      ++crossings;
    }
  }
  return crossings < 2 ? 0.0 : (crossings - 1) * kRate / (last - first);
}

TEST(MusicStream, NormalRateIsBitTransparentAcrossPiecesAndLoops) {
  MusicStream stream;
  const std::vector<float> tone = toneSecond(441, 0.5f, -0.25f);
  stream.loadStream(tone);
  const std::vector<float> out = pullFrames(stream, kRate + 5000, 333);
  for (int i = 0; i < 2 * (kRate + 5000); ++i) ASSERT_EQ(out[i], tone[i % (2 * kRate)]) << i;
  EXPECT_FALSE(stream.isSliding());
}

TEST(MusicStream, FadeSlowsLinearlyThenFadesToSilenceAndStops) {
  MusicStream stream;
  stream.loadStream(toneSecond(1000, 0.8f, 0.8f));
  pullFrames(stream, 4410);
  // The player's fade: rate to 1000 Hz over 500 ms; after 300 ms, silence over 200 ms.
  stream.slideRate(1000.0f, 500);
  EXPECT_TRUE(stream.isSliding());
  std::vector<float> fade = pullFrames(stream, 300 * kRate / 1000);
  stream.slideVolumeToSilenceAndStop(200);
  const std::vector<float> rest = pullFrames(stream, 300 * kRate / 1000);
  fade.insert(fade.end(), rest.begin(), rest.end());

  // The tone's pitch follows the playback rate: 1000 Hz * rate / 44100.
  for (double seconds : {0.25, 0.40}) {
    const double rate = 44100.0 - (44100.0 - 1000.0) * seconds / 0.5;
    const double expected = 1000.0 * rate / 44100.0;
    const double measured = frequencyAround(fade, truncToInt32(seconds * kRate), 441);
    EXPECT_NEAR(measured, expected, 0.05 * expected) << "at " << seconds << " s";
  }
  // Halfway through the volume slide the tone is at about half its level.
  EXPECT_NEAR(*std::max_element(fade.begin() + 2 * (17640 - 300), fade.begin() + 2 * (17640 + 300)), 0.4f, 0.05f);
  // Both slides end at 500 ms: from there on, silence and nothing sliding.
  const int end = 500 * kRate / 1000;
  for (int i = end; i < static_cast<int>(fade.size() / 2); ++i) ASSERT_EQ(fade[2 * i], 0.0f) << i;
  EXPECT_FALSE(stream.isSliding());
  EXPECT_TRUE(stream.stopped());
  EXPECT_DOUBLE_EQ(stream.rate(), 1000.0);
  EXPECT_DOUBLE_EQ(stream.volume(), 0.0);
}

// A volume slide shorter than a running rate slide stops the stream and ends the rate slide
// with it, so a fade-out never waits on a stopped stream; nothing loaded is silence.
TEST(MusicStream, StopEndsARateSlideStillRunningAndNothingLoadedIsSilent) {
  MusicStream stream;
  stream.loadStream(toneSecond(1000, 0.8f, 0.8f));
  stream.slideRate(1000.0f, 500);
  stream.slideVolumeToSilenceAndStop(100);
  pullFrames(stream, 100 * kRate / 1000);
  EXPECT_TRUE(stream.stopped());
  EXPECT_FALSE(stream.isSliding());
  MusicStream empty;
  for (float v : pullFrames(empty, 500)) ASSERT_EQ(v, 0.0f);
  empty.loadStream({});
  for (float v : pullFrames(empty, 500)) ASSERT_EQ(v, 0.0f);
}

}  // namespace
}  // namespace tarvola
