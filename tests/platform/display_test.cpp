// The SDL display on a private Xvfb without a window manager: a windowed client area of
// exactly 320 x 240 showing the framebuffer 1:1 with its top byte ignored; full screen on a
// screen of another shape keeps the aspect with nearest-neighbour pixels and black bars;
// Escape and a close request post a quit request, other keys nothing.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "child_process.h"
#include "runtime/display.h"
// Last: the X11 headers behind SDL_syswm.h define macros such as None.
#include <SDL.h>
#include <SDL_syswm.h>

namespace tarvola {
namespace {

namespace fs = std::filesystem;
using namespace test;

// Distinct formulas per channel (a red/blue swap or a flip shows) and a top byte that must
// not reach the screen.
uint32_t picturePixel(int x, int y) {
  return uint32_t(0x5A + x) << 24 | uint32_t(x * 3 + y) % 256 << 16 | uint32_t(y) << 8 | uint32_t(x * 5 + 2 * y + 1) % 256;
}

std::vector<uint32_t> testPicture() {
  std::vector<uint32_t> picture(320 * 240);
  for (int y = 0; y < 240; ++y)
    for (int x = 0; x < 320; ++x) picture[size_t(y) * 320 + size_t(x)] = picturePixel(x, y);
  return picture;
}

class DisplayOnXvfb : public ::testing::Test {
 protected:
  void start(int width, int height) {
    scratch_ = fs::path(TARVOLA_BINARY_DIR) / "test_scratch" /
               ::testing::UnitTest::GetInstance()->current_test_info()->name();
    fs::remove_all(scratch_);
    fs::create_directories(scratch_);
    const std::optional<std::string> display = startXvfb(width, height, scratch_ / "xvfb.log", &xvfb_);
    ASSERT_TRUE(display) << readFile(scratch_ / "xvfb.log");
    display_ = *display;
    setenv("DISPLAY", display_.c_str(), 1);
    unsetenv("WAYLAND_DISPLAY");
    unsetenv("SDL_VIDEODRIVER");
  }
  void TearDown() override {
    display.close();
    stop(xvfb_);
  }

  // The screen (or one window) as 0x00RRGGBB pixels, through ImageMagick's import.
  std::vector<uint32_t> capture(const std::string& window, int width, int height) {
    const fs::path raw = scratch_ / "capture.rgb";
    const EnvChanges env = {{"DISPLAY", display_}};
    EXPECT_EQ(run({"import", "-window", window, "-depth", "8", "rgb:" + raw.string()}, env), 0);
    run({"convert", "-size", std::to_string(width) + "x" + std::to_string(height), "-depth", "8", "rgb:" + raw.string(),
         (scratch_ / "capture.png").string()},
        {});
    const std::string bytes = readFile(raw);
    std::vector<uint32_t> pixels;
    if (bytes.size() != size_t(width) * size_t(height) * 3) return pixels;
    for (size_t i = 0; i < bytes.size(); i += 3) {
      pixels.push_back(uint32_t(uint8_t(bytes[i])) << 16 | uint32_t(uint8_t(bytes[i + 1])) << 8 | uint8_t(bytes[i + 2]));
    }
    return pixels;
  }

  // Polls a good many times (a poll may come back empty while events are still pending);
  // how many quit requests came out.
  int drainQuits() {
    int quits = 0;
    for (int i = 0; i < 200; ++i) quits += display.pollMessage() == PlatformMessage::kQuit;
    return quits;
  }

  Display display;
  fs::path scratch_;
  std::string display_;
  pid_t xvfb_ = -1;
};

TEST_F(DisplayOnXvfb, WindowedClientAreaShowsTheFramebufferOneToOne) {
  start(640, 480);
  ASSERT_TRUE(display.open("tarvola", 320, 240, true));
  SDL_Window* window = display.window();
  int width = 0, height = 0;
  SDL_GetWindowSize(window, &width, &height);
  EXPECT_EQ(width, 320);
  EXPECT_EQ(height, 240);
  EXPECT_STREQ(SDL_GetWindowTitle(window), "tarvola");
  drainQuits();

  const std::vector<uint32_t> picture = testPicture();
  EXPECT_EQ(display.present(picture.data()), 0);
  SDL_SysWMinfo info;
  SDL_VERSION(&info.version);
  ASSERT_TRUE(SDL_GetWindowWMInfo(window, &info));
  ASSERT_EQ(info.subsystem, SDL_SYSWM_X11);
  const std::vector<uint32_t> shown = capture(std::to_string(info.info.x11.window), 320, 240);
  ASSERT_EQ(shown.size(), picture.size());
  int mismatches = 0;
  for (size_t i = 0; i < picture.size(); ++i) {
    if (shown[i] != (picture[i] & 0xFFFFFFu) && mismatches++ < 5) {
      ADD_FAILURE() << "pixel " << i % 320 << ", " << i / 320 << ": " << std::hex << shown[i];
    }
  }
  EXPECT_EQ(mismatches, 0);
}

TEST_F(DisplayOnXvfb, FullScreenKeepsAspectWithNearestPixelsAndNoCursor) {
  start(1000, 600);  // 2.5 x 240 high; 800 of 1000 columns wide, bars of 100 each side
  ASSERT_TRUE(display.open("tarvola", 320, 240, false));
  EXPECT_EQ(SDL_ShowCursor(SDL_QUERY), SDL_DISABLE);
  // As the demo does: present once right after open, then pause. The window system may still
  // be setting the window up; the pause keeps the picture painted.
  const std::vector<uint32_t> picture = testPicture();
  EXPECT_EQ(display.present(picture.data()), 0);
  display.pause(300);
  const std::vector<uint32_t> shown = capture("root", 1000, 600);
  ASSERT_EQ(shown.size(), 1000u * 600u);
  int bad = 0;
  for (int y = 0; y < 600; ++y) {
    for (int x = 0; x < 1000; ++x) {
      const uint32_t seen = shown[size_t(y) * 1000 + size_t(x)];
      bool ok;
      if (x < 100 || x >= 900) {
        ok = seen == 0;  // bars
      } else {
        // Nearest neighbour: exactly the colour of a picture pixel next to the one under the
        // screen pixel's centre (renderers differ by one in where they round), never a mix.
        const int sx = int((x - 100 + 0.5) / 2.5), sy = int((y + 0.5) / 2.5);
        ok = false;
        for (int dy = -1; dy <= 1 && !ok; ++dy)
          for (int dx = -1; dx <= 1 && !ok; ++dx) {
            const int px = sx + dx, py = sy + dy;
            ok = px >= 0 && px < 320 && py >= 0 && py < 240 && (picturePixel(px, py) & 0xFFFFFFu) == seen;
          }
      }
      if (!ok && bad++ < 5) ADD_FAILURE() << "screen " << x << ", " << y << ": " << std::hex << seen;
    }
  }
  EXPECT_EQ(bad, 0);
}

TEST_F(DisplayOnXvfb, EscapeAndCloseRequestPostAQuitOtherKeysDoNot) {
  start(640, 480);
  ASSERT_TRUE(display.open("tarvola", 320, 240, true));
  drainQuits();

  auto pushKey = [](SDL_Keycode key) {
    SDL_Event event{};
    event.type = SDL_KEYDOWN;
    event.key.state = SDL_PRESSED;
    event.key.keysym.sym = key;
    SDL_PushEvent(&event);
  };
  pushKey(SDLK_a);
  pushKey(SDLK_RETURN);
  EXPECT_EQ(drainQuits(), 0);

  // The Escape is handled by one poll; its quit request comes out of a later one.
  pushKey(SDLK_ESCAPE);
  EXPECT_EQ(display.pollMessage(), PlatformMessage::kHandled);
  EXPECT_EQ(drainQuits(), 1);

  pushKey(SDLK_ESCAPE);
  pushKey(SDLK_ESCAPE);
  EXPECT_EQ(drainQuits(), 2);  // every Escape asks again

  SDL_Event close{};
  close.type = SDL_WINDOWEVENT;
  close.window.event = SDL_WINDOWEVENT_CLOSE;
  close.window.windowID = SDL_GetWindowID(display.window());
  SDL_PushEvent(&close);
  EXPECT_GE(drainQuits(), 1);
}

TEST(Display, PresentBeforeOpenFails) {
  Display display;
  const std::vector<uint32_t> picture(320 * 240);
  EXPECT_LT(display.present(picture.data()), 0);
  EXPECT_EQ(display.pollMessage(), PlatformMessage::kNone);
}

}  // namespace
}  // namespace tarvola
