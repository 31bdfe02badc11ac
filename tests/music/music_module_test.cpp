// The generated module data/kyr.it: it loads in libopenmpt and libxmp as a 178 s pass; the
// capture's lock-step renderer finds every sync on the same sample as libopenmpt read one frame
// at a time; the player's 256-frame pieces report each sync in the piece its row began in, on
// both passes.
#include <gtest/gtest.h>
#include <xmp.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

#include "music/lockstep_music.h"
#include "music/module_renderer.h"

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
    while (renderer.framesRendered() < kSpan) renderer.render(block.data(), 4410, collect, &found, 1);
    return found;
  }();
  return hits;
}

// 178 s on the nominal grid of 0.125 s rows (the conductor's tempo 119 rows keep it there), as
// libopenmpt (from fractional tick lengths) and libxmp, an independent player, read it.
TEST(MusicModule, LoadsInLibopenmptAndLibxmpAsA178SecondPass) {
  ModuleRenderer renderer;
  ASSERT_TRUE(renderer.loadFile(kModulePath.c_str()));
  EXPECT_NEAR(renderer.durationSeconds(), 178.0, 0.2);
  xmp_context context = xmp_create_context();
  ASSERT_EQ(xmp_load_module(context, const_cast<char*>(kModulePath.c_str())), 0);
  xmp_module_info info{};
  xmp_get_module_info(context, &info);
  EXPECT_EQ(info.mod->chn, 15);
  EXPECT_NEAR(info.seq_data[0].duration, 178000, 200);
  xmp_release_module(context);
  xmp_free_context(context);
}

// Fed uneven pieces as the capture's frames are, the lock-step renderer (single samples only
// near sync rows) finds every sync of the pass on the exact first frame of its row.
TEST(MusicModule, LockstepRenderingGivesEachSyncItsExactSample) {
  constexpr int64_t kPass = 178 * kRate;
  std::vector<SyncHit> expected = frameByFrameSyncs();
  std::erase_if(expected, [](const SyncHit& hit) { return hit.frame >= kPass; });
  LockstepMusic music;
  ASSERT_TRUE(music.loadFile(kModulePath.c_str()));
  std::vector<TimedSync> hits;
  std::vector<float> block(2 * 3000);
  std::mt19937 random(7);
  while (music.framesRendered() < kPass)
    music.render(block.data(), std::min<int64_t>(1 + random() % 3000, kPass - music.framesRendered()), hits);
  ASSERT_EQ(hits.size(), expected.size());
  ASSERT_GT(hits.size(), 40u);
  for (size_t i = 0; i < hits.size(); ++i)
    EXPECT_TRUE(hits[i].sample == expected[i].frame && hits[i].value == expected[i].value) << "sync " << i;
}

// Two passes and two seconds more rendered as the audio thread does it (256-frame pieces):
// each hit names the piece in which its row began, on both passes, with nothing at the loop.
TEST(MusicModule, PiecesGetTheirSyncsOnBothPasses) {
  ModuleRenderer renderer;
  ASSERT_TRUE(renderer.loadFile(kModulePath.c_str()));
  const std::vector<SyncHit>& exact = frameByFrameSyncs();
  std::vector<SyncHit> hits;
  std::vector<float> block(2 * 4096);
  for (int64_t done = 0; done < kSpan; done += 4096) renderer.render(block.data(), 4096, collect, &hits);
  ASSERT_EQ(hits.size(), exact.size());
  ASSERT_EQ(hits.size() % 2, 0u);
  for (size_t i = 0; i < hits.size(); ++i) {
    EXPECT_EQ(hits[i].value, exact[i].value) << "sync " << i;
    EXPECT_EQ(hits[i].value, exact[i % (hits.size() / 2)].value) << "sync " << i;  // pass 2 repeats pass 1
    EXPECT_TRUE(hits[i].frame <= exact[i].frame && hits[i].frame + ModuleRenderer::kMaxPieceFrames > exact[i].frame)
        << i;
  }
}

}  // namespace
}  // namespace tarvola
