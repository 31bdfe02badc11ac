// SdlPlatform and the message box; see sdl_platform.h.
#include "platform/sdl/sdl_platform.h"

#include <SDL.h>

#include "base/notify.h"
#include "music/sync_events.h"
#include "platform/sdl/sdl_audio.h"

namespace tarvola {

namespace {
SDL_Window* messageBoxParent = nullptr;  // the open display's window, if any
}

SdlPlatform::SdlPlatform() : music_(audio_) {}

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

// With sound; a file that does not load leaves the player unloaded and the demo silent.
void SdlPlatform::loadMusic(const char* path, SyncFlags& flags) {
  music_.load(path, false);
  music_.setSyncCallback(&onMusicSync, &flags);
}
void SdlPlatform::startMusic() { music_.play(); }
void SdlPlatform::fadeOutMusic() { music_.fadeOutAndStop(); }

// Every message also goes to stderr first, so that a run someone answers by script (or
// nobody watches) keeps a record of which box was shown when; a box that cannot be shown
// leaves that line alone.
void showMessageBox(const char* text, const char* caption) {
  writeMessageToStderr(text, caption);
  SDL_ShowSimpleMessageBox(SDL_MESSAGEBOX_ERROR, caption, text, messageBoxParent);
}

}  // namespace tarvola
