// What the music player plays, as one pull interface at kSampleRate stereo: a source (a module
// with its sync effects, or a looping sampled stream), then a variable-ratio resampler that
// carries the playback-rate slide, then the volume slide. Not thread-safe by itself: the
// audio output keeps its pull out while the main thread calls anything else.
#pragma once

#include <cstdint>
#include <vector>

#include "music/module_renderer.h"
#include "music/sync_events.h"

namespace tarvola {

// The music's ending, for the player and the capture alike: the playback rate slides from
// kSampleRate to rateHz over rateMs; volumeAfterMs into that, the volume slides to silence
// over volumeMs and playback stops.
struct FadeOutSchedule {
  float rateHz;
  int rateMs;
  int volumeAfterMs;
  int volumeMs;
};
inline constexpr FadeOutSchedule kFadeOut{1000.0f, 500, 300, 200};

class MusicStream {
 public:
  bool loadModule(const char* path);
  // A sampled stream: interleaved stereo float at kSampleRate, looped forever; it raises no syncs.
  void loadStream(std::vector<float> stereo);
  // More frames at the end of the sampled stream, for a source made while it plays: it sounds
  // as if loaded at once while the frames come before it is read up to its end (where it loops).
  // Allocates nothing while the stream's capacity holds them.
  void appendStream(const float* stereo, size_t frames);
  void unload();
  bool loaded() const { return module_.loaded() || !stream_.empty(); }
  bool isModule() const { return module_.loaded(); }

  // Called on the pulling thread for every sync effect of a module as it is rendered.
  void setSyncCallback(SyncCallback callback) { syncCallback_ = callback; }

  // Fills `frames` stereo frames. Silence when nothing is loaded or after a stop.
  // Allocates nothing.
  void pull(float* out, int frames);

  // Playback rate in Hz (the source's own rate is kSampleRate): slides linearly from the current
  // rate to `targetHz` over `milliseconds` of output.
  void slideRate(float targetHz, int milliseconds);
  // Volume slides linearly from the current volume to 0 over `milliseconds`; then playback stops.
  void slideVolumeToSilenceAndStop(int milliseconds);
  bool isSliding() const { return rateSlide_.remaining > 0 || volumeSlide_.remaining > 0; }
  bool stopped() const { return stopped_; }
  double rate() const { return rateSlide_.value; }
  double volume() const { return volumeSlide_.value; }

 private:
  // One linear slide: `value` moves towards `target` by equal steps, one per output frame.
  struct Slide {
    double value = 1.0;
    double target = 1.0;
    double step = 0.0;
    int64_t remaining = 0;
    void start(double to, int milliseconds);
    void advance();
  };

  static void onHit(void* user, const SyncHit& hit);
  void refill();
  void stop();

  ModuleRenderer module_;
  std::vector<float> stream_;
  size_t streamFrame_ = 0;
  SyncCallback syncCallback_ = nullptr;

  // Source frames waiting for the resampler: frame 0 is the last one of the previous piece,
  // so interpolation can always reach one frame ahead.
  float source_[2 * (ModuleRenderer::kMaxPieceFrames + 1)] = {};
  int sourceFrames_ = 0;
  double position_ = 0.0;  // in source frames, within source_

  Slide rateSlide_{kSampleRate, kSampleRate};
  Slide volumeSlide_;
  bool stopAfterVolume_ = false;
  bool stopped_ = false;
};

}  // namespace tarvola
