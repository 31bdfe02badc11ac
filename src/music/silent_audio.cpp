// The silent output's clocked pull thread.
#include "music/silent_audio.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

namespace tarvola {

namespace {

constexpr int kBufferFrames = 1024;

struct SilentDevice {
  std::mutex streamLock;  // held around every pull and by lock()/unlock()
  std::mutex stateLock;
  std::condition_variable wake;
  std::thread worker;
  bool open = false;
  bool started = false;
  bool closing = false;
  AudioOutput::Pull pull = nullptr;
  void* user = nullptr;
  float buffer[2 * kBufferFrames] = {};
};

SilentDevice device;

void run() {
  {
    std::unique_lock<std::mutex> state(device.stateLock);
    device.wake.wait(state, [] { return device.started || device.closing; });
    if (device.closing) return;
  }
  using Clock = std::chrono::steady_clock;
  const Clock::time_point start = Clock::now();
  for (int64_t n = 1;; ++n) {
    {
      std::lock_guard<std::mutex> stream(device.streamLock);
      device.pull(device.user, device.buffer, kBufferFrames);
    }
    // Deadlines from the start, not from the last pull: no drift.
    const auto due = start + std::chrono::duration_cast<Clock::duration>(
                                 std::chrono::duration<double>(static_cast<double>(n) * kBufferFrames / kSampleRate));
    std::unique_lock<std::mutex> state(device.stateLock);
    if (device.wake.wait_until(state, due, [] { return device.closing; })) return;
  }
}

bool openSilent(bool, AudioOutput::Pull pull, void* user) {
  if (device.open || pull == nullptr) return false;
  device.pull = pull;
  device.user = user;
  device.started = false;
  device.closing = false;
  device.open = true;
  device.worker = std::thread(run);
  return true;
}

void resumeSilent() {
  if (!device.open) return;
  std::lock_guard<std::mutex> state(device.stateLock);
  device.started = true;
  device.wake.notify_all();
}

void lockSilent() { device.streamLock.lock(); }
void unlockSilent() { device.streamLock.unlock(); }

void closeSilent() {
  if (!device.open) return;
  {
    std::lock_guard<std::mutex> state(device.stateLock);
    device.closing = true;
    device.wake.notify_all();
  }
  device.worker.join();
  device.open = false;
  device.pull = nullptr;
  device.user = nullptr;
}

const AudioOutput kSilentOutput = {openSilent, resumeSilent, lockSilent, unlockSilent, closeSilent, nullptr};

}  // namespace

const AudioOutput& silentAudioOutput() { return kSilentOutput; }

}  // namespace tarvola
