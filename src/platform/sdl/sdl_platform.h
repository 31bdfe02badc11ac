// The demo's host on SDL2: the Display, steady_clock ticks, pauses that keep the window
// painted, the MusicPlayer on SDL's audio output, and the loaders' notification as a
// blocking message box.
#pragma once

#include "music/music_player.h"
#include "platform/sdl/sdl_audio.h"
#include "platform/sdl/sdl_display.h"
#include "runtime/platform.h"

namespace tarvola {

class SdlPlatform final : public Platform {
 public:
  SdlPlatform();
  int64_t frequency() override { return counter_.frequency(); }
  int64_t read() override { return counter_.read(); }
  bool openDisplay(const char* title, int32_t width, int32_t height, bool windowed) override;
  int32_t present(const Surface& framebuffer) override;
  void closeDisplay() override;
  PlatformMessage pollMessage() override { return display_.pollMessage(); }
  void pause(uint32_t milliseconds) override;
  void loadMusic(const char* path, SyncFlags& flags) override;
  void startMusic() override;
  void fadeOutMusic() override;

 private:
  SteadyCounter counter_;
  Display display_;
  SdlAudioOutput audio_;  // before the player, which closes it as it goes
  MusicPlayer music_;
};

// The loaders' notification on SDL: a line on stderr, then a blocking message box (caption
// and text as given, one OK button) over the display when one is open, without owner before;
// with no display at all only the line.
void showMessageBox(const char* text, const char* caption);

}  // namespace tarvola
