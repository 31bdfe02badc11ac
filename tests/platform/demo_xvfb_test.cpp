// The real program under Xvfb, started by the test: the loading picture fills the screen
// scaled by whole pixels with no blending; Escape and a close request end it with exit 0;
// with no display at all it says why on stderr and exits 0 at once.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "support/child_process.h"

namespace tarvola {
namespace {

namespace fs = std::filesystem;
using namespace testing;

// The test's loading picture: three channels from three different formulas of x and y, so a
// red/blue swap, a flip or an off-by-one shows; an asymmetric yellow marker top left.
uint32_t loadingPixel(int x, int y) {
  if (x < 40 && y < 20) return 0xFFFFFF00u;
  return 0xFF000000u | (uint32_t(x * 3 + y) & 255) << 16 | uint32_t(y) << 8 | (uint32_t(x * 5 + 2 * y + 1) & 255);
}

// Runs in a scratch directory whose data/ holds the generated data set (the scenes load from
// it) with the test's own loading picture in place of the generated one.
class DemoProgram : public ::testing::Test {
 protected:
  void SetUp() override {
    fs::create_directories(scratch_ / "data");
    const fs::path generated = fs::path(TARVOLA_BINARY_DIR) / "data";
    ASSERT_TRUE(fs::exists(generated / "box.3ds")) << "build the data set first";
    for (const fs::directory_entry& entry : fs::directory_iterator(generated))
      if (entry.path().filename() != "loading.tga") fs::create_symlink(entry.path(), scratch_ / "data" / entry.path().filename());
    std::vector<uint32_t> picture(320 * 240);
    for (size_t i = 0; i < picture.size(); ++i) picture[i] = loadingPixel(int(i % 320), int(i / 320));
    ASSERT_TRUE(writeTga((scratch_ / "data/loading.tga").string(), 320, 240, picture));
  }
  void TearDown() override {
    stop(demo_);
    stop(windowManager_);
    stop(xvfb_);
  }

  // Xvfb of 4 x 320 by 4 x 240, a window manager, the demo, and its window.
  void startDemoOnX() {
    const std::optional<std::string> display = startXvfb(1280, 960, scratch_ / "xvfb.log", &xvfb_);
    ASSERT_TRUE(display) << "Xvfb did not start: " << readFile(scratch_ / "xvfb.log");
    display_ = *display;
    env_ = {{"DISPLAY", display_}, {"WAYLAND_DISPLAY", std::nullopt}, {"SDL_VIDEODRIVER", std::nullopt}};
    windowManager_ = spawn({"matchbox-window-manager", "-use_titlebar", "no"}, env_, {}, scratch_ / "wm.log");
    ASSERT_TRUE(waitFor({"xprop", "-root", "_NET_SUPPORTING_WM_CHECK"})) << "no window manager: " << readFile(scratch_ / "wm.log");
    demo_ = spawn({TARVOLA_DEMO}, env_, scratch_, scratch_ / "demo.log");
    ASSERT_TRUE(waitFor({"xdotool", "search", "--name", "^tarvola$"})) << "no window: " << readFile(scratch_ / "demo.log");
  }
  // Repeats a command until it succeeds, for at most 5 s.
  bool waitFor(const std::vector<std::string>& argv) {
    for (const auto deadline = Clock::now() + milliseconds(5000); Clock::now() < deadline;
         std::this_thread::sleep_for(milliseconds(50)))
      if (run(argv, env_) == 0) return true;
    return false;
  }
  void expectExitZero(milliseconds timeout) {
    const std::optional<int> status = waitExit(demo_, timeout);
    if (status) demo_ = -1;  // else TearDown stops it
    EXPECT_EQ(status, std::optional<int>(0)) << readFile(scratch_ / "demo.log");
  }

  testing::ScratchDir scratchDir_{fs::path(TARVOLA_BINARY_DIR) / "test_scratch"};
  const fs::path& scratch_ = scratchDir_.path();
  std::string display_;
  EnvChanges env_;
  pid_t xvfb_ = -1, windowManager_ = -1, demo_ = -1;
};

TEST_F(DemoProgram, LoadingPictureFillsTheScreenByWholePixelsThenEscapeEnds) {
  startDemoOnX();
  // The picture stays for 2000 ms after the window opens: look until it is all there (a slow
  // start may still be setting up), at most 1600 ms. Every screen pixel must be the picture's
  // pixel under it at a scale of exactly 4: no blend.
  int mismatches = -1;
  for (const auto lookUntil = Clock::now() + milliseconds(1600); mismatches != 0 && Clock::now() < lookUntil;) {
    std::this_thread::sleep_for(milliseconds(100));
    const std::vector<uint32_t> screen = capture(display_, "root", 1280, 960, scratch_);
    ASSERT_EQ(screen.size(), 1280u * 960u);
    mismatches = 0;
    for (size_t i = 0; i < screen.size(); ++i) mismatches += (0xFF000000u | screen[i]) != loadingPixel(int(i % 1280 / 4), int(i / 1280 / 4));
  }
  EXPECT_EQ(mismatches, 0) << "see " << scratch_ / "capture.png";
  ASSERT_EQ(run({"xdotool", "key", "Escape"}, env_), 0);
  expectExitZero(milliseconds(15000));  // once the start-up's pauses (3 s) are over
}

TEST_F(DemoProgram, CloseRequestEnds) {
  startDemoOnX();
  // SDL may replace its first window when it sets up the renderer: close the one that shows
  // the loading picture, within the 2000 ms pause, through the window manager (WM_DELETE_WINDOW,
  // as a close button sends).
  std::this_thread::sleep_for(milliseconds(1000));
  ASSERT_EQ(run({"wmctrl", "-c", "tarvola"}, env_), 0);
  expectExitZero(milliseconds(15000));
}

TEST_F(DemoProgram, WithoutAnyDisplaySaysWhyOnStderrAndExitsAtOnce) {
  fs::remove(scratch_ / "data/loading.tga");  // the loader's message goes to stderr too
  const auto started = Clock::now();
  demo_ = spawn({TARVOLA_DEMO}, {{"DISPLAY", std::nullopt}, {"WAYLAND_DISPLAY", std::nullopt}, {"SDL_VIDEODRIVER", std::nullopt}},
                scratch_, scratch_ / "demo.log");
  expectExitZero(milliseconds(5000));
  EXPECT_LT(Clock::now() - started, milliseconds(1000));
  const std::string log = readFile(scratch_ / "demo.log");
  // Exactly these two lines of ours (libraries may add their own complaints).
  EXPECT_NE(log.find("tarvola: ERROR! Cant open data/loading.tga\n"), std::string::npos) << log;
  EXPECT_NE(log.find("tarvola: cannot open a display"), std::string::npos) << log;
  size_t lines = 0;
  for (size_t at = log.find("tarvola:"); at != std::string::npos; at = log.find("tarvola:", at + 1)) ++lines;
  EXPECT_EQ(lines, 2u) << log;
}

// The whole programme, watched: a screenshot in the middle of each scene's slot shows a live
// picture between exactly black letterbox bars, and the demo ends by itself after the fade.
TEST_F(DemoProgram, PlaysTheWholeProgrammeBetweenTheBarsAndEndsByItself) {
  startDemoOnX();
  const auto windowShown = Clock::now();
  // Demo time starts after the 2000 ms and 1000 ms pauses and the scene inits.
  constexpr double kStartDelay = 3.5;
  const double middles[] = {4, 26, 62, 87, 109, 145};  // seconds of demo time, one per scene
  for (double middle : middles) {
    std::this_thread::sleep_until(windowShown + std::chrono::duration_cast<Clock::duration>(
                                                    std::chrono::duration<double>(kStartDelay + middle)));
    const std::vector<uint32_t> screen = capture(display_, "root", 1280, 960, scratch_);
    ASSERT_EQ(screen.size(), 1280u * 960u);
    fs::copy_file(scratch_ / "capture.png", scratch_ / ("scene-at-" + std::to_string(int(middle)) + "s.png"),
                  fs::copy_options::overwrite_existing);
    size_t litInBars = 0;
    std::vector<uint32_t> bandColours;
    for (size_t i = 0; i < screen.size(); ++i) {
      const size_t row = i / 1280;
      if (row < 120 || row >= 840) {
        litInBars += screen[i] != 0;
      } else if (i % 97 == 0) {
        bandColours.push_back(screen[i]);
      }
    }
    std::sort(bandColours.begin(), bandColours.end());
    const size_t distinct = size_t(std::unique(bandColours.begin(), bandColours.end()) - bandColours.begin());
    EXPECT_EQ(litInBars, 0u) << "letterbox bars at " << middle << " s";
    EXPECT_GT(distinct, 50u) << "a live picture at " << middle << " s";
  }
  expectExitZero(milliseconds(40000));  // 166 s, the fade-out, and slack for a loaded machine
}

TEST_F(DemoProgram, EscapeInTheMiddleOfASceneEndsAtOnce) {
  startDemoOnX();
  std::this_thread::sleep_for(milliseconds(3500 + 12000));  // Scene 2, demo time about 12 s
  const auto pressed = Clock::now();
  ASSERT_EQ(run({"xdotool", "key", "Escape"}, env_), 0);
  expectExitZero(milliseconds(5000));
  EXPECT_LT(Clock::now() - pressed, milliseconds(2500)) << "the fade-out lasts about 500 ms";
}

}  // namespace
}  // namespace tarvola
