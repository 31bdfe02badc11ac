// The offline host, its schedule and its frame arithmetic; see offline_host.h.
#include "runtime/offline_host.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace tarvola {

int64_t frameAtOrAfter(double seconds, int fps) { return int64_t(std::ceil(seconds * fps - 1e-7)); }

ProgrammeSchedule scheduleProgramme(const DemoProgramme& programme, int fps) {
  ProgrammeSchedule schedule;
  schedule.fps = fps;
  TickCounter counter;
  counter.ticksPerSecond = fps;
  DemoTime time;
  time.start(counter);
  Timeline timeline;
  timeline.start(programme.timeline);
  schedule.sceneAt.push_back(-1);
  schedule.timeAt.push_back(0.0f);
  for (int64_t frame = 1;; ++frame) {
    counter.ticks = frame;
    const bool ended = timeline.update(time.advance(counter));
    schedule.timeAt.push_back(timeline.time);
    if (ended) {
      schedule.endFrame = frame;
      schedule.sceneAt.push_back(-1);
      return schedule;
    }
    int8_t slot = -1;
    for (int i = 0; i < kSceneCount; ++i) {
      if (timeline.scene != nullptr && programme.scenes[i].render == timeline.scene) slot = int8_t(i);
    }
    schedule.sceneAt.push_back(slot);
  }
}

SceneFrameTimes sceneFrameTimes(const ProgrammeSchedule& schedule, const std::vector<double>& frameSeconds) {
  std::vector<double> perScene[kSceneCount];
  const int64_t frames = std::min(schedule.endFrame, int64_t(frameSeconds.size()));
  for (int64_t frame = 1; frame < frames; ++frame) {
    const int8_t slot = schedule.sceneAt[size_t(frame)];
    if (slot >= 0) perScene[slot].push_back(frameSeconds[size_t(frame)]);
  }
  SceneFrameTimes times;
  for (int i = 0; i < kSceneCount; ++i) {
    std::vector<double>& values = perScene[i];
    const size_t n = values.size();
    times.frames[i] = int64_t(n);
    if (n == 0) continue;
    std::sort(values.begin(), values.end());
    times.medianSeconds[i] = n % 2 == 1 ? values[n / 2] : 0.5 * (values[n / 2 - 1] + values[n / 2]);
    times.worstSeconds[i] = values.back();
  }
  return times;
}

void printSceneFrameTimes(const SceneFrameTimes& times) {
  std::printf("%-24s %7s %10s %10s\n", "scene", "frames", "median ms", "worst ms");
  for (int i = 0; i < kSceneCount; ++i) {
    std::printf("%d %-22s %7lld %10.3f %10.3f\n", i + 1, kSceneNames[i], static_cast<long long>(times.frames[i]),
                times.medianSeconds[i] * 1e3, times.worstSeconds[i] * 1e3);
  }
}

OfflineHost::OfflineHost(int fps, int64_t endFrame, const std::vector<SyncHit>& syncs, int64_t stopFrame, Emit emit,
                         void* user, Stopwatch stopwatch)
    : programmeEnd_(endFrame), hits_(syncs), stopFrame_(stopFrame), emit_(emit), user_(user), stopwatch_(stopwatch) {
  counter_.ticksPerSecond = fps;
  if (stopwatch_ != nullptr) {
    frameSeconds_.assign(size_t(endFrame) + 1, 0.0);
    startedAt_ = stopwatch_();
  }
}

int32_t OfflineHost::present(const Surface& framebuffer) {
  shown_ = &framebuffer;
  if (running_ && counter_.ticks < int64_t(frameSeconds_.size()))
    frameSeconds_[size_t(counter_.ticks)] = stopwatch_() - frameBegan_;
  return 0;
}

void OfflineHost::startMusic() {
  if (stopwatch_ != nullptr) startupSeconds_ = stopwatch_() - startedAt_;
  if (syncs_ != nullptr) syncs_->clear();
  running_ = true;
}

PlatformMessage OfflineHost::pollMessage() {
  if (!running_) return PlatformMessage::kNone;
  if (!failed_ && emit_ != nullptr && shown_ != nullptr && !emit_(user_, counter_.ticks, *shown_)) failed_ = true;
  if (failed_ || (counter_.ticks + 1 >= stopFrame_ && stopFrame_ < programmeEnd_)) {
    quit_ = true;
    return PlatformMessage::kQuit;
  }
  ++counter_.ticks;
  // Every sync whose sample the new frame's time k / fps reaches.
  const int64_t reached = samplesBeforeFrame(counter_.ticks, int(counter_.ticksPerSecond));
  while (nextSync_ < hits_.size() && hits_[nextSync_].sample <= reached) {
    const uint32_t value = hits_[nextSync_++].value;
    if (syncs_ != nullptr) syncs_->raise(value);
  }
  if (!frameSeconds_.empty()) frameBegan_ = stopwatch_();
  return PlatformMessage::kNone;
}

}  // namespace tarvola
