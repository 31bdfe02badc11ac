// SDL2 audio output for the music player; one device at a time.
#include "platform/sdl/sdl_audio.h"

#include "music/silent_audio.h"

#include <SDL.h>

#include <cstring>

namespace tarvola {

namespace {

SDL_AudioDeviceID device = 0;
bool usingSilent = false;
SilentAudio silentOutput;  // stands in when no real device opens
AudioOutput::Pull devicePull = nullptr;
void* devicePullUser = nullptr;

void SDLCALL fillBuffer(void*, Uint8* stream, int bytes) {
  float* out = reinterpret_cast<float*>(stream);
  const int frames = bytes / static_cast<int>(2 * sizeof(float));
  if (devicePull != nullptr) {
    devicePull(devicePullUser, out, frames);
  } else {
    std::memset(stream, 0, static_cast<size_t>(bytes));
  }
}

// Opens the default device of the default driver, paused.
bool openDevice() {
  if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) return false;
  SDL_AudioSpec want{};
  want.freq = kSampleRate;
  want.format = AUDIO_F32SYS;
  want.channels = 2;
  want.samples = 1024;
  want.callback = fillBuffer;
  SDL_AudioSpec have{};
  device = SDL_OpenAudioDevice(nullptr, 0, &want, &have, 0);
  if (device != 0) return true;
  SDL_QuitSubSystem(SDL_INIT_AUDIO);
  return false;
}

// Without a real device the silent output stands in. (SDL's own "dummy" driver was measured
// here to pull about 0.5 % slow once each pull does real work: syncs 0.2 s late after 32 s.)
bool openOutput(bool silent, AudioOutput::Pull pull, void* user) {
  if (device != 0 || usingSilent) return false;
  devicePull = pull;
  devicePullUser = user;
  if (!silent && openDevice()) return true;
  devicePull = nullptr;
  devicePullUser = nullptr;
  usingSilent = silentOutput.open(pull, user);
  return usingSilent;
}

void resumeOutput() {
  if (usingSilent) silentOutput.resume();
  if (device != 0) SDL_PauseAudioDevice(device, 0);
}

void lockOutput() {
  if (usingSilent) silentOutput.lock();
  if (device != 0) SDL_LockAudioDevice(device);
}

void unlockOutput() {
  if (usingSilent) silentOutput.unlock();
  if (device != 0) SDL_UnlockAudioDevice(device);
}

void closeOutput() {
  if (usingSilent) silentOutput.close();
  usingSilent = false;
  if (device == 0) return;
  SDL_CloseAudioDevice(device);
  device = 0;
  devicePull = nullptr;
  devicePullUser = nullptr;
  SDL_QuitSubSystem(SDL_INIT_AUDIO);
}

bool decodeWav(const char* path, std::vector<float>& stereo) {
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

const AudioOutput kSdlAudioOutput = {openOutput, resumeOutput, lockOutput, unlockOutput, closeOutput, decodeWav};

}  // namespace

const AudioOutput& sdlAudioOutput() { return kSdlAudioOutput; }

}  // namespace tarvola
