// The music player's audio output on SDL2: a 44100 Hz stereo float device pulled by SDL's
// audio thread, falling back to the clocked silent output when there is no device (or no sound
// is wanted), and WAV decoding through SDL_LoadWAV. One device at a time: SDL's audio subsystem
// is the process's.
#pragma once

#include <SDL.h>

#include "music/music_player.h"
#include "music/silent_audio.h"

namespace tarvola {

class SdlAudioOutput final : public AudioOutput {
 public:
  SdlAudioOutput() = default;
  SdlAudioOutput(const SdlAudioOutput&) = delete;
  SdlAudioOutput& operator=(const SdlAudioOutput&) = delete;
  ~SdlAudioOutput() { close(); }

  bool open(bool silent, Pull pull, void* user) override;
  void resume() override;
  void lock() override;
  void unlock() override;
  void close() override;
  bool decodeWav(const char* path, std::vector<float>& stereo) override;

 private:
  static void SDLCALL fillBuffer(void* self, Uint8* stream, int bytes);
  bool openDevice();

  SDL_AudioDeviceID device_ = 0;
  bool usingSilent_ = false;
  SilentAudio silent_;  // stands in when no real device opens
  Pull pull_ = nullptr;
  void* pullUser_ = nullptr;
};

}  // namespace tarvola
