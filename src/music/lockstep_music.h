// The module rendered for the capture renderer: libopenmpt at 44100 Hz stereo float, looping,
// with every sync effect (S2x) reported at the exact first sample of its row, found by
// rendering 1-sample pieces only around the rows that may lead into a sync row.
#pragma once

#include <cstdint>
#include <vector>

struct openmpt_module;

namespace tarvola {

struct TimedSync {
  int64_t sample;  // first sample of the row that holds the S2x
  uint32_t value;  // x
};

class LockstepMusic {
 public:
  static constexpr int kSampleRate = 44100;
  static constexpr int kBigPiece = 256;  // shorter than any row, so no row change is missed

  LockstepMusic() = default;
  ~LockstepMusic();
  LockstepMusic(const LockstepMusic&) = delete;
  LockstepMusic& operator=(const LockstepMusic&) = delete;

  // False (and unloaded) when the file is missing or not a module.
  bool loadFile(const char* path);
  bool loaded() const { return module_ != nullptr; }

  // Renders `frames` stereo frames into out (2 * frames floats) and appends the syncs of every
  // row entered to `hits`, in channel order. The output depends on how the calls split the
  // stream (libopenmpt's mixer does), never on anything else.
  void render(float* out, int64_t frames, std::vector<TimedSync>& hits);
  int64_t framesRendered() const { return frame_; }

 private:
  // Per pattern row: bit 0 holds a sync, bit 1 may leave the plain row order (pattern break,
  // position jump, pattern loop) or is its pattern's last row.
  enum : uint8_t { kHoldsSync = 1, kLeavesOrder = 2 };
  bool nearSyncRow() const;

  openmpt_module* module_ = nullptr;
  int32_t channels_ = 0;
  std::vector<std::vector<uint8_t>> rowFlags_;  // [pattern][row]
  int64_t frame_ = 0;
  int32_t lastOrder_ = -1;
  int32_t lastRow_ = -1;
  int32_t lastPattern_ = -1;
};

}  // namespace tarvola
