// Timeline on a small table of its own: boundaries (equality passes), jumps over several
// boundaries, restart, the sticky end, NaN, render before any update.
#include "runtime/timeline.h"

#include <gtest/gtest.h>

#include <cmath>
#include <iterator>
#include <vector>

#include "scenes/scene_state.h"

namespace tarvola {
namespace {

std::vector<std::pair<int, float>> renderCalls;  // scene, time

template <int N>
void recordRender(SceneState&, Surface&, DepthBuffer&, float time) {
  renderCalls.push_back({N, time});
}

const TimelineCommand kTable[] = {{kSetScene, 0, &recordRender<1>},
                                  {kWait, 100, nullptr},
                                  {kSetScene, 0, &recordRender<2>},
                                  {kWait, 250, nullptr},
                                  {kSetScene, 0, &recordRender<3>},
                                  {kWait, 400, nullptr},
                                  {kEnd, 0, nullptr}};

// The scene a render call reaches (0 = none), checking it gets the time last updated to.
int renderedScene(const Timeline& timeline, float time) {
  static SceneState scenes;
  Surface target;
  DepthBuffer depth;
  renderCalls.clear();
  timeline.render(scenes, target, depth);
  EXPECT_TRUE(renderCalls.empty() || renderCalls[0].second == time);
  return renderCalls.empty() ? 0 : renderCalls[0].first;
}

TEST(Timeline, BoundariesRestartTheStickyEndAndNaN) {
  const float times[] = {-5.0f, 0.0f, std::nextafter(100.0f, 0.0f), 100.0f, 249.99f, 250.0f, 399.99f};
  const int scenes[] = {1, 1, 1, 2, 2, 3, 3};
  Timeline stepping, never;
  EXPECT_EQ(renderedScene(never, 0.0f), 0);  // nothing renders before the first update
  stepping.start(kTable);
  EXPECT_EQ(renderedScene(stepping, 0.0f), 0);
  for (size_t i = 0; i < std::size(times); ++i) {
    Timeline fresh;  // a first update far past several boundaries runs them all
    fresh.start(kTable);
    EXPECT_FALSE(fresh.update(times[i]));
    EXPECT_EQ(renderedScene(fresh, times[i]), scenes[i]) << times[i];
    EXPECT_FALSE(stepping.update(times[i]));
    EXPECT_EQ(renderedScene(stepping, times[i]), scenes[i]) << times[i];
  }
  EXPECT_TRUE(stepping.update(400.0f));
  EXPECT_TRUE(stepping.update(0.0f));  // later updates end at once, even earlier or NaN
  EXPECT_TRUE(stepping.update(std::nanf("")));
  EXPECT_EQ(stepping.cursor, kTable + 6);
  stepping.start(kTable);  // a fresh start goes back to the first command; NaN passes no wait
  EXPECT_FALSE(stepping.update(std::nanf("")));
  EXPECT_EQ(stepping.cursor, kTable + 1);
  EXPECT_FALSE(stepping.update(150.0f));
  EXPECT_EQ(renderedScene(stepping, 150.0f), 2);
}

}  // namespace
}  // namespace tarvola
