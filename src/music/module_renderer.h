// Renders a tracker module through libopenmpt to interleaved stereo float at kSampleRate,
// looping forever, and reports every sync effect (S2x on any channel; x is the value)
// together with the frame at which its row was found. No device, no threads: the player's
// stream and the offline capture renderer both pull from it, each with its own piece policy.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

struct openmpt_module;

namespace tarvola {

// The one sample rate of the music, its player, its outputs and the capture's sound.
inline constexpr int kSampleRate = 44100;

struct SyncHit {
  int64_t sample;  // frames rendered before the piece in which the row was entered
  uint32_t value;  // x of S2x
};

using SyncHitHandler = void (*)(void* user, const SyncHit& hit);

// How render cuts its output into the pieces it reads from libopenmpt. The mixer's output
// depends on the cut (not only on the total), so each user keeps to one policy all along.
struct PiecePolicy {
  // Pieces of this many frames (1..kMaxPieceFrames); the last one of a call may be shorter.
  int frames;
  // Pieces of one frame while the next row may hold a sync (the next row in the pattern
  // holds one, or the current row may leave the plain row order or ends its pattern), so
  // every hit's sample is exactly the first frame of its row.
  bool exactRowStarts;
};

class ModuleRenderer {
 public:
  // A piece longer than this can pass over a whole row at high tempo without seeing it.
  static constexpr int kMaxPieceFrames = 256;
  // The player's stream: whole pieces of kMaxPieceFrames.
  static constexpr PiecePolicy kFixedPieces{kMaxPieceFrames, false};
  // The capture's lock-step renderer: sample-exact sync positions at little extra cost.
  static constexpr PiecePolicy kExactRowStarts{kMaxPieceFrames, true};

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

  // Renders `frames` stereo frames into `out` (2 * frames floats) in pieces cut by `policy`.
  // After each piece the row being played is compared with the last one; on every row
  // entered, each S2x on it goes to `handler` in channel order. Nothing loaded: silence.
  // Allocates nothing.
  void render(float* out, int64_t frames, SyncHitHandler handler, void* user, PiecePolicy policy = kFixedPieces);
  // The frames of the piece render cuts next under `policy`, before the call's own limit: calls
  // of exactly this many frames cut the module as one longer call does.
  int nextPieceFrames(PiecePolicy policy) const;

  int64_t framesRendered() const { return frame_; }
  // Length of one pass through the order list, in seconds (0 when unloaded).
  double durationSeconds() const;

 private:
  // Per pattern row: holds a sync; may leave the plain row order (pattern break, position
  // jump, pattern loop) or is its pattern's last row.
  enum : uint8_t { kHoldsSync = 1, kLeavesOrder = 2 };
  uint8_t rowFlags(int32_t pattern, int32_t row) const;
  bool nearSyncRow() const;

  openmpt_module* module_ = nullptr;
  int32_t channels_ = 0;
  std::vector<std::vector<uint8_t>> rowFlags_;  // [pattern][row], built at load
  int64_t frame_ = 0;
  int32_t lastOrder_ = -1;
  int32_t lastRow_ = -1;
  int32_t lastPattern_ = -1;
};

// True when the effect column holds S2x with x = value (libopenmpt reports S as effect 20 and
// the whole parameter byte).
inline bool isSyncEffect(uint8_t effect, uint8_t parameter) { return effect == 20 && (parameter & 0xF0) == 0x20; }

}  // namespace tarvola
