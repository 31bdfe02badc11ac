// The capture renderer's offline host; see offline_platform.h.
#include "offline_platform.h"

#include "host_system.h"
#include "music/sync_events.h"

namespace tarvola {

using host::threadSeconds;

OfflinePlatform::OfflinePlatform(const ProgrammeSchedule& schedule, const std::vector<SyncHit>& syncs,
                                 int64_t stopFrame, Emit emit, void* user, bool timeFrames)
    : schedule_(schedule), syncs_(syncs), stopFrame_(stopFrame), emit_(emit), user_(user) {
  counter_.ticksPerSecond = schedule.fps;
  if (timeFrames) frameSeconds_.assign(size_t(schedule.endFrame) + 1, 0.0);
  startedAt_ = threadSeconds();
}

int32_t OfflinePlatform::present(const Surface& framebuffer) {
  shown_ = &framebuffer;
  if (running_ && counter_.ticks < int64_t(frameSeconds_.size()))
    frameSeconds_[size_t(counter_.ticks)] = threadSeconds() - frameBegan_;
  return 0;
}

void OfflinePlatform::startMusic() {
  startupSeconds_ = threadSeconds() - startedAt_;
  clearSyncFlags();
  running_ = true;
}

PlatformMessage OfflinePlatform::pollMessage() {
  if (!running_) return PlatformMessage::kNone;
  if (!failed_ && emit_ != nullptr && shown_ != nullptr && !emit_(user_, counter_.ticks, *shown_)) failed_ = true;
  if (failed_ || (counter_.ticks + 1 >= stopFrame_ && stopFrame_ < schedule_.endFrame)) {
    quit_ = true;
    return PlatformMessage::kQuit;
  }
  ++counter_.ticks;
  // Every sync whose sample the new frame's time k / fps reaches.
  const int64_t reached = samplesBeforeFrame(counter_.ticks, schedule_.fps);
  while (nextSync_ < syncs_.size() && syncs_[nextSync_].sample <= reached) onMusicSync(syncs_[nextSync_++].value);
  if (!frameSeconds_.empty()) frameBegan_ = threadSeconds();
  return PlatformMessage::kNone;
}

}  // namespace tarvola
