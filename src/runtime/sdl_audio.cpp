// SDL2 audio output for the music player; one device at a time.
#include "runtime/sdl_audio.h"

#include <SDL.h>

#include <cstring>
#include <string>

namespace tarvola {

namespace {

SDL_AudioDeviceID device = 0;
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

// Initialises the audio subsystem with `driver` (nullptr: SDL's choice) and opens the device.
// A driver named here overrides SDL_AUDIODRIVER for this one initialisation only.
bool initAudio(const char* driver) {
  if (driver == nullptr) return SDL_InitSubSystem(SDL_INIT_AUDIO) == 0;
  const char* previous = SDL_getenv("SDL_AUDIODRIVER");
  const std::string saved = previous != nullptr ? previous : "";
  SDL_setenv("SDL_AUDIODRIVER", driver, 1);
  const bool ok = SDL_InitSubSystem(SDL_INIT_AUDIO) == 0;
  SDL_setenv("SDL_AUDIODRIVER", saved.c_str(), 1);
  return ok;
}

bool openWith(const char* driver) {
  if (!initAudio(driver)) return false;
  SDL_AudioSpec want{};
  want.freq = MusicStream::kSampleRate;
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

bool openOutput(bool silent, AudioOutput::Pull pull, void* user) {
  if (device != 0) return false;
  devicePull = pull;
  devicePullUser = user;
  if (!silent && openWith(nullptr)) return true;
  if (openWith("dummy")) return true;
  devicePull = nullptr;
  devicePullUser = nullptr;
  return false;
}

void resumeOutput() {
  if (device != 0) SDL_PauseAudioDevice(device, 0);
}

void lockOutput() {
  if (device != 0) SDL_LockAudioDevice(device);
}

void unlockOutput() {
  if (device != 0) SDL_UnlockAudioDevice(device);
}

void closeOutput() {
  if (device == 0) return;
  SDL_CloseAudioDevice(device);
  device = 0;
  devicePull = nullptr;
  devicePullUser = nullptr;
  SDL_QuitSubSystem(SDL_INIT_AUDIO);
}

bool decodeWav(const char* path, std::vector<float>& stereo) {
  SDL_AudioSpec spec{};
  Uint8* data = nullptr;
  Uint32 length = 0;
  if (SDL_LoadWAV(path, &spec, &data, &length) == nullptr) return false;
  SDL_AudioCVT convert{};
  if (SDL_BuildAudioCVT(&convert, spec.format, spec.channels, spec.freq, AUDIO_F32SYS, 2,
                        MusicStream::kSampleRate) < 0) {
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

const AudioOutput kSdlAudioOutput = {openOutput, resumeOutput, lockOutput, unlockOutput,
                                     closeOutput, decodeWav};

}  // namespace

const AudioOutput& sdlAudioOutput() { return kSdlAudioOutput; }

}  // namespace tarvola
