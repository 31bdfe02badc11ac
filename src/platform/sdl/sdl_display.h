// Display: shows the framebuffer through SDL2 and turns Escape and close requests into the
// quit request. Full screen is a borderless desktop-size window whose 320x240 picture is
// scaled by nearest neighbour with its aspect kept; windowed is a 320x240 client area.
#pragma once

#include <cstdint>

#include "runtime/platform.h"

struct SDL_Window;
struct SDL_Renderer;
struct SDL_Texture;

namespace tarvola {

class Display {
 public:
  // title is the window's caption. False, after one line on stderr saying why, when no
  // display can be opened, including when SDL only found its invisible "offscreen" or
  // "dummy" driver without SDL_VIDEODRIVER asking for it.
  bool open(const char* title, int32_t width, int32_t height, bool windowed);
  // Copies width x height pixels row by row into a streaming texture and presents without
  // waiting for vertical sync. 0 on success, negative when SDL failed (the frame is lost).
  int32_t present(const uint32_t* pixels);
  void close();
  // Takes at most one pending event without waiting. Escape (key down) and a close request
  // post a quit request, taken by a later poll; a window exposed or resized is redrawn from
  // the last presented buffer; other events do nothing.
  PlatformMessage pollMessage();
  // Waits `milliseconds` without taking input, but keeps the window painted (on expose or
  // resize, and every 100 ms): the window system may map or resize it after open, and the
  // picture shown before a pause must stay visible through it. A close request met here
  // still posts the quit request.
  void pause(uint32_t milliseconds);

  SDL_Window* window() const { return window_; }

 private:
  int32_t width_ = 0;
  int32_t height_ = 0;
  bool windowed_ = false;
  SDL_Window* window_ = nullptr;
  SDL_Renderer* renderer_ = nullptr;
  SDL_Texture* texture_ = nullptr;
  const uint32_t* shownPixels_ = nullptr;  // the buffer given to the last present

  void handleWindowEvent(uint8_t event);
};

}  // namespace tarvola
