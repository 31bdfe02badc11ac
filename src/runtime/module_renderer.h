// Renders a tracker module through libopenmpt to 44100 Hz interleaved stereo float, looping
// forever, and reports every sync effect (S2x on any channel; x is the value) together with the
// frame at which its row starts to sound. No device, no threads: the audio output and the
// offline capture renderer both pull from it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

struct openmpt_module;

namespace tarvola {

struct SyncHit {
  int64_t frame;   // frames rendered before the piece in which the row was entered
  uint32_t value;  // x of S2x
};

using SyncHitHandler = void (*)(void* user, const SyncHit& hit);

class ModuleRenderer {
 public:
  static constexpr int kSampleRate = 44100;
  // A piece longer than this can pass over a whole row at high tempo without seeing it.
  static constexpr int kMaxPieceFrames = 256;

  ModuleRenderer() = default;
  ~ModuleRenderer();
  ModuleRenderer(const ModuleRenderer&) = delete;
  ModuleRenderer& operator=(const ModuleRenderer&) = delete;

  // Loads a module from memory or a file and sets it to loop forever; false (and unloaded)
  // when libopenmpt does not recognise the bytes.
  bool load(const void* bytes, size_t size);
  bool loadFile(const char* path);
  void unload();
  bool loaded() const { return module_ != nullptr; }

  // Renders `frames` stereo frames into `out` (2 * frames floats) in pieces of at most
  // `pieceFrames` (1..kMaxPieceFrames). After each piece the row being played is compared with
  // the last one; on every row entered, each S2x on it goes to `handler` in channel order.
  // With pieceFrames 1 a hit's frame is exactly the first frame of its row. Nothing loaded:
  // silence. Allocates nothing.
  void render(float* out, int frames, SyncHitHandler handler, void* user,
              int pieceFrames = kMaxPieceFrames);

  int64_t framesRendered() const { return frame_; }
  // Length of one pass through the order list, in seconds (0 when unloaded).
  double durationSeconds() const;

 private:
  void scanRow(int32_t pattern, int32_t row, int64_t frame, SyncHitHandler handler, void* user);

  openmpt_module* module_ = nullptr;
  int32_t channels_ = 0;
  int64_t frame_ = 0;
  int32_t lastOrder_ = -1;
  int32_t lastRow_ = -1;
};

// True when the effect column holds S2x with x = value (libopenmpt reports S as effect 20 and
// the whole parameter byte).
inline bool isSyncEffect(uint8_t effect, uint8_t parameter) {
  return effect == 20 && (parameter & 0xF0) == 0x20;
}

}  // namespace tarvola
