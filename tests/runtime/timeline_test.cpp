// Timeline: boundaries (equality passes), jumps over several boundaries,
// the sticky end, NaN, render before any update, an opcode outside the table's format.
#include "runtime/timeline.h"

#include <gtest/gtest.h>

#include <cmath>
#include <iterator>
#include <vector>

namespace tarvola {
namespace {

struct RenderCall {
  int scene;
  float time;
};
std::vector<RenderCall> renderCalls;

template <int N>
void recordRender(Surface&, DepthBuffer&, float time) {
  renderCalls.push_back({N, time});
}

// The demo's layout over recording scenes.
const TimelineCommand kTestTable[kTimelineLength] = {
    {kSetScene, 0, &recordRender<1>}, {kWait, 850, nullptr},   {kSetScene, 0, &recordRender<2>},
    {kWait, 4450, nullptr},           {kSetScene, 0, &recordRender<3>}, {kWait, 8000, nullptr},
    {kSetScene, 0, &recordRender<4>}, {kWait, 9400, nullptr},  {kSetScene, 0, &recordRender<5>},
    {kWait, 12400, nullptr},          {kSetScene, 0, &recordRender<6>}, {kWait, 16600, nullptr},
    {kEnd, 0, nullptr},
};

// The scene a render call reaches (0 = none), checking it gets the time last updated to.
int renderedScene(Timeline& timeline, float time) {
  Surface target;
  DepthBuffer depth;
  renderCalls.clear();
  timeline.render(target, depth);
  if (renderCalls.empty()) return 0;
  EXPECT_EQ(renderCalls[0].time, time);
  return renderCalls[0].scene;
}

TEST(Timeline, BoundariesSwitchOnEqualityFromAFreshStartAndStepByStep) {
  const float times[] = {-5.0f, 0.0f, std::nextafter(850.0f, 0.0f), 850.0f, 4449.999f, 4450.0f, 8000.0f,
                         9000.0f, 12399.999f, 12400.0f, 16599.998f};
  const int scenes[] = {1, 1, 1, 2, 2, 3, 4, 4, 5, 6, 6};
  Timeline stepping;
  stepping.start(kTestTable);
  for (size_t i = 0; i < std::size(times); ++i) {
    Timeline fresh;  // a first update far past several boundaries runs them all
    fresh.start(kTestTable);
    EXPECT_FALSE(fresh.update(times[i]));
    EXPECT_EQ(renderedScene(fresh, times[i]), scenes[i]) << times[i];
    EXPECT_FALSE(stepping.update(times[i]));
    EXPECT_EQ(renderedScene(stepping, times[i]), scenes[i]) << times[i];
  }
  EXPECT_EQ(stepping.cursor, kTestTable + 11);  // on the wait for 16600
  EXPECT_TRUE(stepping.update(16600.0f));
  EXPECT_EQ(stepping.cursor, kTestTable + 12);
}

// NaN never passes a wait; the end is sticky; an unknown opcode ends like the end command.
TEST(Timeline, NaNWaitsEndIsStickyAndAnUnknownOpcodeEndsLikeIt) {
  Timeline timeline;
  timeline.start(kTestTable);
  EXPECT_FALSE(timeline.update(std::nanf("")));
  EXPECT_FALSE(timeline.update(std::nanf("")));
  EXPECT_EQ(timeline.cursor, kTestTable + 1);  // command 0 ran: Scene 1 is current
  EXPECT_EQ(timeline.scene, &recordRender<1>);
  EXPECT_FALSE(timeline.update(900.0f));  // a real time afterwards moves on
  EXPECT_EQ(timeline.scene, &recordRender<2>);
  EXPECT_TRUE(timeline.update(20000.0f));
  EXPECT_TRUE(timeline.update(0.0f));  // later updates end at once, even earlier or NaN
  EXPECT_TRUE(timeline.update(std::nanf("")));
  EXPECT_EQ(timeline.cursor, kTestTable + 12);

  const TimelineCommand table[] = {
      {kSetScene, 0, &recordRender<1>}, {kWait, 100, nullptr}, {TimelineOpcode(7), 0, nullptr}, {kSetScene, 0, &recordRender<2>}};
  timeline.start(table);
  EXPECT_FALSE(timeline.update(50.0f));
  EXPECT_TRUE(timeline.update(100.0f));
  EXPECT_TRUE(timeline.update(200.0f));
  EXPECT_EQ(timeline.scene, &recordRender<1>);
  EXPECT_EQ(timeline.cursor, table + 2);
}

// Nothing renders before the first update, started or not; a fresh start goes back to the
// first command. (The global instance the frame loop uses is covered by its tests.)
TEST(Timeline, RendersNothingBeforeItsFirstUpdateAndRestarts) {
  Timeline timeline;
  EXPECT_EQ(renderedScene(timeline, 0.0f), 0);
  timeline.start(kTestTable);
  EXPECT_EQ(renderedScene(timeline, 0.0f), 0);
  EXPECT_TRUE(timeline.update(16600.0f));
  timeline.start(kTestTable);
  EXPECT_FALSE(timeline.update(1.0f));
  EXPECT_EQ(renderedScene(timeline, 1.0f), 1);
}

}  // namespace
}  // namespace tarvola
