// The player's pull pipeline: source, linear-interpolating resampler, volume.
#include "music/music_stream.h"

#include "base/fixed_point.h"

#include <algorithm>
#include <utility>

namespace tarvola {

void MusicStream::Slide::start(double to, int milliseconds) {
  target = to;
  remaining = static_cast<int64_t>(std::max(milliseconds, 0)) * kSampleRate / 1000;
  if (remaining == 0) {
    value = to;
    step = 0.0;
  } else {
    step = (to - value) / static_cast<double>(remaining);
  }
}

void MusicStream::Slide::advance() {
  if (remaining <= 0) return;
  --remaining;
  value = remaining == 0 ? target : value + step;
}

bool MusicStream::loadModule(const char* path) {
  unload();
  return module_.loadFile(path);
}

void MusicStream::loadStream(std::vector<float> stereo) {
  unload();
  stereo.resize(stereo.size() & ~size_t{1});
  stream_ = std::move(stereo);
}

void MusicStream::appendStream(const float* stereo, size_t frames) {
  stream_.insert(stream_.end(), stereo, stereo + 2 * frames);
}

void MusicStream::unload() {
  module_.unload();
  stream_.clear();
  streamFrame_ = 0;
  sourceFrames_ = 0;
  position_ = 0.0;
  rateSlide_ = Slide{kSampleRate, kSampleRate};
  volumeSlide_ = Slide{};
  stopAfterVolume_ = false;
  stopped_ = false;
}

void MusicStream::onHit(void* user, const SyncHit& hit) {
  const MusicStream& self = *static_cast<MusicStream*>(user);
  if (self.syncCallback_ != nullptr) self.syncCallback_(hit.value);
}

// Keeps the last frame as frame 0 and renders one piece after it.
void MusicStream::refill() {
  int keep = 0;
  if (sourceFrames_ > 0) {
    source_[0] = source_[2 * (sourceFrames_ - 1)];
    source_[1] = source_[2 * (sourceFrames_ - 1) + 1];
    position_ -= sourceFrames_ - 1;
    keep = 1;
  }
  const int piece = ModuleRenderer::kMaxPieceFrames;
  float* into = source_ + 2 * keep;
  if (module_.loaded()) {
    module_.render(into, piece, &MusicStream::onHit, this);
  } else {
    const size_t streamFrames = stream_.size() / 2;
    for (int i = 0; i < piece; ++i) {
      if (streamFrames == 0) {
        into[2 * i] = into[2 * i + 1] = 0.0f;
        continue;
      }
      into[2 * i] = stream_[2 * streamFrame_];
      into[2 * i + 1] = stream_[2 * streamFrame_ + 1];
      if (++streamFrame_ == streamFrames) streamFrame_ = 0;
    }
  }
  sourceFrames_ = keep + piece;
}

void MusicStream::pull(float* out, int frames) {
  for (int i = 0; i < frames; ++i) {
    if (stopped_ || !loaded()) {
      std::fill(out + 2 * i, out + 2 * static_cast<size_t>(frames), 0.0f);
      return;
    }
    // Output frame i sounds source position position_; interpolate between its neighbours.
    while (sourceFrames_ == 0 || truncToInt32(position_) + 1 >= sourceFrames_) refill();
    const int index = truncToInt32(position_);
    const float fraction = static_cast<float>(position_ - index);
    const float* a = source_ + 2 * index;
    const float gain = static_cast<float>(volumeSlide_.value);
    out[2 * i] = (a[0] + (a[2] - a[0]) * fraction) * gain;
    out[2 * i + 1] = (a[1] + (a[3] - a[1]) * fraction) * gain;

    position_ += rateSlide_.value / kSampleRate;
    rateSlide_.advance();
    const bool volumeWasSliding = volumeSlide_.remaining > 0;
    volumeSlide_.advance();
    if (volumeWasSliding && volumeSlide_.remaining == 0 && stopAfterVolume_) stop();
  }
}

void MusicStream::slideRate(float targetHz, int milliseconds) {
  rateSlide_.start(std::max(targetHz, 1.0f), milliseconds);
}

void MusicStream::slideVolumeToSilenceAndStop(int milliseconds) {
  volumeSlide_.start(0.0, milliseconds);
  stopAfterVolume_ = true;
  if (volumeSlide_.remaining == 0) stop();
}

// Silence from here on; a rate slide still running ends with it, so isSliding turns false.
void MusicStream::stop() {
  stopped_ = true;
  rateSlide_.remaining = 0;
  volumeSlide_.remaining = 0;
}

}  // namespace tarvola
