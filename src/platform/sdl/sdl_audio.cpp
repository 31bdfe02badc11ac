// SDL2 audio output for the music player; see sdl_audio.h.
#include "platform/sdl/sdl_audio.h"

#include <cstring>

namespace tarvola {

void SDLCALL SdlAudioOutput::fillBuffer(void* self, Uint8* stream, int bytes) {
  const SdlAudioOutput& output = *static_cast<SdlAudioOutput*>(self);
  float* out = reinterpret_cast<float*>(stream);
  const int frames = bytes / static_cast<int>(2 * sizeof(float));
  if (output.pull_ != nullptr) {
    output.pull_(output.pullUser_, out, frames);
  } else {
    std::memset(stream, 0, static_cast<size_t>(bytes));
  }
}

// Opens the default device of the default driver, paused.
bool SdlAudioOutput::openDevice() {
  if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) return false;
  SDL_AudioSpec want{};
  want.freq = kSampleRate;
  want.format = AUDIO_F32SYS;
  want.channels = 2;
  want.samples = 1024;
  want.callback = &SdlAudioOutput::fillBuffer;
  want.userdata = this;
  SDL_AudioSpec have{};
  device_ = SDL_OpenAudioDevice(nullptr, 0, &want, &have, 0);
  if (device_ != 0) return true;
  SDL_QuitSubSystem(SDL_INIT_AUDIO);
  return false;
}

// Without a real device the silent output stands in. (SDL's own "dummy" driver was measured
// here to pull about 0.5 % slow once each pull does real work: syncs 0.2 s late after 32 s.)
bool SdlAudioOutput::open(bool silent, Pull pull, void* user) {
  if (device_ != 0 || usingSilent_) return false;
  pull_ = pull;
  pullUser_ = user;
  if (!silent && openDevice()) return true;
  pull_ = nullptr;
  pullUser_ = nullptr;
  usingSilent_ = silent_.open(pull, user);
  return usingSilent_;
}

void SdlAudioOutput::resume() {
  if (usingSilent_) silent_.resume();
  if (device_ != 0) SDL_PauseAudioDevice(device_, 0);
}

void SdlAudioOutput::lock() {
  if (usingSilent_) silent_.lock();
  if (device_ != 0) SDL_LockAudioDevice(device_);
}

void SdlAudioOutput::unlock() {
  if (usingSilent_) silent_.unlock();
  if (device_ != 0) SDL_UnlockAudioDevice(device_);
}

void SdlAudioOutput::close() {
  if (usingSilent_) silent_.close();
  usingSilent_ = false;
  if (device_ == 0) return;
  SDL_CloseAudioDevice(device_);
  device_ = 0;
  pull_ = nullptr;
  pullUser_ = nullptr;
  SDL_QuitSubSystem(SDL_INIT_AUDIO);
}

bool SdlAudioOutput::decodeWav(const char* path, std::vector<float>& stereo) {
  SDL_AudioSpec wavFormat{};
  Uint8* data = nullptr;
  Uint32 length = 0;
  if (SDL_LoadWAV(path, &wavFormat, &data, &length) == nullptr) return false;
  SDL_AudioCVT convert{};
  if (SDL_BuildAudioCVT(&convert, wavFormat.format, wavFormat.channels, wavFormat.freq, AUDIO_F32SYS, 2, kSampleRate) <
      0) {
    SDL_FreeWAV(data);
    return false;
  }
  std::vector<Uint8> work(static_cast<size_t>(length) * static_cast<size_t>(convert.len_mult));
  std::memcpy(work.data(), data, length);
  SDL_FreeWAV(data);
  convert.buf = work.data();
  convert.len = static_cast<int>(length);
  if (convert.needed && SDL_ConvertAudio(&convert) != 0) return false;
  const size_t bytes = convert.needed ? static_cast<size_t>(convert.len_cvt) : length;
  stereo.resize(bytes / sizeof(float));
  std::memcpy(stereo.data(), work.data(), stereo.size() * sizeof(float));
  return true;
}

}  // namespace tarvola
