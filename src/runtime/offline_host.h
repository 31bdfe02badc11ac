// The demo's frame loop run offline, for the capture renderer and the web build's stepped run:
// a host whose clock moves exactly one tick (1/fps s) per frame, with no window and pauses
// that cost nothing, raising the music's syncs from a list before the first frame whose time
// reaches them; and the arithmetic between frames, demo times and samples that goes with it.
// Frame k shows demo clock time k/fps and is paired with the music's samples
// [k * 44100 / fps, (k + 1) * 44100 / fps) (integer division); frame 0 is the black picture
// start-up leaves on screen.
#pragma once

#include <cstdint>
#include <vector>

#include "music/module_renderer.h"
#include "runtime/frame_loop.h"
#include "runtime/platform.h"
#include "scenes/scene_table.h"

namespace tarvola {

// The offline rate unless a caller picks another: the capture's default, the stepped web
// build's, and the lock-step of the page's music engine.
inline constexpr int kDefaultFps = 60;

// The samples before frame k: k * 44100 / fps, rounded down.
inline int64_t samplesBeforeFrame(int64_t frame, int fps) { return frame * kSampleRate / fps; }
// The first frame (>= 1) whose time k / fps reaches the sample.
inline int64_t frameReachingSample(int64_t sample, int fps) {
  const int64_t k = (sample * fps + kSampleRate - 1) / kSampleRate;
  return k < 1 ? 1 : k;
}
// The first frame whose time k / fps is at or after `seconds` (a hair of tolerance for decimal
// times such as 0.1 that binary floating point cannot hold). For times within the demo only, so
// the product always fits.
int64_t frameAtOrAfter(double seconds, int fps);

// Which scene slot the timeline renders on each frame, and the frame on which it ends, worked
// out with the frame loop's own DemoTime and Timeline.
struct ProgrammeSchedule {
  int fps = kDefaultFps;
  int64_t endFrame = 0;         // the frame whose update reaches the end; frames 0..endFrame-1 are pictures
  std::vector<int8_t> sceneAt;  // [frame]: slot 0..5, -1 for none (frame 0, the end frame)
  std::vector<float> timeAt;    // [frame]: the demo time t (hundredths) its render is given
};
ProgrammeSchedule scheduleProgramme(const DemoProgramme& programme, int fps);

// A timed run's frames by scene slot: how many, and the median and worst of their seconds
// (frame 0 and the end frame belong to none).
struct SceneFrameTimes {
  int64_t frames[kSceneCount] = {};
  double medianSeconds[kSceneCount] = {};
  double worstSeconds[kSceneCount] = {};
};
SceneFrameTimes sceneFrameTimes(const ProgrammeSchedule& schedule, const std::vector<double>& frameSeconds);
// The benchmarks' per-scene table on stdout, "N name frames median worst" (milliseconds) under
// a heading; scripts/web-bench.sh reads the native and the web build's alike.
void printSceneFrameTimes(const SceneFrameTimes& times);

// A counter that only moves when its owner says a frame has passed.
struct TickCounter final : Counter {
  int64_t ticksPerSecond = kDefaultFps;
  int64_t ticks = 0;
  int64_t frequency() override { return ticksPerSecond; }
  int64_t read() override { return ticks; }
};

// The message poll is where a frame begins: the picture on screen at the poll that starts
// frame k + 1 is frame k, and goes to `emit`; the end frame only shows its predecessor again
// and is not passed on. Before a frame short of the end, the poll after the last wanted frame
// asks the loop to quit; a stop at the end frame is left to the timeline, as in a real run.
class OfflineHost final : public Platform {
 public:
  // False from `emit` ends the run (an output failed).
  using Emit = bool (*)(void* user, int64_t frame, const Surface& picture);
  // Seconds of some clock of the caller's, to time start-up and frames with.
  using Stopwatch = double (*)();

  // Runs to frame stopFrame of a programme that ends on endFrame; `syncs` in sample order, read
  // where they are (they must outlive the host). With a stopwatch, start-up and every frame
  // are timed.
  OfflineHost(int fps, int64_t endFrame, const std::vector<SyncHit>& syncs, int64_t stopFrame, Emit emit, void* user,
              Stopwatch stopwatch = nullptr);

  int64_t frequency() override { return counter_.frequency(); }
  int64_t read() override { return counter_.read(); }
  bool openDisplay(const char*, int32_t, int32_t, bool) override { return true; }
  // Keeps the picture: the next poll passes it on.
  int32_t present(const Surface& framebuffer) override;
  void closeDisplay() override {}
  void pause(uint32_t) override {}
  // The music itself was rendered beforehand; the syncs from the list raise `flags`.
  void loadMusic(const char*, SyncFlags& flags) override { syncs_ = &flags; }
  void startMusic() override;
  PlatformMessage pollMessage() override;
  void fadeOutMusic() override { endFrame_ = quit_ ? -1 : counter_.ticks; }

  bool failed() const { return failed_; }
  // The frame on which the timeline ended the run; -1 after a quit.
  int64_t endFrame() const { return endFrame_; }
  // With a stopwatch: start-up before the music starts (the pauses cost nothing here).
  double startupSeconds() const { return startupSeconds_; }
  // With a stopwatch: [frame] seconds from the frame's poll to its present.
  const std::vector<double>& frameSeconds() const { return frameSeconds_; }

 private:
  int64_t programmeEnd_;
  const std::vector<SyncHit>& hits_;
  int64_t stopFrame_;
  Emit emit_;
  void* user_;
  Stopwatch stopwatch_;
  TickCounter counter_;
  SyncFlags* syncs_ = nullptr;
  const Surface* shown_ = nullptr;  // the picture last presented (the loop's own framebuffer)
  size_t nextSync_ = 0;
  bool running_ = false;
  bool quit_ = false;
  bool failed_ = false;
  int64_t endFrame_ = -1;
  std::vector<double> frameSeconds_;
  double startedAt_ = 0.0;
  double frameBegan_ = 0.0;
  double startupSeconds_ = 0.0;
};

}  // namespace tarvola
