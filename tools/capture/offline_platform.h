// The capture renderer's host for the demo's frame loop: no window, pauses that cost nothing,
// a counter that moves exactly one tick (1/fps s) per frame, and the music's syncs raised from
// a precomputed list before the first frame whose time reaches them.
#pragma once

#include <cstdint>
#include <vector>

#include "capture.h"
#include "runtime/platform.h"

namespace tarvola {

// A counter that only moves when its owner says a frame has passed.
struct TickCounter final : Counter {
  int64_t ticksPerSecond = 60;
  int64_t ticks = 0;
  int64_t frequency() override { return ticksPerSecond; }
  int64_t read() override { return ticks; }
};

// The message poll is where a frame begins: the picture on screen at the poll that starts
// frame k + 1 is frame k, and goes to `emit`; the end frame only shows its predecessor again
// and is not passed on. Before a frame short of the end, the poll after the last wanted frame
// asks the loop to quit; a stop at the end frame is left to the timeline, as in a real run.
class OfflinePlatform final : public Platform {
 public:
  // False from `emit` ends the run (an output failed).
  using Emit = bool (*)(void* user, int64_t frame, const Surface& picture);

  OfflinePlatform(const ProgrammeSchedule& schedule, const std::vector<SyncHit>& syncs, int64_t stopFrame, Emit emit,
                  void* user, bool timeFrames);

  int64_t frequency() override { return counter_.frequency(); }
  int64_t read() override { return counter_.read(); }
  bool openDisplay(const char*, int32_t, int32_t, bool) override { return true; }
  // Keeps the picture: the next poll passes it on.
  int32_t present(const Surface& framebuffer) override;
  void closeDisplay() override {}
  void pause(uint32_t) override {}
  void loadMusic(const char*) override {}  // the music pass has rendered it already
  void startMusic() override;
  PlatformMessage pollMessage() override;
  void fadeOutMusic() override { endFrame_ = quit_ ? -1 : counter_.ticks; }

  bool failed() const { return failed_; }
  // The frame on which the timeline ended the run; -1 after a quit.
  int64_t endFrame() const { return endFrame_; }
  // Time (host::threadSeconds) of start-up before the music starts (the pauses cost nothing here).
  double startupSeconds() const { return startupSeconds_; }
  // With timeFrames: [frame] seconds (host::threadSeconds) from the frame's poll to its present.
  const std::vector<double>& frameSeconds() const { return frameSeconds_; }

 private:
  const ProgrammeSchedule& schedule_;
  const std::vector<SyncHit>& syncs_;
  int64_t stopFrame_;
  Emit emit_;
  void* user_;
  TickCounter counter_;
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
