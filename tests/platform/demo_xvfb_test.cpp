// The real program under Xvfb, started by the test: the loading picture fills the screen
// scaled by whole pixels with no blending; Escape and a close request end it with exit 0;
// with no display at all it says why on stderr and exits 0 at once.
#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <fstream>
#include <filesystem>
#include <optional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "../test_tga.h"
#include "child_process.h"

namespace tarvola {
namespace {

namespace fs = std::filesystem;
using namespace test;

constexpr int kScreenWidth = 1280;  // 4 x 320 by 4 x 240: the picture fills it exactly
constexpr int kScreenHeight = 960;

// The test's loading picture: three channels from three different formulas of x and y, so a
// red/blue swap, a flip or an off-by-one shows; an asymmetric yellow marker top left.
uint32_t loadingPixel(int x, int y) {
  uint32_t red = uint32_t(x * 3 + y) & 255, green = uint32_t(y), blue = uint32_t(x * 5 + 2 * y + 1) & 255;
  if (x < 40 && y < 20) red = 255, green = 255, blue = 0;
  return 0xFF000000u | red << 16 | green << 8 | blue;
}

// Every picture the scene inits load.
const char* const kScenePictures[] = {
    "vok.tga",       "fade.tga",          "cred.tga",     "s02_tex6.tga",    "tex0132.tga",   "tomsaenv2.tga",
    "tex01b2.tga",   "plasma1.tga",       "plasma2.tga",  "plat32.tga",      "s02_lightmap6.tga",
    "plat_b2.tga",   "s02_tex7.tga",      "s02_lightmap2.tga"};

// A one-triangle 3DS file (main > editor > object "box" > triangle mesh > vertices, faces),
// for a data set that lacks the box mesh: its loader would stop the start-up with a box.
bool writeStandInMesh(const fs::path& path) {
  std::string bytes;
  auto u16 = [&](uint32_t v) { bytes += char(v & 255), bytes += char(v >> 8 & 255); };
  auto u32 = [&](uint32_t v) { u16(v & 0xFFFF), u16(v >> 16); };
  auto f32 = [&](float f) { uint32_t v; std::memcpy(&v, &f, 4); u32(v); };
  const uint32_t vertices = 6 + 2 + 3 * 12, faces = 6 + 2 + 8, mesh = 6 + vertices + faces;
  const uint32_t object = 6 + 4 + mesh, editor = 6 + object, main = 6 + editor + 6;
  u16(0x4D4D), u32(main), u16(0x3D3D), u32(editor), u16(0x4000), u32(object);
  bytes += std::string("box", 4);
  u16(0x4100), u32(mesh), u16(0x4110), u32(vertices), u16(3);
  for (float c : {0.f, 0.f, 0.f, 10.f, 0.f, 0.f, 0.f, 10.f, 0.f}) f32(c);
  u16(0x4120), u32(faces), u16(1), u16(0), u16(1), u16(2), u16(0);
  u16(0), u32(6);  // the empty chunk the main chunk ends with
  std::ofstream out(path, std::ios::binary);
  out << bytes;
  return bool(out);
}

class DemoProgram : public ::testing::Test {
 protected:
  void SetUp() override {
    scratch_ = fs::path(TARVOLA_BINARY_DIR) / "test_scratch" /
               ::testing::UnitTest::GetInstance()->current_test_info()->name();
    fs::remove_all(scratch_);
    fs::create_directories(scratch_ / "data");
    // The generated data set where it exists (the scenes load their pictures from it),
    // with the test's own loading picture in place of the generated one.
    const fs::path generated = fs::path(TARVOLA_BINARY_DIR) / "data";
    if (fs::is_directory(generated)) {
      for (const fs::directory_entry& entry : fs::directory_iterator(generated)) {
        if (entry.path().filename() != "loading.tga") {
          fs::create_symlink(entry.path(), scratch_ / "data" / entry.path().filename());
        }
      }
    }
    std::vector<uint32_t> picture(320 * 240);
    for (int y = 0; y < 240; ++y)
      for (int x = 0; x < 320; ++x) picture[size_t(y) * 320 + size_t(x)] = loadingPixel(x, y);
    ASSERT_TRUE(test::writeTga((scratch_ / "data/loading.tga").string(), 320, 240, picture));
    if (!fs::exists(scratch_ / "data/wscr.tga")) {
      ASSERT_TRUE(test::writeTga((scratch_ / "data/wscr.tga").string(), 320, 240, std::vector<uint32_t>(320 * 240, ~0u)));
    }
    // A picture or mesh the data set lacks would stop the start-up with a message box: a
    // 1 x 1 stand-in loads silently and the scene draws black in its place.
    for (const char* name : kScenePictures) {
      if (!fs::exists(scratch_ / "data" / name)) {
        ASSERT_TRUE(test::writeTga((scratch_ / "data" / name).string(), 1, 1, {0xFF000000u}));
      }
    }
    if (!fs::exists(scratch_ / "data/box.3ds")) {
      ASSERT_TRUE(writeStandInMesh(scratch_ / "data/box.3ds"));
    }
  }

  void TearDown() override {
    stop(demo_);
    stop(windowManager_);
    stop(xvfb_);
  }

  // Xvfb on a free display number, then a window manager.
  void startX() {
    const std::optional<std::string> display = startXvfb(kScreenWidth, kScreenHeight, scratch_ / "xvfb.log", &xvfb_);
    ASSERT_TRUE(display) << "Xvfb did not start: " << readFile(scratch_ / "xvfb.log");
    display_ = *display;
    windowManager_ = spawn({"matchbox-window-manager", "-use_titlebar", "no"}, xEnv(), {}, scratch_ / "wm.log");
    ASSERT_TRUE(waitFor({"xprop", "-root", "_NET_SUPPORTING_WM_CHECK"}, milliseconds(5000)))
        << "no window manager: " << readFile(scratch_ / "wm.log");
  }

  EnvChanges xEnv() const { return {{"DISPLAY", display_}, {"WAYLAND_DISPLAY", std::nullopt}, {"SDL_VIDEODRIVER", std::nullopt}}; }

  // Repeats a command until it succeeds.
  bool waitFor(const std::vector<std::string>& argv, milliseconds timeout) {
    const auto deadline = Clock::now() + timeout;
    while (Clock::now() < deadline) {
      if (run(argv, xEnv()) == 0) return true;
      std::this_thread::sleep_for(milliseconds(50));
    }
    return false;
  }

  void startDemo(const EnvChanges& env) {
    demo_ = spawn({TARVOLA_DEMO}, env, scratch_, scratch_ / "demo.log");
  }
  // Starts the demo under X and waits for its window to appear.
  void startDemoWindow() {
    startDemo(xEnv());
    ASSERT_TRUE(waitFor({"xdotool", "search", "--name", "^tarvola$"}, milliseconds(5000)))
        << "no window on " << display_ << ": " << readFile(scratch_ / "demo.log");
  }
  std::optional<int> demoExit(milliseconds timeout) {
    const std::optional<int> status = waitExit(demo_, timeout);
    if (status) demo_ = -1;
    return status;
  }

  fs::path scratch_;
  std::string display_;
  pid_t xvfb_ = -1;
  pid_t windowManager_ = -1;
  pid_t demo_ = -1;
};

TEST_F(DemoProgram, LoadingPictureFillsTheScreenByWholePixelsThenEscapeEnds) {
  startX();
  startDemoWindow();
  // The picture is presented right after the window opens and stays for 2000 ms: look until
  // it is all there (a slow start may still be setting up), at most 1600 ms.
  const auto lookUntil = Clock::now() + milliseconds(1600);
  const fs::path raw = scratch_ / "screen.rgb";
  int mismatches = -1;
  std::string firstMismatch;
  while (mismatches != 0 && Clock::now() < lookUntil) {
    std::this_thread::sleep_for(milliseconds(100));
    ASSERT_EQ(run({"import", "-window", "root", "-depth", "8", "rgb:" + raw.string()}, xEnv()), 0);
    const std::string screen = readFile(raw);
    ASSERT_EQ(screen.size(), size_t(kScreenWidth) * kScreenHeight * 3);
    // Every screen pixel is the picture's pixel under it at a scale of exactly 4: no blend.
    mismatches = 0;
    for (int y = 0; y < kScreenHeight; ++y) {
      for (int x = 0; x < kScreenWidth; ++x) {
        const uint32_t expected = loadingPixel(x / 4, y / 4);
        const size_t at = (size_t(y) * kScreenWidth + size_t(x)) * 3;
        const uint32_t seen = 0xFF000000u | uint32_t(uint8_t(screen[at])) << 16 |
                              uint32_t(uint8_t(screen[at + 1])) << 8 | uint32_t(uint8_t(screen[at + 2]));
        if (seen != expected && mismatches++ == 0) {
          std::ostringstream where;
          where << "screen (" << x << ", " << y << ") is " << std::hex << seen << ", picture " << expected;
          firstMismatch = where.str();
        }
      }
    }
  }
  run({"convert", "-size", "1280x960", "-depth", "8", "rgb:" + raw.string(), (scratch_ / "screen.png").string()}, {});
  EXPECT_EQ(mismatches, 0) << firstMismatch << "; see " << (scratch_ / "screen.png");

  ASSERT_EQ(run({"xdotool", "key", "Escape"}, xEnv()), 0);
  // The key is handled once the start-up's pauses are over (3 s in all).
  EXPECT_EQ(demoExit(milliseconds(15000)), std::optional<int>(0)) << readFile(scratch_ / "demo.log");
}

TEST_F(DemoProgram, CloseRequestEnds) {
  startX();
  startDemoWindow();
  // SDL may replace its first window when it sets up the renderer: close the one that shows
  // the loading picture (still within the 2000 ms pause).
  std::this_thread::sleep_for(milliseconds(1000));
  // Through the window manager: WM_DELETE_WINDOW, as a click on a close button sends.
  ASSERT_EQ(run({"wmctrl", "-c", "tarvola"}, xEnv()), 0);
  EXPECT_EQ(demoExit(milliseconds(15000)), std::optional<int>(0)) << readFile(scratch_ / "demo.log");
}

TEST_F(DemoProgram, MissingPictureShowsABlockingMessageBox) {
  fs::remove(scratch_ / "data/wscr.tga");
  startX();
  startDemoWindow();
  // The loader stops the start-up with a box captioned "ERROR!" until OK is pressed.
  // (wmctrl lists it by its caption; xdotool's name search does not see it.)
  const fs::path list = scratch_ / "windows.txt";
  const auto deadline = Clock::now() + milliseconds(8000);
  bool shown = false;
  while (!shown && Clock::now() < deadline) {
    run({"wmctrl", "-l"}, xEnv(), list);
    shown = readFile(list).find(" ERROR!\n") != std::string::npos;
    if (!shown) std::this_thread::sleep_for(milliseconds(50));
  }
  ASSERT_TRUE(shown) << "no message box: " << readFile(list) << readFile(scratch_ / "demo.log");
  std::this_thread::sleep_for(milliseconds(1500));
  EXPECT_FALSE(demoExit(milliseconds(0))) << "the box did not wait";
  // The box has the focus: Return presses its OK button.
  ASSERT_EQ(run({"xdotool", "key", "Return"}, xEnv()), 0);
  ASSERT_TRUE(waitFor({"sh", "-c", "! wmctrl -l | grep -q ' ERROR!$'"}, milliseconds(3000))) << "the box stayed";
  // The start-up goes on: its last second of pause, then the loop takes the Escape.
  std::this_thread::sleep_for(milliseconds(500));
  ASSERT_EQ(run({"xdotool", "key", "Escape"}, xEnv()), 0);
  EXPECT_EQ(demoExit(milliseconds(15000)), std::optional<int>(0)) << readFile(scratch_ / "demo.log");
}

TEST_F(DemoProgram, WithoutAnyDisplayMessagesGoToStderr) {
  fs::remove(scratch_ / "data/loading.tga");
  startDemo({{"DISPLAY", std::nullopt}, {"WAYLAND_DISPLAY", std::nullopt}, {"SDL_VIDEODRIVER", std::nullopt}});
  EXPECT_EQ(demoExit(milliseconds(5000)), std::optional<int>(0));
  const std::string log = readFile(scratch_ / "demo.log");
  EXPECT_NE(log.find("tarvola: ERROR! Cant open data/loading.tga\n"), std::string::npos) << log;
  EXPECT_NE(log.find("tarvola: cannot open a display"), std::string::npos) << log;
}

TEST_F(DemoProgram, WithoutAnyDisplaySaysWhyAndExitsAtOnce) {
  const auto started = Clock::now();
  startDemo({{"DISPLAY", std::nullopt}, {"WAYLAND_DISPLAY", std::nullopt}, {"SDL_VIDEODRIVER", std::nullopt}});
  const std::optional<int> status = demoExit(milliseconds(5000));
  const auto elapsed = std::chrono::duration_cast<milliseconds>(Clock::now() - started);
  EXPECT_EQ(status, std::optional<int>(0));
  EXPECT_LT(elapsed.count(), 1000);
  const std::string log = readFile(scratch_ / "demo.log");
  EXPECT_NE(log.find("tarvola: cannot open a display"), std::string::npos) << log;
  // Exactly one line of ours (libraries may add their own complaints).
  size_t lines = 0;
  for (size_t at = log.find("tarvola:"); at != std::string::npos; at = log.find("tarvola:", at + 1)) ++lines;
  EXPECT_EQ(lines, 1u) << log;
}

TEST_F(DemoProgram, InvisibleDriverRunsWhenAskedForAndInterruptEndsIt) {
  startDemo({{"DISPLAY", std::nullopt}, {"WAYLAND_DISPLAY", std::nullopt}, {"SDL_VIDEODRIVER", "dummy"}});
  EXPECT_FALSE(demoExit(milliseconds(500))) << readFile(scratch_ / "demo.log");
  // SDL turns SIGINT into its quit event; the loop takes it once the start-up is over.
  kill(demo_, SIGINT);
  EXPECT_EQ(demoExit(milliseconds(10000)), std::optional<int>(0)) << readFile(scratch_ / "demo.log");
}

}  // namespace
}  // namespace tarvola
