// libopenmpt rendering with row-by-row sync detection; see module_renderer.h.
#include "music/module_renderer.h"

#include <libopenmpt/libopenmpt.h>

#include <algorithm>
#include <cassert>
#include <cstdio>
#include <vector>

#include "base/file_bytes.h"

namespace tarvola {

namespace {
// libopenmpt's effect numbers for the commands that change which row comes next.
constexpr uint8_t kEffectPositionJump = 12;
constexpr uint8_t kEffectPatternBreak = 14;
constexpr uint8_t kEffectExtended = 20;  // S; SBx is the pattern loop
}  // namespace

ModuleRenderer::~ModuleRenderer() { unload(); }

bool ModuleRenderer::load(const void* bytes, size_t size) {
  unload();
  if (bytes == nullptr || size == 0) return false;
  int error = 0;
  module_ = openmpt_module_create_from_memory2(bytes, size, openmpt_log_func_silent, nullptr, openmpt_error_func_ignore,
                                               nullptr, &error, nullptr, nullptr);
  if (module_ == nullptr) return false;
  openmpt_module_set_repeat_count(module_, -1);
  channels_ = openmpt_module_get_num_channels(module_);
  const int32_t patterns = openmpt_module_get_num_patterns(module_);
  rowFlags_.assign(static_cast<size_t>(std::max(patterns, 0)), {});
  for (int32_t p = 0; p < patterns; ++p) {
    const int32_t rows = openmpt_module_get_pattern_num_rows(module_, p);
    std::vector<uint8_t>& flags = rowFlags_[static_cast<size_t>(p)];
    flags.assign(static_cast<size_t>(std::max(rows, 0)), 0);
    for (int32_t r = 0; r < rows; ++r) {
      for (int32_t c = 0; c < channels_; ++c) {
        const uint8_t effect =
            openmpt_module_get_pattern_row_channel_command(module_, p, r, c, OPENMPT_MODULE_COMMAND_EFFECT);
        const uint8_t parameter =
            openmpt_module_get_pattern_row_channel_command(module_, p, r, c, OPENMPT_MODULE_COMMAND_PARAMETER);
        if (isSyncEffect(effect, parameter)) flags[static_cast<size_t>(r)] |= kHoldsSync;
        if (effect == kEffectPositionJump || effect == kEffectPatternBreak ||
            (effect == kEffectExtended && (parameter & 0xF0) == 0xB0))
          flags[static_cast<size_t>(r)] |= kLeavesOrder;
      }
    }
    if (rows > 0) flags[static_cast<size_t>(rows - 1)] |= kLeavesOrder;
  }
  return true;
}

bool ModuleRenderer::loadFile(const char* path) {
  unload();
  std::vector<unsigned char> bytes;
  return readFileBytes(path, bytes) && load(bytes.data(), bytes.size());
}

void ModuleRenderer::unload() {
  if (module_ != nullptr) openmpt_module_destroy(module_);
  module_ = nullptr;
  channels_ = 0;
  rowFlags_.clear();
  frame_ = 0;
  lastOrder_ = -1;
  lastRow_ = -1;
  lastPattern_ = -1;
}

double ModuleRenderer::durationSeconds() const {
  return module_ != nullptr ? openmpt_module_get_duration_seconds(module_) : 0.0;
}

// The row's flags; 0 for a pattern or row outside the module.
uint8_t ModuleRenderer::rowFlags(int32_t pattern, int32_t row) const {
  if (pattern < 0 || static_cast<size_t>(pattern) >= rowFlags_.size()) return 0;
  const std::vector<uint8_t>& flags = rowFlags_[static_cast<size_t>(pattern)];
  return row >= 0 && static_cast<size_t>(row) < flags.size() ? flags[static_cast<size_t>(row)] : 0;
}

// True when the row after the current one may hold a sync: before the first row, when the next
// row in the pattern holds one, or when the current row may go anywhere else.
bool ModuleRenderer::nearSyncRow() const {
  if (lastPattern_ < 0 || static_cast<size_t>(lastPattern_) >= rowFlags_.size()) return true;
  const std::vector<uint8_t>& flags = rowFlags_[static_cast<size_t>(lastPattern_)];
  const size_t row = static_cast<size_t>(lastRow_);
  if (row >= flags.size() || (flags[row] & kLeavesOrder) != 0) return true;
  return row + 1 < flags.size() && (flags[row + 1] & kHoldsSync) != 0;
}

int ModuleRenderer::nextPieceFrames(PiecePolicy policy) const {
  assert(policy.frames >= 1 && policy.frames <= kMaxPieceFrames);
  return policy.exactRowStarts && nearSyncRow() ? 1 : std::clamp(policy.frames, 1, kMaxPieceFrames);
}

void ModuleRenderer::render(float* out, int64_t frames, SyncHitHandler handler, void* user, PiecePolicy policy) {
  if (module_ == nullptr) {
    std::fill(out, out + 2 * std::max<int64_t>(frames, 0), 0.0f);
    return;
  }
  int64_t done = 0;
  while (done < frames) {
    const int64_t piece = std::min<int64_t>(nextPieceFrames(policy), frames - done);
    const size_t got =
        openmpt_module_read_interleaved_float_stereo(module_, kSampleRate, static_cast<size_t>(piece), out + 2 * done);
    // A looping module always fills the piece; anything short is padded with silence.
    std::fill(out + 2 * (done + static_cast<int64_t>(got)), out + 2 * (done + piece), 0.0f);
    const int32_t order = openmpt_module_get_current_order(module_);
    const int32_t row = openmpt_module_get_current_row(module_);
    if (order != lastOrder_ || row != lastRow_) {
      lastOrder_ = order;
      lastRow_ = row;
      lastPattern_ = openmpt_module_get_current_pattern(module_);
      if ((rowFlags(lastPattern_, row) & kHoldsSync) != 0 && handler != nullptr) {
        for (int32_t c = 0; c < channels_; ++c) {
          const uint8_t effect = openmpt_module_get_pattern_row_channel_command(module_, lastPattern_, row, c,
                                                                                OPENMPT_MODULE_COMMAND_EFFECT);
          const uint8_t parameter = openmpt_module_get_pattern_row_channel_command(module_, lastPattern_, row, c,
                                                                                   OPENMPT_MODULE_COMMAND_PARAMETER);
          if (isSyncEffect(effect, parameter)) handler(user, SyncHit{frame_, static_cast<uint32_t>(parameter & 0x0F)});
        }
      }
    }
    frame_ += piece;
    done += piece;
  }
}

}  // namespace tarvola
