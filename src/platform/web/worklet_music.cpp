// The page's music engine, compiled with libopenmpt into the AudioWorklet's script: the module
// rendered exactly as the capture renderer renders it at 60 fps (pieces of one picture frame,
// cut by ModuleRenderer::kExactRowStarts), so the samples equal the capture's sound and every
// sync carries the first sample of its row; on request the closing kFadeOut over the module's
// next samples, cut as the capture renders them after the last frame, but rendered piece by
// piece as the fade plays them, so no pull takes the time of the whole fade's source. The
// worklet's JavaScript (web/music_worklet.js) only moves the pulled samples and the syncs
// through these C calls.
#include <emscripten.h>

#include <algorithm>
#include <cstdint>
#include <vector>

#include "music/module_renderer.h"
#include "music/music_stream.h"
#include "runtime/offline_host.h"

namespace tarvola {
namespace {

// The capture's default lock-step: 60 pictures a second, 735 samples each.
constexpr int kPieceFrames = kSampleRate / kDefaultFps;
static_assert(kPieceFrames * kDefaultFps == kSampleRate, "every picture frame has the same samples");
// The most frames one pull returns.
constexpr int kMaxPullFrames = 4096;

}  // namespace

// One engine: the module, the piece being played, the fade and the syncs found since the last
// drop; the worklet's processor owns one.
struct WorkletMusic {
  ModuleRenderer module;
  float piece[2 * kPieceFrames] = {};
  int pieceLeft = 0;  // frames at the end of `piece` not pulled yet
  MusicStream fade;
  bool fading = false;
  int64_t fadePulled = 0;
  int64_t fadeRendered = 0;  // frames of the module rendered for the fade's source
  int fadeCarried = 0;       // frames of the piece playing when the fade began, its source's start
  float fadePiece[2 * ModuleRenderer::kMaxPieceFrames] = {};
  bool stopped = false;
  std::vector<SyncHit> syncs;  // found since the last drop
  float out[2 * kMaxPullFrames] = {};

  static void collect(void* user, const SyncHit& hit) { static_cast<WorkletMusic*>(user)->syncs.push_back(hit); }

  // Fills `frames` output frames from the module, the fade or silence.
  void pull(int frames) {
    for (int done = 0; done < frames;) {
      float* into = out + 2 * done;
      if (stopped) {
        std::fill(into, out + 2 * frames, 0.0f);
        return;
      }
      int count = frames - done;
      if (fading) {
        // The volume slide starts on its own frame, as the capture pulls it.
        if (fadePulled < kFadeVolumeFrame) count = int(std::min<int64_t>(count, kFadeVolumeFrame - fadePulled));
        renderFadeSource(fadePulled + count + kFadeLookAheadFrames);
        fade.pull(into, count);
        fadePulled += count;
        if (fadePulled == kFadeVolumeFrame) fade.slideVolumeToSilenceAndStop(kFadeOut.volumeMs);
        stopped = fade.stopped();
      } else {
        if (pieceLeft == 0) {
          module.render(piece, kPieceFrames, &collect, this, ModuleRenderer::kExactRowStarts);
          pieceLeft = kPieceFrames;
        }
        count = std::min(count, pieceLeft);
        const float* from = piece + 2 * (kPieceFrames - pieceLeft);
        std::copy(from, from + 2 * count, into);
        pieceLeft -= count;
      }
      done += count;
    }
  }

  // The rate slide from the next frame on, over the rest of the current piece and then the
  // module's following kFadeSourceFrames (after the last picture frame that is the capture's
  // source exactly); nothing loaded: silence at once.
  void startFade() {
    if (fading || stopped) return;
    if (!module.loaded()) {
      stopped = true;
      return;
    }
    std::vector<float> source;
    source.reserve(2 * size_t(pieceLeft + kFadeSourceFrames));
    const float* rest = piece + 2 * (kPieceFrames - pieceLeft);
    source.assign(rest, rest + 2 * pieceLeft);
    fade.loadStream(std::move(source));
    fade.slideRate(kFadeOut.rateHz, kFadeOut.rateMs);
    fading = true;
    fadePulled = 0;
    fadeRendered = 0;
    fadeCarried = pieceLeft;
    pieceLeft = 0;
  }

  // Makes the fade's source `frames` long (at most all of it), one piece per call, so the
  // module is cut as by the capture's one call of kFadeSourceFrames.
  void renderFadeSource(int64_t frames) {
    while (fadeCarried + fadeRendered < frames && fadeRendered < kFadeSourceFrames) {
      const int count = int(
          std::min<int64_t>(module.nextPieceFrames(ModuleRenderer::kExactRowStarts), kFadeSourceFrames - fadeRendered));
      module.render(fadePiece, count, nullptr, nullptr, ModuleRenderer::kExactRowStarts);
      fade.appendStream(fadePiece, size_t(count));
      fadeRendered += count;
    }
  }
};

}  // namespace tarvola

using tarvola::WorkletMusic;

extern "C" {

// A new engine with nothing loaded, owned by the worklet's processor for as long as it plays.
EMSCRIPTEN_KEEPALIVE WorkletMusic* tarvolaMusicCreate() { return new WorkletMusic; }

// Takes the module's bytes (the caller keeps them); 0 when libopenmpt does not take them as a
// module, and the engine stays silent.
EMSCRIPTEN_KEEPALIVE int tarvolaMusicLoad(WorkletMusic* music, const uint8_t* bytes, int size) {
  music->syncs.reserve(256);
  return music->module.load(bytes, size_t(std::max(size, 0))) ? 1 : 0;
}

// The most frames one pull returns.
EMSCRIPTEN_KEEPALIVE int tarvolaMusicMaxPull() { return tarvola::kMaxPullFrames; }

// The next `frames` (at most tarvolaMusicMaxPull) stereo frames, interleaved float at
// kSampleRate; valid until the next call. Syncs found on the way wait for the drain.
EMSCRIPTEN_KEEPALIVE const float* tarvolaMusicPull(WorkletMusic* music, int frames) {
  music->pull(std::clamp(frames, 0, tarvola::kMaxPullFrames));
  return music->out;
}

// Starts kFadeOut with the next frame pulled: the rate slide to rateHz, after volumeAfterMs the
// volume slide to silence, then the stop.
EMSCRIPTEN_KEEPALIVE void tarvolaMusicFade(WorkletMusic* music) { music->startFade(); }

// 1 once the fade has ended (or faded with nothing loaded): every later pull is silence.
EMSCRIPTEN_KEEPALIVE int tarvolaMusicStopped(WorkletMusic* music) { return music->stopped ? 1 : 0; }

// The syncs found since the last drop, in order: sample (frames of the module rendered before
// its row) and value (x of S2x).
EMSCRIPTEN_KEEPALIVE int tarvolaMusicSyncCount(WorkletMusic* music) { return int(music->syncs.size()); }
EMSCRIPTEN_KEEPALIVE double tarvolaMusicSyncSample(WorkletMusic* music, int i) {
  return double(music->syncs[size_t(i)].sample);
}
EMSCRIPTEN_KEEPALIVE int tarvolaMusicSyncValue(WorkletMusic* music, int i) {
  return int(music->syncs[size_t(i)].value);
}
EMSCRIPTEN_KEEPALIVE void tarvolaMusicDropSyncs(WorkletMusic* music) { music->syncs.clear(); }

}  // extern "C"
