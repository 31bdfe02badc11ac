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
      if (entry.path().filename() != "loading.tga")
        fs::create_symlink(entry.path(), scratch_ / "data" / entry.path().filename());
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
    for (const Needs* needs : {&kXProgramsNeeded, &kDesktopProgramsNeeded})
      ASSERT_EQ(missingProgram(*needs), "") << "this test needs every program it names";
    const std::optional<std::string> display = startXvfb(1280, 960, scratch_ / "xvfb.log", &xvfb_);
    ASSERT_TRUE(display) << "Xvfb did not start: " << readFile(scratch_ / "xvfb.log");
    display_ = *display;
    env_ = {{"DISPLAY", display_}, {"WAYLAND_DISPLAY", std::nullopt}, {"SDL_VIDEODRIVER", std::nullopt}};
    windowManager_ = startWindowManager(display_, scratch_ / "wm.log");
    ASSERT_NE(windowManager_, -1) << "no window manager came up on " << display_ << ": "
                                  << readFile(scratch_ / "wm.log");
    demo_ = spawn({TARVOLA_DEMO}, env_, scratch_, scratch_ / "demo.log");
    ASSERT_TRUE(waitFor({"xdotool", "search", "--onlyvisible", "--name", "^tarvola$"}))
        << "no window mapped: " << readFile(scratch_ / "demo.log");
  }
  // Repeats a command until it succeeds, for at most 30 s (a busy machine is slow, not wrong).
  bool waitFor(const std::vector<std::string>& argv) {
    for (const auto deadline = Clock::now() + milliseconds(30000); Clock::now() < deadline;
         std::this_thread::sleep_for(milliseconds(50)))
      if (run(argv, env_) == 0) return true;
    return false;
  }
  // Looks at the screen until it shows the loading picture (the window mapped and painted), at
  // most 60 s; the count of screen pixels that are not the picture's pixel under them at a
  // scale of exactly 4 (no blend), 0 once it is there.
  size_t waitLoadingPicture() {
    size_t mismatches = size_t(-1);
    for (const auto lookUntil = Clock::now() + milliseconds(60000); mismatches != 0 && Clock::now() < lookUntil;) {
      const std::vector<uint32_t> screen = capture(display_, "root", 1280, 960, scratch_);
      if (screen.size() != 1280u * 960u) continue;
      mismatches = 0;
      for (size_t i = 0; i < screen.size(); ++i)
        mismatches += (0xFF000000u | screen[i]) != loadingPixel(int(i % 1280 / 4), int(i / 1280 / 4));
    }
    return mismatches;
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
  // The picture stays for 2000 ms once painted; the screen is looked at until it is all there.
  EXPECT_EQ(waitLoadingPicture(), 0u) << "see " << scratch_ / "capture.png";
  ASSERT_EQ(run({"xdotool", "key", "Escape"}, env_), 0);
  expectExitZero(milliseconds(30000));  // once the start-up's pauses (3 s) are over
}

TEST_F(DemoProgram, CloseRequestEnds) {
  startDemoOnX();
  // Through the window manager (WM_DELETE_WINDOW, as a close button sends). SDL may replace
  // its first window when it sets up the renderer, so a request the program never saw is made
  // again, but only after 30 s: the window manager kills a client that ignores a second one.
  std::optional<int> status;
  for (int ask = 0; ask < 2 && !status; ++ask) {
    run({"wmctrl", "-c", "tarvola"}, env_);
    status = waitExit(demo_, milliseconds(30000));
  }
  if (status) demo_ = -1;
  EXPECT_EQ(status, std::optional<int>(0)) << readFile(scratch_ / "demo.log");
}

TEST_F(DemoProgram, WithoutAnyDisplaySaysWhyOnStderrAndExitsAtOnce) {
  fs::remove(scratch_ / "data/loading.tga");  // the loader's message goes to stderr too
  const auto started = Clock::now();
  demo_ = spawn({TARVOLA_DEMO},
                {{"DISPLAY", std::nullopt}, {"WAYLAND_DISPLAY", std::nullopt}, {"SDL_VIDEODRIVER", std::nullopt}},
                scratch_, scratch_ / "demo.log");
  expectExitZero(milliseconds(30000));
  // At once: well before the 3 s of start-up pauses a run with a display would take.
  EXPECT_LT(Clock::now() - started, milliseconds(2900));
  const std::string log = readFile(scratch_ / "demo.log");
  // Exactly these two lines of ours (libraries may add their own complaints).
  EXPECT_NE(log.find("tarvola: ERROR! Cant open data/loading.tga\n"), std::string::npos) << log;
  EXPECT_NE(log.find("tarvola: cannot open a display"), std::string::npos) << log;
  size_t lines = 0;
  for (size_t at = log.find("tarvola:"); at != std::string::npos; at = log.find("tarvola:", at + 1)) ++lines;
  EXPECT_EQ(lines, 2u) << log;
}

// The whole programme, watched: a screenshot in each scene's slot shows a live picture between
// exactly black letterbox bars, and the demo ends by itself after the fade.
TEST_F(DemoProgram, PlaysTheWholeProgrammeBetweenTheBarsAndEndsByItself) {
  startDemoOnX();
  // Pixels lit in the bars, and distinct colours sampled between them; kept as scene-<name>.png.
  auto look = [&](const std::string& name) {
    const std::vector<uint32_t> screen = capture(display_, "root", 1280, 960, scratch_);
    fs::copy_file(scratch_ / "capture.png", scratch_ / ("scene-" + name + ".png"),
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
    return std::pair<size_t, size_t>(screen.size() == 1280u * 960u ? litInBars : size_t(-1), distinct);
  };
  // Demo time starts after the start-up's pauses and the scene inits, which a busy machine
  // stretches: the first live picture between black bars (Scene 1) marks it, seen within 60 s.
  std::pair<size_t, size_t> seen;
  for (const auto lookUntil = Clock::now() + milliseconds(60000); Clock::now() < lookUntil;)
    if (seen = look("1-start"); seen.first == 0 && seen.second > 50) break;
  ASSERT_TRUE(seen.first == 0 && seen.second > 50) << "no live picture between the bars";
  const auto demoStart = Clock::now();
  const double middles[] = {26, 62, 87, 109, 145};  // seconds of demo time, one per later scene
  for (double middle : middles) {
    std::this_thread::sleep_until(demoStart +
                                  std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(middle)));
    seen = look("at-" + std::to_string(int(middle)) + "s");
    EXPECT_EQ(seen.first, 0u) << "letterbox bars at " << middle << " s";
    EXPECT_GT(seen.second, 50u) << "a live picture at " << middle << " s";
  }
  expectExitZero(milliseconds(60000));  // 166 s, the fade-out, and slack for a loaded machine
}

TEST_F(DemoProgram, EscapeInTheMiddleOfASceneEndsAtOnce) {
  startDemoOnX();
  std::this_thread::sleep_for(milliseconds(3500 + 12000));  // Scene 2 (8.5-44.5 s), demo time about 12 s
  ASSERT_EQ(run({"xdotool", "key", "Escape"}, env_), 0);
  // At once: after the fade-out of about 500 ms, not at the programme's end more than 30 s on.
  expectExitZero(milliseconds(20000));
}

}  // namespace
}  // namespace tarvola
