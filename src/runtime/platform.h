// What the demo asks of its host: a display with one non-blocking message poll, a tick
// counter (the Counter it is), a pause, and the music's loading, start and fade-out. The SDL
// program (the Windows build too), the web page, the offline host (of the capture renderer and
// the web build's stepped runner) and the tests' fake host each implement it and run the same
// loop.
#pragma once

#include <cstdint>

#include "music/sync_events.h"
#include "runtime/frame_clock.h"
#include "surface/surface.h"

namespace tarvola {

enum class PlatformMessage {
  kNone,     // nothing was pending
  kQuit,     // the quit request: ends the frame loop before that frame is drawn
  kHandled,  // some other message, handled (Escape and close requests post a quit)
};

class Platform : public Counter {
 public:
  // Shows a width x height surface of 32-bit pixels (full screen unless windowed). False
  // when there is no display; the host has then said why, and the demo ends with 0.
  virtual bool openDisplay(const char* title, int32_t width, int32_t height, bool windowed) = 0;
  // Shows the framebuffer without waiting for the display: >= 0 shown, < 0 frame lost.
  virtual int32_t present(const Surface& framebuffer) = 0;
  virtual void closeDisplay() = 0;
  // Takes at most one pending message, without waiting, and handles it.
  virtual PlatformMessage pollMessage() = 0;
  virtual void pause(uint32_t milliseconds) = 0;
  // Makes the module ready to play and has its syncs raise `flags` (the run's: they live until
  // fadeOutMusic has returned, after which no sync may reach them): from the player's callback,
  // the page's worklet, or a list the host worked out beforehand. A module that does not load
  // leaves the demo silent.
  virtual void loadMusic(const char* path, SyncFlags& flags) = 0;
  virtual void startMusic() = 0;
  // Slows and fades the music out; returns when it is silent.
  virtual void fadeOutMusic() = 0;

 protected:
  ~Platform() = default;
};

}  // namespace tarvola
