// Music player: file loading, play, and the blocking fade-out on top of MusicStream.
#include "music/music_player.h"

#include <chrono>
#include <thread>

namespace tarvola {

namespace {

// A device that stopped pulling would leave the slides running forever; give up after this.
constexpr int kMaxWaitMs = 3000;

}  // namespace

MusicPlayer::~MusicPlayer() { release(); }

void MusicPlayer::pullStream(void* user, float* stereo, int frames) {
  static_cast<MusicPlayer*>(user)->stream_.pull(stereo, frames);
}

bool MusicPlayer::load(const char* path, bool noSound) {
  release();
  outputOpen_ = output_.open(noSound, &MusicPlayer::pullStream, this);
  std::vector<float> samples;
  if (output_.decodeWav(path, samples)) {
    stream_.loadStream(std::move(samples));
  } else if (!stream_.loadModule(path)) {
    release();
    return false;
  }
  loaded_ = true;
  return true;
}

void MusicPlayer::setSyncCallback(SyncCallback callback, void* user) {
  if (outputOpen_) output_.lock();
  stream_.setSyncCallback(callback, user);
  if (outputOpen_) output_.unlock();
}

void MusicPlayer::play() {
  if (!loaded_ || !outputOpen_ || playing_) return;
  playing_ = true;
  output_.resume();
}

bool MusicPlayer::isSliding() {
  if (!outputOpen_) return false;
  output_.lock();
  const bool sliding = stream_.isSliding();
  output_.unlock();
  return sliding;
}

void MusicPlayer::fadeOutAndStop() {
  if (!loaded_) return;
  if (outputOpen_ && playing_) {
    output_.lock();
    stream_.slideRate(kFadeOut.rateHz, kFadeOut.rateMs);
    output_.unlock();
    std::this_thread::sleep_for(std::chrono::milliseconds(kFadeOut.volumeAfterMs));
    output_.lock();
    stream_.slideVolumeToSilenceAndStop(kFadeOut.volumeMs);
    output_.unlock();
    for (int waited = 0; isSliding() && waited < kMaxWaitMs; ++waited)
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  release();
}

void MusicPlayer::release() {
  if (outputOpen_) output_.close();
  outputOpen_ = false;
  playing_ = false;
  stream_.unload();
  loaded_ = false;
}

}  // namespace tarvola
