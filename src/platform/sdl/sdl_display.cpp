// The SDL2 display: window, renderer with a 320x240 logical size, streaming texture,
// and the event handling that stands in for a window procedure; see sdl_display.h.
#include <SDL.h>

#include <strings.h>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "platform/sdl/sdl_display.h"

namespace tarvola {

namespace {

constexpr Uint64 kPauseRepaintMs = 100;

void reportNoDisplay(const char* why) {
  std::fprintf(stderr, "tarvola: cannot open a display: %s\n", why);
  std::fflush(stderr);
}

// SDL's invisible drivers show nothing; they count as a display only when asked for.
bool isInvisibleDriverNotAskedFor(const char* driver) {
  if (driver == nullptr) return true;
  if (std::strcmp(driver, "offscreen") != 0 && std::strcmp(driver, "dummy") != 0) return false;
  const char* asked = std::getenv("SDL_VIDEODRIVER");
  return asked == nullptr || strcasecmp(asked, driver) != 0;
}

void postQuit() {
  SDL_Event quit{};
  quit.type = SDL_QUIT;
  SDL_PushEvent(&quit);
}

}  // namespace

bool Display::open(const char* title, int32_t width, int32_t height, bool windowed) {
  width_ = width;
  height_ = height;
  windowed_ = windowed;

  SDL_SetHint(SDL_HINT_RENDER_SCALE_QUALITY, "nearest");
  SDL_SetHint(SDL_HINT_RENDER_VSYNC, "0");
  // A full-screen demo keeps playing (and showing) when another window takes the focus.
  SDL_SetHint(SDL_HINT_VIDEO_MINIMIZE_ON_FOCUS_LOSS, "0");
  if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) {
    reportNoDisplay(SDL_GetError());
    return false;
  }
  const char* driver = SDL_GetCurrentVideoDriver();
  if (isInvisibleDriverNotAskedFor(driver)) {
    char why[160];
    std::snprintf(why, sizeof why, "SDL found only its invisible \"%s\" video driver", driver ? driver : "(none)");
    reportNoDisplay(why);
    SDL_QuitSubSystem(SDL_INIT_VIDEO);
    return false;
  }

  if (windowed) {
    window_ = SDL_CreateWindow(title, SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED, width, height, SDL_WINDOW_SHOWN);
  } else {
    // Created at the desktop's size already, so the window covers the screen even where no
    // window manager applies the full-screen state (or applies it late).
    SDL_DisplayMode desktop{};
    int w = width, h = height;
    if (SDL_GetDesktopDisplayMode(0, &desktop) == 0) w = desktop.w, h = desktop.h;
    window_ =
        SDL_CreateWindow(title, 0, 0, w, h, SDL_WINDOW_SHOWN | SDL_WINDOW_FULLSCREEN_DESKTOP | SDL_WINDOW_BORDERLESS);
  }
  if (window_ != nullptr) {
    renderer_ = SDL_CreateRenderer(window_, -1, 0);  // no SDL_RENDERER_PRESENTVSYNC
    if (renderer_ == nullptr) renderer_ = SDL_CreateRenderer(window_, -1, SDL_RENDERER_SOFTWARE);
  }
  if (renderer_ != nullptr && SDL_RenderSetLogicalSize(renderer_, width, height) == 0) {
    // XRGB8888: the word's top byte is ignored, the other three are shown as they are.
    texture_ = SDL_CreateTexture(renderer_, SDL_PIXELFORMAT_RGB888, SDL_TEXTUREACCESS_STREAMING, width, height);
  }
  if (texture_ == nullptr) {
    reportNoDisplay(SDL_GetError());
    close();
    return false;
  }
  SDL_SetTextureScaleMode(texture_, SDL_ScaleModeNearest);
  SDL_SetTextureBlendMode(texture_, SDL_BLENDMODE_NONE);
  SDL_SetRenderDrawColor(renderer_, 0, 0, 0, 255);
  if (!windowed) SDL_ShowCursor(SDL_DISABLE);
  // Let the window manager map the window at its final size before the first picture.
  SDL_PumpEvents();
  return true;
}

int32_t Display::present(const uint32_t* pixels) {
  if (texture_ == nullptr) return -1;
  shownPixels_ = pixels;
  void* locked = nullptr;
  int pitch = 0;
  if (SDL_LockTexture(texture_, nullptr, &locked, &pitch) != 0) return -1;
  // The texture's rows may be wider than the picture: step the destination by its pitch.
  const size_t rowBytes = size_t(width_) * sizeof(uint32_t);
  for (int32_t y = 0; y < height_; ++y) {
    std::memcpy(static_cast<uint8_t*>(locked) + size_t(y) * size_t(pitch), pixels + size_t(y) * size_t(width_),
                rowBytes);
  }
  SDL_UnlockTexture(texture_);
  if (SDL_RenderClear(renderer_) != 0) return -1;  // the bars around the scaled picture
  if (SDL_RenderCopy(renderer_, texture_, nullptr, nullptr) != 0) return -1;
  SDL_RenderPresent(renderer_);
  return 0;
}

void Display::close() {
  if (texture_ != nullptr) SDL_DestroyTexture(texture_);
  if (renderer_ != nullptr) SDL_DestroyRenderer(renderer_);
  if (window_ != nullptr) SDL_DestroyWindow(window_);
  texture_ = nullptr;
  renderer_ = nullptr;
  window_ = nullptr;
  shownPixels_ = nullptr;
  if (SDL_WasInit(SDL_INIT_VIDEO) != 0) SDL_QuitSubSystem(SDL_INIT_VIDEO);
}

PlatformMessage Display::pollMessage() {
  SDL_Event event;
  if (SDL_PollEvent(&event) == 0) return PlatformMessage::kNone;
  switch (event.type) {
    case SDL_QUIT:
      return PlatformMessage::kQuit;
    case SDL_KEYDOWN:
      if (event.key.keysym.sym == SDLK_ESCAPE) postQuit();
      break;
    case SDL_WINDOWEVENT:
      handleWindowEvent(event.window.event);
      break;
    default:
      break;
  }
  return PlatformMessage::kHandled;
}

void Display::handleWindowEvent(uint8_t event) {
  switch (event) {
    case SDL_WINDOWEVENT_CLOSE:
      postQuit();
      break;
    case SDL_WINDOWEVENT_EXPOSED:
    case SDL_WINDOWEVENT_SIZE_CHANGED:
      if (shownPixels_ != nullptr) present(shownPixels_);
      break;
    default:
      break;
  }
}

void Display::pause(uint32_t milliseconds) {
  const Uint64 end = SDL_GetTicks64() + milliseconds;
  Uint64 lastDraw = SDL_GetTicks64();
  for (;;) {
    if (window_ != nullptr) {
      // Only window events are taken here; keys wait in the queue for the frame loop.
      SDL_PumpEvents();
      SDL_Event events[16];
      int count;
      while ((count = SDL_PeepEvents(events, 16, SDL_GETEVENT, SDL_WINDOWEVENT, SDL_WINDOWEVENT)) > 0) {
        for (int i = 0; i < count; ++i) handleWindowEvent(events[i].window.event);
      }
    }
    Uint64 now = SDL_GetTicks64();
    // Also repaint now and then: a window manager may map or resize a full-screen window
    // without an expose reaching the program, which would leave it black for the pause.
    if (shownPixels_ != nullptr && now - lastDraw >= kPauseRepaintMs) {
      present(shownPixels_);
      lastDraw = now = SDL_GetTicks64();
    }
    if (now >= end) return;
    SDL_Delay(Uint32(end - now < 5 ? end - now : 5));
  }
}

}  // namespace tarvola
