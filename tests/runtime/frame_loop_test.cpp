// The demo's run on a fake host and a fake counter: start-up order and pauses, demo time, the
// end frame presenting the previous picture again, the depth buffer cleared every frame, one
// message per frame with none lost and quit before drawing.
#include "runtime/frame_loop.h"

#include <gtest/gtest.h>

#include <deque>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "raster/depth_buffer.h"
#include "support/test_support.h"

namespace tarvola {
namespace {

std::vector<std::string> events;  // what the host and the scenes were asked to do, in order
enum class Incoming { kOther, kEscape, kQuit };
constexpr size_t kMarkedKey = 321;        // the depth-buffer entry the test scenes write
const DepthBuffer* sceneDepth = nullptr;  // the depth buffer the scenes were handed

class FakePlatform final : public Platform {
 public:
  int64_t step = 1;  // each read returns the value, then adds the step
  int64_t now = 0;
  std::vector<std::pair<int, Incoming>> arrivals;  // messages arriving before poll number k
  std::deque<Incoming> queue;
  int polls = 0, handled = 0;
  std::vector<std::vector<uint32_t>> presented;  // every presented framebuffer
  std::vector<int32_t> depthAtPresent;           // the marked depth key at each present

  int64_t frequency() override { return 100; }
  int64_t read() override { return (now += step) - step; }
  bool openDisplay(const char* title, int32_t width, int32_t height, bool windowed) override {
    events.push_back(std::string("open ") + title + " " + std::to_string(width) + "x" + std::to_string(height) +
                     (windowed ? " windowed" : " fullscreen"));
    return true;
  }
  int32_t present(const Surface& framebuffer) override {
    events.push_back("present");
    presented.push_back(framebuffer.pixels);
    depthAtPresent.push_back(sceneDepth != nullptr ? sceneDepth->keys.at(kMarkedKey) : -1);
    return 0;
  }
  void closeDisplay() override { events.push_back("close"); }
  PlatformMessage pollMessage() override {
    for (const auto& [poll, message] : arrivals)
      if (poll == polls) queue.push_back(message);
    ++polls;
    if (queue.empty()) return PlatformMessage::kNone;
    const Incoming message = queue.front();
    queue.pop_front();
    if (message == Incoming::kQuit) return PlatformMessage::kQuit;
    ++handled;
    if (message == Incoming::kEscape) queue.push_back(Incoming::kQuit);  // as the display does
    return PlatformMessage::kHandled;
  }
  void pause(uint32_t milliseconds) override { events.push_back("pause " + std::to_string(milliseconds)); }
  void loadMusic(const char* path, SyncFlags&) override { events.push_back(std::string("loadMusic ") + path); }
  void startMusic() override { events.push_back("startMusic"); }
  void fadeOutMusic() override { events.push_back("fadeOutMusic"); }
};

std::vector<std::pair<int, float>> renders;  // scene, time

template <int N>
void initScene(SceneState&) {
  events.push_back("init " + std::to_string(N));
}
// Each frame writes its own number into pixel (1, 0), finds the depth buffer cleared and
// leaves its number in it.
template <int N>
void renderScene(SceneState&, Surface& target, DepthBuffer& depth, float time) {
  renders.push_back({N, time});
  target.pixels[1] = 0x00010203u * uint32_t(renders.size() % 64 + 1);
  sceneDepth = &depth;
  EXPECT_EQ(depth.keys.at(kMarkedKey), 0) << "frame " << renders.size();
  depth.keys.at(kMarkedKey) = int32_t(renders.size());
}

const Scene kTestScenes[kSceneCount] = {
    {&initScene<1>, &renderScene<1>}, {&initScene<2>, &renderScene<2>}, {&initScene<3>, &renderScene<3>},
    {&initScene<4>, &renderScene<4>}, {&initScene<5>, &renderScene<5>}, {&initScene<6>, &renderScene<6>},
};
// Scene 1, then scene 2 from 40 s to the end at 166 s.
const TimelineCommand kTestTimeline[] = {{kSetScene, 0, &renderScene<1>},
                                         {kWait, 4000, nullptr},
                                         {kSetScene, 0, &renderScene<2>},
                                         {kWait, 16600, nullptr},
                                         {kEnd, 0, nullptr}};
const DemoProgramme kTestProgramme{kTestScenes, kTestTimeline};

constexpr uint32_t kLoadingCorner = 0xFF405060u;  // the loading picture's top-left pixel

// Runs in a scratch directory of its own holding data/loading.tga (a known picture) and
// data/wscr.tga (all 0xFF: the letterbox takes one step off every non-zero byte).
class FrameLoop : public ::testing::Test {
 protected:
  void SetUp() override {
    const std::filesystem::path& dir = scratch_.path();
    std::filesystem::create_directories(dir / "data");
    std::vector<uint32_t> loading(320 * 240, 0xFF102030u);
    loading[0] = kLoadingCorner;
    ASSERT_TRUE(testing::writeTga((dir / "data/loading.tga").string(), 320, 240, loading));
    ASSERT_TRUE(testing::writeTga((dir / "data/wscr.tga").string(), 320, 240, std::vector<uint32_t>(320 * 240, ~0u)));
    previousDir_ = std::filesystem::current_path();
    std::filesystem::current_path(dir);
    events.clear();
    renders.clear();
    sceneDepth = nullptr;  // the last test's run is gone
  }
  void TearDown() override { std::filesystem::current_path(previousDir_); }

  testing::MessageRecorder messages;  // the loader's, if a picture failed
  FakePlatform platform;
  const std::unique_ptr<DemoRun> run = std::make_unique<DemoRun>();

 private:
  testing::ScratchDir scratch_;
  std::filesystem::path previousDir_;
};

TEST_F(FrameLoop, StartUpInOrderThenEndsAt166Seconds) {
  platform.step = 500;  // 5 s per counter read: the clock reads once per frame
  EXPECT_EQ(runDemo(platform, kTestProgramme, *run), 0);
  EXPECT_TRUE(messages.messages().empty());
  std::string all;
  for (const std::string& e : events) all += e + "; ";
  EXPECT_EQ(all.substr(0, 158),
            "open tarvola 320x240 fullscreen; present; pause 2000; loadMusic data/kyr.it; init 3; init 5; init 2; "
            "init 6; init 1; init 4; present; pause 1000; startMusic; ");
  EXPECT_EQ(all.substr(all.size() - 21), "fadeOutMusic; close; ");
  // The loading picture is shown first, then black.
  ASSERT_GE(platform.presented.size(), 2u);
  EXPECT_TRUE(platform.presented[0][0] == kLoadingCorner && platform.presented[0][1] == 0xFF102030u);
  EXPECT_EQ(platform.presented[1], std::vector<uint32_t>(320 * 240, 0u));

  // Start reads 0 and 500; frame k reads 500 (k + 1): demo time 5 k s, hundredths 500 k.
  // 165 s renders; 170 s reaches the end: 33 rendered frames and one more present.
  ASSERT_EQ(renders.size(), 33u);
  for (size_t k = 0; k < renders.size(); ++k)
    EXPECT_TRUE(renders[k].second == float(500 * (k + 1)) && renders[k].first == (k < 7 ? 1 : 2)) << k;
  // The end frame presents the previous picture again, which went through the letterbox: the
  // scene's value 0x00010203 * 34 less one step per non-zero byte.
  ASSERT_EQ(platform.presented.size(), 2u + 33u + 1u);
  EXPECT_EQ(platform.presented.back(), platform.presented[platform.presented.size() - 2]);
  EXPECT_EQ(platform.presented.back()[1], 0x00010203u * 34u - 0x00010101u);
  // The scenes get a 320 x 240 depth buffer, cleared on every frame, the end frame included:
  // each rendered frame presents its own mark, the end frame a cleared key.
  ASSERT_EQ(sceneDepth, &run->depthBuffer);
  EXPECT_EQ(run->depthBuffer.keys.size(), 320u * 240u);
  for (size_t k = 1; k <= 33; ++k) EXPECT_EQ(platform.depthAtPresent[1 + k], int32_t(k)) << k;
  EXPECT_EQ(platform.depthAtPresent.back(), 0);
}

TEST_F(FrameLoop, OneMessagePerFrameNoneLost) {
  // Six messages at once, the Escape last, and one more two frames later: each frame handles
  // one, the Escape's quit request queues behind the late one, and the poll that takes it
  // ends the run before drawing.
  for (int i = 0; i < 5; ++i) platform.arrivals.push_back({0, Incoming::kOther});
  platform.arrivals.push_back({0, Incoming::kEscape});
  platform.arrivals.push_back({2, Incoming::kOther});
  runDemo(platform, kTestProgramme, *run);
  EXPECT_TRUE(platform.handled == 7 && platform.polls == 8 && renders.size() == 7u);
}

}  // namespace
}  // namespace tarvola
