// libopenmpt rendering with row-by-row sync detection.
#include "runtime/module_renderer.h"

#include <libopenmpt/libopenmpt.h>

#include <algorithm>
#include <cassert>
#include <cstdio>
#include <vector>

#include "runtime/file_bytes.h"

namespace tarvola {

ModuleRenderer::~ModuleRenderer() { unload(); }

bool ModuleRenderer::load(const void* bytes, size_t size) {
  unload();
  if (bytes == nullptr || size == 0) return false;
  int error = 0;
  module_ = openmpt_module_create_from_memory2(bytes, size, openmpt_log_func_silent, nullptr,
                                               openmpt_error_func_ignore, nullptr, &error,
                                               nullptr, nullptr);
  if (module_ == nullptr) return false;
  openmpt_module_set_repeat_count(module_, -1);
  channels_ = openmpt_module_get_num_channels(module_);
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
  frame_ = 0;
  lastOrder_ = -1;
  lastRow_ = -1;
}

double ModuleRenderer::durationSeconds() const {
  return module_ != nullptr ? openmpt_module_get_duration_seconds(module_) : 0.0;
}

void ModuleRenderer::scanRow(int32_t pattern, int32_t row, int64_t frame, SyncHitHandler handler,
                             void* user) {
  for (int32_t channel = 0; channel < channels_; ++channel) {
    const uint8_t effect = openmpt_module_get_pattern_row_channel_command(
        module_, pattern, row, channel, OPENMPT_MODULE_COMMAND_EFFECT);
    const uint8_t parameter = openmpt_module_get_pattern_row_channel_command(
        module_, pattern, row, channel, OPENMPT_MODULE_COMMAND_PARAMETER);
    if (isSyncEffect(effect, parameter) && handler != nullptr)
      handler(user, SyncHit{frame, static_cast<uint32_t>(parameter & 0x0F)});
  }
}

void ModuleRenderer::render(float* out, int frames, SyncHitHandler handler, void* user,
                            int pieceFrames) {
  assert(pieceFrames >= 1 && pieceFrames <= kMaxPieceFrames);
  pieceFrames = std::clamp(pieceFrames, 1, kMaxPieceFrames);
  if (module_ == nullptr) {
    std::fill(out, out + 2 * static_cast<size_t>(std::max(frames, 0)), 0.0f);
    return;
  }
  int done = 0;
  while (done < frames) {
    const int piece = std::min(pieceFrames, frames - done);
    const size_t got = openmpt_module_read_interleaved_float_stereo(
        module_, kSampleRate, static_cast<size_t>(piece), out + 2 * static_cast<size_t>(done));
    // A looping module always fills the piece; anything short is padded with silence.
    std::fill(out + 2 * (static_cast<size_t>(done) + got), out + 2 * (static_cast<size_t>(done) + piece), 0.0f);
    const int32_t order = openmpt_module_get_current_order(module_);
    const int32_t row = openmpt_module_get_current_row(module_);
    if (order != lastOrder_ || row != lastRow_) {
      lastOrder_ = order;
      lastRow_ = row;
      scanRow(openmpt_module_get_current_pattern(module_), row, frame_, handler, user);
    }
    frame_ += piece;
    done += piece;
  }
}

}  // namespace tarvola
