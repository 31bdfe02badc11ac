// The generated module data/kyr.it: it loads in libopenmpt (silently) and libxmp as a 178 s
// pass; its syncs stand where the scenes expect them; the capture's exact-row-start pieces
// find every sync on the same sample as libopenmpt read one frame at a time; the player's 256-frame pieces report each
// sync in the piece its row began in, on both passes, at a fair level.
#include <gtest/gtest.h>
#include <libopenmpt/libopenmpt.h>
#include <xmp.h>

#include <algorithm>
#include <cmath>
#include <random>
#include <string>
#include <vector>

#include "music/module_renderer.h"
#include "support/test_support.h"

namespace tarvola {
namespace {

const std::string kModulePath = std::string(TARVOLA_BINARY_DIR) + "/data/kyr.it";
constexpr int kRate = 44100;

void collect(void* user, const SyncHit& hit) { static_cast<std::vector<SyncHit>*>(user)->push_back(hit); }

constexpr int64_t kSpan = 2 * 178 * kRate + 2 * kRate;  // two passes and two seconds more

// The syncs of the span as the plain reading gives them: one frame at a time, every row looked at.
const std::vector<SyncHit>& frameByFrameSyncs() {
  static const std::vector<SyncHit> hits = [] {
    std::vector<SyncHit> found;
    ModuleRenderer renderer;
    EXPECT_TRUE(renderer.loadFile(kModulePath.c_str()));
    std::vector<float> block(2 * 4410);
    while (renderer.framesRendered() < kSpan)
      renderer.render(block.data(), 4410, collect, &found, PiecePolicy{1, false});
    return found;
  }();
  return hits;
}

// 178 s on the nominal grid of 0.125 s rows (the conductor's tempo 119 rows keep it there), as
// libopenmpt (from fractional tick lengths) and libxmp, an independent player, read it;
// libopenmpt loads it as Impulse Tracker and logs nothing while loading; libxmp finds the held
// instruments' (bass, pad, lead) volume envelopes with their sustain.
TEST(MusicModule, LoadsInLibopenmptAndLibxmpAsA178SecondPass) {
  ModuleRenderer renderer;
  ASSERT_TRUE(renderer.loadFile(kModulePath.c_str()));
  EXPECT_NEAR(renderer.durationSeconds(), 178.0, 0.2);

  const std::string bytes = testing::readFile(kModulePath);
  std::string log;
  openmpt_module* module = openmpt_module_create_from_memory2(
      bytes.data(), bytes.size(),
      [](const char* message, void* user) { *static_cast<std::string*>(user) += std::string(message) + "\n"; }, &log,
      openmpt_error_func_ignore, nullptr, nullptr, nullptr, nullptr);
  ASSERT_NE(module, nullptr);
  const char* type = openmpt_module_get_metadata(module, "type");
  EXPECT_STREQ(type, "it");
  openmpt_free_string(type);
  EXPECT_EQ(openmpt_module_get_num_channels(module), 16);
  EXPECT_EQ(log, "");
  openmpt_module_destroy(module);

  xmp_context context = xmp_create_context();
  ASSERT_EQ(xmp_load_module(context, const_cast<char*>(kModulePath.c_str())), 0);
  xmp_module_info info{};
  xmp_get_module_info(context, &info);
  EXPECT_EQ(info.mod->chn, 16);
  int sustained = 0;
  for (int i = 0; i < info.mod->ins; ++i)
    sustained +=
        (info.mod->xxi[i].aei.flg & (XMP_ENVELOPE_ON | XMP_ENVELOPE_SUS)) == (XMP_ENVELOPE_ON | XMP_ENVELOPE_SUS);
  EXPECT_EQ(sustained, 3);
  EXPECT_NEAR(info.seq_data[0].duration, 178000, 200);
  xmp_release_module(context);
  xmp_free_context(context);
}

// Where the events stand against the scenes: on the beat grid (rows of 5512.5 frames, four to a
// beat), none under the logo, the credits or the outro, only 3 under the tunnel, 1 and 2 under
// the metaballs with 2 on four-bar phrase starts, and a 5 every two to four bars in the finale.
// Scene 2 turns white for a while on every 1 - 4: two while it runs slowly, then at most one a
// bar but in the pick-up bar before the metaballs.
TEST(MusicModule, SyncsStandOnTheBeatsOfTheirScenes) {
  std::vector<int> finaleFives, slowPulses, fastPulses;
  for (const SyncHit& s : frameByFrameSyncs()) {
    if (s.sample >= 178 * kRate) break;
    const int songRow = int(std::lround(double(s.sample) / 5512.5));
    const double seconds = songRow * 0.125;
    if (s.value <= 4 && songRow >= 68 && songRow < 356) (songRow < 184 ? slowPulses : fastPulses).push_back(songRow);
    EXPECT_EQ(songRow % 4, 0) << "off the beat at " << seconds;
    EXPECT_NEAR(double(s.sample), songRow * 5512.5, 64.0) << seconds;
    EXPECT_TRUE(s.value >= 1 && s.value <= 5) << seconds;
    EXPECT_FALSE(seconds < 8.5 || (seconds >= 80.0 && seconds < 94.0) || seconds >= 166.0)
        << "sync under the logo, the credits or the outro at " << seconds;
    EXPECT_TRUE(seconds < 94.0 || seconds >= 124.0 || s.value == 3) << seconds;
    EXPECT_TRUE(seconds < 44.5 || seconds >= 80.0 || s.value == 1 || (s.value == 2 && (songRow - 356) % 64 == 0))
        << seconds;
    if (seconds >= 124.0 && s.value == 5) finaleFives.push_back(songRow);
  }
  EXPECT_EQ(slowPulses.size(), 2u);
  for (size_t i = 1; i < fastPulses.size(); ++i)
    EXPECT_TRUE(fastPulses[i] - fastPulses[i - 1] >= 16 || fastPulses[i] >= 340) << fastPulses[i] * 0.125;
  ASSERT_GE(finaleFives.size(), 5u);
  EXPECT_LE(finaleFives.front() - 992, 64);
  for (size_t i = 1; i < finaleFives.size(); ++i) {
    EXPECT_GE(finaleFives[i] - finaleFives[i - 1], 32);
    EXPECT_LE(finaleFives[i] - finaleFives[i - 1], 64);
  }
}

// Fed uneven pieces as the capture's frames are, the exact-row-start policy (single samples
// only near sync rows) finds every sync of the pass on the exact first frame of its row.
TEST(MusicModule, ExactRowStartsGiveEachSyncItsExactSample) {
  constexpr int64_t kPass = 178 * kRate;
  std::vector<SyncHit> expected = frameByFrameSyncs();
  std::erase_if(expected, [](const SyncHit& hit) { return hit.sample >= kPass; });
  ModuleRenderer music;
  ASSERT_TRUE(music.loadFile(kModulePath.c_str()));
  std::vector<SyncHit> hits;
  std::vector<float> block(2 * 3000);
  std::mt19937 random(7);
  while (music.framesRendered() < kPass)
    music.render(block.data(), std::min<int64_t>(1 + random() % 3000, kPass - music.framesRendered()), collect, &hits,
                 ModuleRenderer::kExactRowStarts);
  ASSERT_EQ(hits.size(), expected.size());
  ASSERT_GT(hits.size(), 40u);
  for (size_t i = 0; i < hits.size(); ++i)
    EXPECT_TRUE(hits[i].sample == expected[i].sample && hits[i].value == expected[i].value) << "sync " << i;
}

// Two passes and two seconds more rendered as the audio thread does it (256-frame pieces):
// each hit names the piece in which its row began, on both passes, with nothing at the loop;
// the peak is audible but below -1 dBFS, and no second before 166 s is silent (below -60 dBFS).
TEST(MusicModule, PiecesGetTheirSyncsOnBothPassesAtAFairLevel) {
  ModuleRenderer renderer;
  ASSERT_TRUE(renderer.loadFile(kModulePath.c_str()));
  const std::vector<SyncHit>& exact = frameByFrameSyncs();
  std::vector<SyncHit> hits;
  std::vector<float> block(2 * 4096);
  float peak = 0.0f;
  int64_t silentRun = 0, longestSilence = 0;
  for (int64_t done = 0; done < kSpan; done += 4096) {
    renderer.render(block.data(), 4096, collect, &hits);
    for (int i = 0; i < 4096; ++i) {
      const float level = std::max(std::fabs(block[2 * i]), std::fabs(block[2 * i + 1]));
      peak = std::max(peak, level);
      silentRun = level < 0.001f && done + i < 166 * kRate ? silentRun + 1 : 0;
      longestSilence = std::max(longestSilence, silentRun);
    }
  }
  ASSERT_EQ(hits.size(), exact.size());
  ASSERT_EQ(hits.size() % 2, 0u);
  for (size_t i = 0; i < hits.size(); ++i) {
    EXPECT_EQ(hits[i].value, exact[i].value) << "sync " << i;
    EXPECT_EQ(hits[i].value, exact[i % (hits.size() / 2)].value) << "sync " << i;  // pass 2 repeats pass 1
    EXPECT_TRUE(hits[i].sample <= exact[i].sample && hits[i].sample + ModuleRenderer::kMaxPieceFrames > exact[i].sample)
        << i;
  }
  EXPECT_GT(peak, 0.3f);
  EXPECT_LE(peak, std::pow(10.0f, -1.0f / 20.0f));
  EXPECT_LE(longestSilence, kRate);
}

}  // namespace
}  // namespace tarvola
