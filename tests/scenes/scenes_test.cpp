// The scenes' reactions that a wrong step would break: first frames, clock jumps, event
// handling and the finale's cycle. Each test runs in a process of its own (CTest), so the
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
    createDepthBuffer(320, 240);
  }
  bool allPixels(uint32_t value) const {
    for (uint32_t p : target.pixels) {
      if (p != value) return false;
    }
    return true;
  }
  Surface target;
};

TEST_F(Scenes, InterferenceFadesInFromBlackAndJumpsToFullSpeedAt2300) {
  polarSceneInit();
  polarSceneRender(target, 850.0f);
  EXPECT_TRUE(allPixels(0u));  // fade level 255 toward black
  EXPECT_FLOAT_EQ(polarSceneState.fadeInStart, 170.0f);

  syncAny.raise();
  polarSceneRender(target, 2299.9f);
  EXPECT_NEAR(polarSceneState.kickStart, 459.98f, 1e-3);
  syncAny.raise();
  polarSceneRender(target, 2300.0f);
  EXPECT_EQ(polarSceneState.kickStart, 2300.0f);
  EXPECT_EQ(polarSceneState.kickPhase, 200.0f);

  // Both events in one frame: phase jump, pulse and blur start together.
  syncAny.raise();
  sync5.raise();
  polarSceneRender(target, 3000.0f);
  EXPECT_EQ(polarSceneState.kickPhase, 300.0f);
  EXPECT_EQ(polarSceneState.blurStart, 3000.0f);
  EXPECT_EQ(polarSceneState.blurLevel, 1.0f);
  EXPECT_FALSE(syncAny.take());
  EXPECT_FALSE(sync5.take());
  polarSceneRender(target, 3060.0f);  // d = 60: the blur is over (strict bound)
  EXPECT_EQ(polarSceneState.blurLevel, 0.0f);
}

TEST_F(Scenes, MetaballsFlashWhiteShakeOnEventsAndDimBeforeTheCut) {
  metaballSceneInit();
  metaballSceneRender(target, 4450.0f);
  EXPECT_TRUE(allPixels(0xFEFEFEFEu));  // (255 * 255) >> 8 in every byte
  EXPECT_FLOAT_EQ(metaballSceneState.flashStart, 3560.0f);

  // Value 2 raises sync1 and sync2: the animation jumps 500 ahead and the shake starts at 1.
  onMusicSync(2);
  metaballSceneRender(target, 5000.0f);
  EXPECT_EQ(metaballSceneState.timePhase, 500.0f);
  EXPECT_EQ(metaballSceneState.shakeStart, 4000.0f);
  EXPECT_EQ(metaballSceneState.shake, 1.0f);
  EXPECT_FALSE(sync1.take());
  metaballSceneRender(target, 5075.0f);  // d = 60 in scene time: no shake
  EXPECT_EQ(metaballSceneState.shake, 0.0f);

  // t = 7950 scales by 127: no byte can exceed (255 * 127) >> 8 = 126.
  metaballSceneRender(target, 7950.0f);
  for (uint32_t p : target.pixels) {
    for (int b = 0; b < 4; ++b) ASSERT_LE((p >> (8 * b)) & 0xFF, 126u);
  }
}

TEST_F(Scenes, TunnelClockStartsAtZeroAndJumpsPast10800) {
  tunnelInit();
  tunnelRender(target, 9400.0f);
  EXPECT_EQ(tunnelSceneState.startTime, 9400.0f);
  EXPECT_EQ(tunnelSceneState.clock, 0.0f);
  tunnelRender(target, 10800.0f);  // still the early clock
  EXPECT_EQ(tunnelSceneState.clock, 1400.0f);
  sync3.raise();
  tunnelRender(target, 10801.0f);  // late: the whole elapsed time runs 1.8 times faster
  EXPECT_FLOAT_EQ(tunnelSceneState.clock, 2521.8f);
  EXPECT_FALSE(sync3.take());
}

TEST_F(Scenes, FinaleCyclesOnSync5WithAFlash) {
  metaballSceneInit();
  tunnelInit();
  polarSceneInit();
  finaleInit();
  const float blurStart = polarSceneState.blurStart;
  finaleRender(target, 12400.0f);
  EXPECT_EQ(finaleState.cycleIndex, 0);
  EXPECT_FALSE(allPixels(0xFEFEFEFEu)) << "no flash before the first event";

  const int32_t expected[] = {1, 2, 0};
  float t = 12500.0f;
  for (int32_t index : expected) {
    sync5.raise();
    finaleRender(target, t);
    EXPECT_EQ(finaleState.cycleIndex, index);
    EXPECT_EQ(finaleState.flashStart, t);
    EXPECT_TRUE(allPixels(0xFEFEFEFEu)) << "a switch shows a full white flash";
    t += 200.0f;
  }
  // The finale consumed sync5 before the interference scene could see it.
  EXPECT_EQ(polarSceneState.blurStart, blurStart);
}

TEST(Credits, BlurCentreSweepsAlongTheLowerLine) {
  EXPECT_EQ(creditsBlurCentre(8000.0f), 180);
  EXPECT_EQ(creditsBlurCentre(9400.0f), 309);
}

}  // namespace
}  // namespace tarvola
