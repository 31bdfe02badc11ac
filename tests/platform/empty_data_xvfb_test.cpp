// The real program under Xvfb with an empty data/: every file it cannot open stops the
// start-up with its own message box, which stays until someone answers it; a script answers
// each one (Return on the focused box), in the order the program loads its files, and the run
// then goes on to Escape and exit code 0. Without a display (the offline and CI runs) the same
// messages are lines on stderr and nothing waits.
#include <gtest/gtest.h>

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

// The files in the order the start-up opens them: the loading picture, the letterbox, then
// the scene inits (Scenes 3, 5, 2, 6, 1, 4). The music's absence is silent.
const char* const kLoadOrder[] = {
    "loading.tga",       "wscr.tga",     "s02_tex7.tga", "s02_lightmap2.tga", "box.3ds",     "plat32.tga",
    "s02_lightmap6.tga", "plat_b2.tga",  "tex0132.tga",  "tomsaenv2.tga",     "tex01b2.tga", "plasma1.tga",
    "plasma2.tga",       "s02_tex6.tga", "vok.tga",      "fade.tga",          "cred.tga"};
constexpr size_t kMessages = sizeof kLoadOrder / sizeof kLoadOrder[0];

size_t countOf(const std::string& text, const std::string& what) {
  size_t n = 0;
  for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
  return n;
}

class EmptyData : public ::testing::Test {
 protected:
  void SetUp() override { fs::create_directories(scratch_ / "data"); }
  void TearDown() override {
    stop(demo_);
    stop(windowManager_);
    stop(xvfb_);
  }
  EnvChanges xEnv() const {
    return {{"DISPLAY", display_},
            {"WAYLAND_DISPLAY", std::nullopt},
            {"SDL_VIDEODRIVER", std::nullopt},
            {"SDL_AUDIODRIVER", "dummy"}};
  }
  bool boxShown() {
    const fs::path list = scratch_ / "windows.txt";
    run({"wmctrl", "-l"}, xEnv(), list);
    return readFile(list).find(" ERROR!\n") != std::string::npos;
  }
  size_t messagesLogged() { return countOf(readFile(scratch_ / "demo.log"), "tarvola: "); }
  // Waits until the box of message `count` is up: that many lines logged and a box shown.
  // (Boxes follow one another at once and may even get the same window id: the log tells
  // them apart.)
  bool waitBoxOf(size_t count, milliseconds timeout) {
    const auto deadline = Clock::now() + timeout;
    while (Clock::now() < deadline) {
      if (messagesLogged() == count && boxShown()) return true;
      std::this_thread::sleep_for(milliseconds(50));
    }
    return false;
  }
  // Waits until the box of message `count` has gone: no box, or the next message logged.
  bool waitAnswered(size_t count, milliseconds timeout) {
    const auto deadline = Clock::now() + timeout;
    while (Clock::now() < deadline) {
      if (messagesLogged() > count || !boxShown()) return true;
      std::this_thread::sleep_for(milliseconds(50));
    }
    return false;
  }

  testing::ScratchDir scratchDir_{fs::path(TARVOLA_BINARY_DIR) / "test_scratch"};
  const fs::path& scratch_ = scratchDir_.path();
  std::string display_;
  pid_t xvfb_ = -1, windowManager_ = -1, demo_ = -1;
};

TEST_F(EmptyData, EachMissingFileShowsItsBoxOnceAndWaitsForItsAnswer) {
  for (const Needs* needs : {&kXProgramsNeeded, &kDesktopProgramsNeeded})
    ASSERT_EQ(missingProgram(*needs), "") << "this test needs every program it names";
  const std::optional<std::string> display = startXvfb(1280, 960, scratch_ / "xvfb.log", &xvfb_);
  ASSERT_TRUE(display) << "Xvfb did not start: " << readFile(scratch_ / "xvfb.log");
  display_ = *display;
  ASSERT_TRUE(hasMessageBoxFonts(display_)) << kNoFonts;
  windowManager_ = startWindowManager(display_, scratch_ / "wm.log");
  ASSERT_NE(windowManager_, -1) << "no window manager came up: " << readFile(scratch_ / "wm.log");

  const fs::path log = scratch_ / "demo.log";
  demo_ = spawn({TARVOLA_DEMO}, xEnv(), scratch_, log);
  for (size_t i = 0; i < kMessages; ++i) {
    const std::string line = std::string("tarvola: ERROR! Cant open data/") + kLoadOrder[i] + "\n";
    ASSERT_TRUE(waitBoxOf(i + 1, milliseconds(30000))) << "no box for " << kLoadOrder[i] << ": " << readFile(log);
    // The box blocks: while it is up, its message is the last one and the next file is not read.
    std::this_thread::sleep_for(milliseconds(i == 0 ? 500 : 100));
    const std::string seen = readFile(log);
    EXPECT_EQ(countOf(seen, "tarvola: "), i + 1) << seen;
    EXPECT_EQ(countOf(seen, line), 1u) << seen;
    EXPECT_TRUE(boxShown());
    // Answer it as a person would: bring it to the front, press Return on its OK button.
    run({"wmctrl", "-a", "ERROR!"}, xEnv());
    ASSERT_EQ(run({"xdotool", "key", "Return"}, xEnv()), 0);
    ASSERT_TRUE(waitAnswered(i + 1, milliseconds(30000))) << "the box for " << kLoadOrder[i] << " stayed";
  }
  // No further box: the start-up ends with its last pause and the frame loop runs.
  std::this_thread::sleep_for(milliseconds(1500));
  EXPECT_FALSE(boxShown());
  EXPECT_FALSE(waitExit(demo_, milliseconds(0))) << readFile(log);
  ASSERT_EQ(run({"xdotool", "key", "Escape"}, xEnv()), 0);
  const std::optional<int> status = waitExit(demo_, milliseconds(30000));
  if (status) demo_ = -1;
  EXPECT_EQ(status, std::optional<int>(0)) << readFile(log);
  EXPECT_EQ(countOf(readFile(log), "tarvola: "), kMessages) << readFile(log);
}

TEST_F(EmptyData, WithoutADisplayEveryMessageIsALineAndNothingWaits) {
  // SDL's invisible video driver: the program runs its whole start-up, no box can be shown.
  const fs::path log = scratch_ / "demo.log";
  demo_ = spawn({TARVOLA_DEMO},
                {{"DISPLAY", std::nullopt},
                 {"WAYLAND_DISPLAY", std::nullopt},
                 {"SDL_VIDEODRIVER", "dummy"},
                 {"SDL_AUDIODRIVER", "dummy"}},
                scratch_, log);
  // The two start-up pauses (3 s) and nothing else: all lines are there soon after (a busy
  // machine may take much longer, hence the ceiling).
  const auto deadline = Clock::now() + milliseconds(30000);
  while (countOf(readFile(log), "tarvola: ") < kMessages && Clock::now() < deadline)
    std::this_thread::sleep_for(milliseconds(50));
  const std::string seen = readFile(log);
  size_t at = 0;
  for (const char* name : kLoadOrder) {
    const std::string line = std::string("tarvola: ERROR! Cant open data/") + name + "\n";
    EXPECT_EQ(countOf(seen, line), 1u) << seen;
    const size_t found = seen.find(line);
    EXPECT_TRUE(found != std::string::npos && found >= at) << name << " out of order: " << seen;
    if (found != std::string::npos) at = found;
  }
  EXPECT_EQ(countOf(seen, "tarvola: "), kMessages) << seen;
  kill(demo_, SIGINT);
  const std::optional<int> status = waitExit(demo_, milliseconds(60000));
  if (status) demo_ = -1;
  EXPECT_EQ(status, std::optional<int>(0)) << readFile(log);
}

}  // namespace
}  // namespace tarvola
