// A silent audio output for runs without a sound device: a thread of its own pulls the player's
// stream in 1024-frame buffers on a fixed schedule (buffer n at start + n * 1024 / 44100 s), so
// the music's sync events arrive on time however long each pull takes, and nothing drifts.
#pragma once

#include <condition_variable>
#include <mutex>
#include <thread>

#include "music/music_player.h"

namespace tarvola {

// One output; the host that stands it in for a device keeps it (the SDL output does).
class SilentAudio {
 public:
  SilentAudio() = default;
  SilentAudio(const SilentAudio&) = delete;
  SilentAudio& operator=(const SilentAudio&) = delete;
  ~SilentAudio() { close(); }

  // The AudioOutput calls of a silent output (no decodeWav): open starts the thread, paused;
  // false when already open or without a pull.
  bool open(AudioOutput::Pull pull, void* user);
  void resume();
  void lock() { streamLock_.lock(); }
  void unlock() { streamLock_.unlock(); }
  void close();

 private:
  static constexpr int kBufferFrames = 1024;
  void run();

  std::mutex streamLock_;  // held around every pull and by lock()/unlock()
  std::mutex stateLock_;
  std::condition_variable wake_;
  std::thread worker_;
  bool open_ = false;
  bool started_ = false;
  bool closing_ = false;
  AudioOutput::Pull pull_ = nullptr;
  void* user_ = nullptr;
  float buffer_[2 * kBufferFrames] = {};
};

}  // namespace tarvola
