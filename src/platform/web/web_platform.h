// The demo's host in a web page: the framebuffer drawn into a 320x240 canvas (a WebGL texture
// of its own bytes where the browser has WebGL, else a 2D context's RGBA picture), Escape and
// leaving full screen as the quit request, pauses and frames that yield to the browser
// (through asyncify), and the music in an AudioWorklet whose output clock is the counter.
// The page's JavaScript (web/tarvola.js) provides the `tarvolaWeb` object these calls use.
#pragma once

#include <emscripten/html5.h>

#include <cstdint>
#include <vector>

#include "runtime/platform.h"

namespace tarvola {

class WebPlatform final : public Platform {
 public:
  // Microseconds of the audio output clock: the context time being heard now.
  int64_t frequency() override { return 1000000; }
  // Also raises, before the frame that reads it, every sync whose sample the reading reaches.
  int64_t read() override;
  bool openDisplay(const char* title, int32_t width, int32_t height, bool windowed) override;
  // Draws into the canvas, then waits for the browser's next animation frame.
  int32_t present(const Surface& framebuffer) override;
  // Shows the quiet end screen.
  void closeDisplay() override;
  // Takes one message the page's key and full-screen handlers posted: the quit request.
  PlatformMessage pollMessage() override;
  void pause(uint32_t milliseconds) override;
  // Reads the module file and hands its bytes to the worklet; a file that is missing or not
  // a module leaves the run silent, without syncs.
  void loadMusic(const char* path, SyncFlags& flags) override;
  // Music sample 0 sounds at the reading the frame clock took at its start.
  void startMusic() override;
  // Rate 44100 -> 1000 Hz over 500 ms, volume to silence over the last 200 ms; returns when
  // the worklet reports silence (or after 3 s without a report).
  void fadeOutMusic() override;

 private:
  // The picture as R, G, B, A bytes (little-endian words) for a 2D canvas; empty when the
  // canvas takes the framebuffer's own bytes.
  std::vector<uint32_t> rgba_;
  int64_t lastReading_ = 0;
  SyncFlags* syncs_ = nullptr;  // the run's, raised as the worklet reports its syncs
  // Messages the page's event handlers posted, taken one per frame by the poll.
  int pendingMessages_ = 0;
  bool quitPosted_ = false;

  void postQuit();
  static EM_BOOL onKeyDown(int type, const EmscriptenKeyboardEvent* event, void* self);
  static EM_BOOL onFullscreenChange(int type, const EmscriptenFullscreenChangeEvent* event, void* self);
};

// The loaders' notification in the page: a line on the console and a visible box that stays
// until clicked; the run goes on.
void showPageMessage(const char* text, const char* caption);

}  // namespace tarvola
