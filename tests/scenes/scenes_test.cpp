// The scenes' reactions seen in their pictures and flags: first frames, event handling and
// the finale's flashes. Each test runs in a process of its own (CTest), so the
// process-wide scene state starts fresh; missing pictures read as black.
#include "scenes/scenes.h"

#include <gtest/gtest.h>

#include "music/sync_events.h"
#include "raster/depth_buffer.h"

namespace tarvola {
namespace {

class Scenes : public ::testing::Test {
 protected:
  void SetUp() override {
    clearSyncFlags();
    target.create(320, 240);
    depth.create(320, 240);
  }
  bool allPixels(uint32_t value) const {
    for (uint32_t p : target.pixels) {
      if (p != value) return false;
    }
    return true;
  }
  Surface target;
  DepthBuffer depth;
};

TEST_F(Scenes, InterferenceFadesInFromBlackAndTakesItsEvents) {
  polarSceneInit();
  polarSceneRender(target, depth, 850.0f);
  EXPECT_TRUE(allPixels(0u));  // fade level 255 toward black

  syncAny.raise();
  polarSceneRender(target, depth, 2299.9f);
  syncAny.raise();
  polarSceneRender(target, depth, 2300.0f);

  // Both events in one frame: phase jump, pulse and blur start together.
  syncAny.raise();
  sync5.raise();
  polarSceneRender(target, depth, 3000.0f);
  EXPECT_FALSE(syncAny.take());
  EXPECT_FALSE(sync5.take());
  polarSceneRender(target, depth, 3060.0f);  // d = 60: the blur is over (strict bound)
}

TEST_F(Scenes, MetaballsFlashWhiteShakeOnEventsAndDimBeforeTheCut) {
  metaballSceneInit();
  metaballSceneRender(target, depth, 4450.0f);
  EXPECT_TRUE(allPixels(0xFEFEFEFEu));  // (255 * 255) >> 8 in every byte

  // Value 2 raises sync1 and sync2: the animation jumps 500 ahead and the shake starts at 1.
  onMusicSync(2);
  metaballSceneRender(target, depth, 5000.0f);
  EXPECT_FALSE(sync1.take());
  metaballSceneRender(target, depth, 5075.0f);  // d = 60 in scene time: no shake

  // t = 7950 scales by 127: no byte can exceed (255 * 127) >> 8 = 126.
  metaballSceneRender(target, depth, 7950.0f);
  for (uint32_t p : target.pixels) {
    for (int b = 0; b < 4; ++b) ASSERT_LE((p >> (8 * b)) & 0xFF, 126u);
  }
}

TEST_F(Scenes, TunnelTakesSync3WhenLate) {
  tunnelInit();
  tunnelRender(target, depth, 9400.0f);
  tunnelRender(target, depth, 10800.0f);  // still the early clock
  sync3.raise();
  tunnelRender(target, depth, 10801.0f);  // late: the whole elapsed time runs 1.8 times faster
  EXPECT_FALSE(sync3.take());
}

TEST_F(Scenes, FinaleCyclesOnSync5WithAFlash) {
  metaballSceneInit();
  tunnelInit();
  polarSceneInit();
  finaleInit();
  finaleRender(target, depth, 12400.0f);
  EXPECT_FALSE(allPixels(0xFEFEFEFEu)) << "no flash before the first event";

  float t = 12500.0f;
  for (int i = 0; i < 3; ++i) {
    sync5.raise();
    finaleRender(target, depth, t);
    EXPECT_TRUE(allPixels(0xFEFEFEFEu)) << "a switch shows a full white flash";
    t += 200.0f;
  }
  EXPECT_FALSE(sync5.take());
}

TEST(Credits, BlurCentreSweepsAlongTheLowerLine) {
  EXPECT_EQ(creditsBlurCentre(8000.0f), 180);
  EXPECT_EQ(creditsBlurCentre(9400.0f), 309);
}

}  // namespace
}  // namespace tarvola
