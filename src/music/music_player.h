// The demo's music player: loads "data/kyr.it" (or a WAV, played as a looping stream without
// syncs), plays it looping on an audio output, turns the module's S2x effects into calls of the
// sync callback, and ends with a slow-down and fade-out that it waits for.
#pragma once

#include <vector>

#include "music/music_stream.h"
#include "music/sync_events.h"

namespace tarvola {

// The audio device the player drives (SDL's is SdlAudioOutput in platform/sdl).
class AudioOutput {
 public:
  using Pull = void (*)(void* user, float* stereo, int frames);
  // Opens a kSampleRate stereo float output, paused, that will call `pull` on its own thread.
  // `silent` asks for a device that pulls at real-time rate but plays nothing; a failing real
  // device falls back to it. False when not even that opens, or when already open.
  virtual bool open(bool silent, Pull pull, void* user) = 0;
  virtual void resume() = 0;
  // Keeps the pull out while the main thread touches the stream.
  virtual void lock() = 0;
  virtual void unlock() = 0;
  virtual void close() = 0;
  // Decodes a WAV file to kSampleRate interleaved stereo float; false when the file is no WAV.
  virtual bool decodeWav(const char* path, std::vector<float>& stereo) = 0;

 protected:
  ~AudioOutput() = default;
};

class MusicPlayer {
 public:
  explicit MusicPlayer(AudioOutput& output) : output_(output) {}
  ~MusicPlayer();
  MusicPlayer(const MusicPlayer&) = delete;
  MusicPlayer& operator=(const MusicPlayer&) = delete;

  // Opens the output (the silent one when `noSound` or when no real device works), then takes
  // the file as a WAV stream or else as a module. False, and unloaded, when it is neither.
  bool load(const char* path, bool noSound);
  // The callback gets every sync effect of a module, with `user`; a stream never calls it.
  void setSyncCallback(SyncCallback callback, void* user);
  // Starts playback, looping; nothing when unloaded.
  void play();
  // Plays kFadeOut (the rate slowed to 1000 Hz over 500 ms; after 300 ms, the volume to
  // silence over 200 ms, then the stop); waits, polling every millisecond, until both slides
  // have ended; then releases the output and the music. Returns at once when unloaded.
  void fadeOutAndStop();
  bool isSliding();
  bool loaded() const { return loaded_; }

 private:
  static void pullStream(void* user, float* stereo, int frames);
  void release();

  AudioOutput& output_;
  MusicStream stream_;
  bool loaded_ = false;
  bool outputOpen_ = false;
  bool playing_ = false;
};

}  // namespace tarvola
