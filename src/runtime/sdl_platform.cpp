// SdlPlatform and the message box; see sdl_platform.h.
#include "runtime/sdl_platform.h"

#include <SDL.h>

#include "runtime/notify.h"

namespace tarvola {

namespace {
SDL_Window* messageBoxParent = nullptr;  // the open display's window, if any
}

bool SdlPlatform::openDisplay(const char* title, int32_t width, int32_t height, bool windowed) {
  if (!display_.open(title, width, height, windowed)) return false;
  messageBoxParent = display_.window();
  return true;
}

int32_t SdlPlatform::present(const Surface& framebuffer) {
  // The display copies width x height pixels; a smaller buffer is never handed to it.
  if (framebuffer.pixels.size() < framebuffer.pixelCount()) return -1;
  return display_.present(framebuffer.pixels.data());
}

void SdlPlatform::closeDisplay() {
  messageBoxParent = nullptr;
  display_.close();
}

void SdlPlatform::pause(uint32_t milliseconds) { display_.pause(milliseconds); }

// The music player plugs in here: load the module and register its sync callback.
void SdlPlatform::loadMusic(const char*) {}
// The music player plugs in here: play.
void SdlPlatform::startMusic() {}
// The music player plugs in here: fadeOutAndStop.
void SdlPlatform::fadeOutMusic() {}

void showMessageBox(const char* text, const char* caption) {
  if (SDL_ShowSimpleMessageBox(SDL_MESSAGEBOX_ERROR, caption, text, messageBoxParent) != 0) {
    writeMessageToStderr(text, caption);
  }
}

}  // namespace tarvola
