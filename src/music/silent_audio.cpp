// The silent output's clocked pull thread.
#include "music/silent_audio.h"

#include <chrono>

namespace tarvola {

void SilentAudio::run() {
  {
    std::unique_lock<std::mutex> state(stateLock_);
    wake_.wait(state, [this] { return started_ || closing_; });
    if (closing_) return;
  }
  using Clock = std::chrono::steady_clock;
  const Clock::time_point start = Clock::now();
  for (int64_t n = 1;; ++n) {
    {
      std::lock_guard<std::mutex> stream(streamLock_);
      pull_(user_, buffer_, kBufferFrames);
    }
    // Deadlines from the start, not from the last pull: no drift.
    const auto due = start + std::chrono::duration_cast<Clock::duration>(
                                 std::chrono::duration<double>(static_cast<double>(n) * kBufferFrames / kSampleRate));
    std::unique_lock<std::mutex> state(stateLock_);
    if (wake_.wait_until(state, due, [this] { return closing_; })) return;
  }
}

bool SilentAudio::open(AudioOutput::Pull pull, void* user) {
  if (open_ || pull == nullptr) return false;
  pull_ = pull;
  user_ = user;
  started_ = false;
  closing_ = false;
  open_ = true;
  worker_ = std::thread(&SilentAudio::run, this);
  return true;
}

void SilentAudio::resume() {
  if (!open_) return;
  std::lock_guard<std::mutex> state(stateLock_);
  started_ = true;
  wake_.notify_all();
}

void SilentAudio::close() {
  if (!open_) return;
  {
    std::lock_guard<std::mutex> state(stateLock_);
    closing_ = true;
    wake_.notify_all();
  }
  worker_.join();
  open_ = false;
  pull_ = nullptr;
  user_ = nullptr;
}

}  // namespace tarvola
