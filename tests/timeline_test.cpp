// Timeline: the demo's table, boundaries (equality passes), jumps over several boundaries,
// the sticky end, NaN, render before any update, an opcode outside the table's format.
#include "runtime/timeline.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

namespace tarvola {
namespace {

struct RenderCall {
  int scene;
  float time;
};
std::vector<RenderCall> renderCalls;

template <int N>
void recordRender(Surface&, float time) {
  renderCalls.push_back({N, time});
}

// The demo's layout over recording scenes.
const TimelineCommand kTestTable[kTimelineLength] = {
    {kSetScene, 0, &recordRender<1>}, {kWait, 850, nullptr},
    {kSetScene, 0, &recordRender<2>}, {kWait, 4450, nullptr},
    {kSetScene, 0, &recordRender<3>}, {kWait, 8000, nullptr},
    {kSetScene, 0, &recordRender<4>}, {kWait, 9400, nullptr},
    {kSetScene, 0, &recordRender<5>}, {kWait, 12400, nullptr},
    {kSetScene, 0, &recordRender<6>}, {kWait, 16600, nullptr},
    {kEnd, 0, nullptr},
};

// Which scene renders after one update at `time` on a fresh timeline (0 = none).
int sceneAfterFirstUpdate(float time, bool* ended = nullptr) {
  Timeline timeline;
  timeline.start(kTestTable);
  const bool result = timeline.update(time);
  if (ended) *ended = result;
  Surface target;
  renderCalls.clear();
  timeline.render(target);
  return renderCalls.empty() ? 0 : renderCalls.back().scene;
}

TEST(Timeline, DemoTableIsTheProgramme) {
  const TimelineCommand* table = demoTimelineTable();
  const int32_t waits[6] = {850, 4450, 8000, 9400, 12400, 16600};
  for (int i = 0; i < 6; ++i) {
    EXPECT_EQ(table[2 * i].opcode, kSetScene);
    EXPECT_EQ(table[2 * i].scene, kScenes[i].render) << "scene " << i + 1;
    EXPECT_EQ(table[2 * i + 1].opcode, kWait);
    EXPECT_EQ(table[2 * i + 1].waitUntil, waits[i]);
  }
  EXPECT_EQ(table[12].opcode, kEnd);
}

TEST(Timeline, BoundariesSwitchOnEquality) {
  EXPECT_EQ(sceneAfterFirstUpdate(0.0f), 1);
  EXPECT_EQ(sceneAfterFirstUpdate(849.99f), 1);
  EXPECT_EQ(sceneAfterFirstUpdate(std::nextafter(850.0f, 0.0f)), 1);
  EXPECT_EQ(sceneAfterFirstUpdate(850.0f), 2);
  EXPECT_EQ(sceneAfterFirstUpdate(4449.999f), 2);
  EXPECT_EQ(sceneAfterFirstUpdate(4450.0f), 3);
  EXPECT_EQ(sceneAfterFirstUpdate(8000.0f), 4);
  EXPECT_EQ(sceneAfterFirstUpdate(12399.999f), 5);
  EXPECT_EQ(sceneAfterFirstUpdate(12400.0f), 6);
  bool ended = true;
  EXPECT_EQ(sceneAfterFirstUpdate(16599.998f, &ended), 6);
  EXPECT_FALSE(ended);
  EXPECT_EQ(sceneAfterFirstUpdate(16600.0f, &ended), 6);  // the frame loop no longer renders
  EXPECT_TRUE(ended);
  // A negative time still executes the first set-scene command.
  EXPECT_EQ(sceneAfterFirstUpdate(-5.0f), 1);
}

TEST(Timeline, SteppingThroughKeepsSceneUntilItsWaitPasses) {
  Timeline timeline;
  timeline.start(kTestTable);
  Surface target;
  const float times[] = {0.5f, 849.99f, 850.0f, 850.01f, 4449.99f, 4450.0f};
  const int scenes[] = {1, 1, 2, 2, 2, 3};
  for (int i = 0; i < 6; ++i) {
    renderCalls.clear();
    EXPECT_FALSE(timeline.update(times[i]));
    timeline.render(target);
    ASSERT_EQ(renderCalls.size(), 1u);
    EXPECT_EQ(renderCalls[0].scene, scenes[i]) << times[i];
    EXPECT_EQ(renderCalls[0].time, times[i]);  // the time stored by the update, as given
  }
}

TEST(Timeline, FirstUpdateFarPastSeveralBoundaries) {
  Timeline timeline;
  timeline.start(kTestTable);
  EXPECT_FALSE(timeline.update(9000.0f));
  EXPECT_EQ(timeline.cursor, kTestTable + 7);  // on the wait for 9400
  Surface target;
  renderCalls.clear();
  timeline.render(target);
  ASSERT_EQ(renderCalls.size(), 1u);
  EXPECT_EQ(renderCalls[0].scene, 4);
  EXPECT_EQ(renderCalls[0].time, 9000.0f);
}

TEST(Timeline, EndIsSticky) {
  Timeline timeline;
  timeline.start(kTestTable);
  EXPECT_FALSE(timeline.update(100.0f));
  EXPECT_TRUE(timeline.update(20000.0f));
  EXPECT_EQ(timeline.cursor, kTestTable + 12);
  // Later updates return true at once, even with an earlier time or a NaN.
  EXPECT_TRUE(timeline.update(0.0f));
  EXPECT_TRUE(timeline.update(std::nanf("")));
  EXPECT_EQ(timeline.cursor, kTestTable + 12);
}

TEST(Timeline, NaNNeverPassesAWait) {
  Timeline timeline;
  timeline.start(kTestTable);
  EXPECT_FALSE(timeline.update(std::nanf("")));
  EXPECT_EQ(timeline.cursor, kTestTable + 1);  // command 0 ran: Scene 1 is current
  EXPECT_EQ(timeline.scene, &recordRender<1>);
  EXPECT_FALSE(timeline.update(std::nanf("")));
  EXPECT_EQ(timeline.cursor, kTestTable + 1);
  EXPECT_FALSE(timeline.update(900.0f));  // a real time afterwards moves on
  EXPECT_EQ(timeline.scene, &recordRender<2>);
}

TEST(Timeline, RenderBeforeAnyUpdateDoesNothing) {
  Timeline timeline;
  Surface target;
  renderCalls.clear();
  timeline.render(target);  // never started
  timeline.start(kTestTable);
  timeline.render(target);  // started, not updated
  EXPECT_TRUE(renderCalls.empty());
}

TEST(Timeline, UnknownOpcodeEndsLikeTheEndCommand) {
  const TimelineCommand table[] = {
      {kSetScene, 0, &recordRender<1>}, {kWait, 100, nullptr}, {7, 0, nullptr}, {kSetScene, 0, &recordRender<2>}};
  Timeline timeline;
  timeline.start(table);
  EXPECT_FALSE(timeline.update(50.0f));
  EXPECT_TRUE(timeline.update(100.0f));
  EXPECT_TRUE(timeline.update(200.0f));
  EXPECT_EQ(timeline.scene, &recordRender<1>);
  EXPECT_EQ(timeline.cursor, table + 2);
}

TEST(Timeline, GlobalInstanceForwards) {
  createTimeline(kTestTable);
  Surface target;
  renderCalls.clear();
  timelineRender(target);
  EXPECT_TRUE(renderCalls.empty());
  EXPECT_FALSE(timelineUpdate(4500.0f));
  timelineRender(target);
  ASSERT_EQ(renderCalls.size(), 1u);
  EXPECT_EQ(renderCalls[0].scene, 3);
  EXPECT_EQ(renderCalls[0].time, 4500.0f);
  EXPECT_TRUE(timelineUpdate(16600.0f));
  createTimeline(kTestTable);  // a fresh start goes back to the first command
  EXPECT_FALSE(timelineUpdate(1.0f));
}

}  // namespace
}  // namespace tarvola
