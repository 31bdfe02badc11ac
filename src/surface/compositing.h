// Whole-surface compositing: a block copy, fades, brightening, the multiply used for the
// letterbox overlay and masks, and an inversion blend. Per-byte arithmetic on 8-bit channels,
// products shifted right by 8 (a full weight of 255 darkens by one step).
//
// The kernels below work on raw pixel runs. `plain` holds the reference, one byte at a time,
// exactly as the formulas read; `fast` runs the active vector path (base/cpu_path.h): AVX-512
// (16 pixels per step), AVX2 (8) or SSE2 (4, the x86-64 baseline), WebAssembly SIMD (4) on the
// page; elsewhere the reference. Every path gives the same bytes for every input (tested).
#pragma once

#include <cstddef>
#include <cstdint>
#include "base/cpu_path.h"
#include "surface/surface.h"

namespace tarvola {

// Copies source.width * source.height pixels to the start of target's buffer as one block,
// never more than target holds. The target's size fields are not changed.
void copySurface(const Surface& source, Surface& target);

// Level and amount arguments of the kernels are already reduced to their low byte, except
// addBrightness's amount, which is used whole.
namespace plain {
void scale(uint32_t* pixels, size_t count, uint32_t level);
void fadeToColour(uint32_t* pixels, size_t count, uint32_t level, uint32_t colour);
void blend(uint32_t* target, const uint32_t* source, size_t count, uint32_t level);
void brighten(uint32_t* pixels, size_t count, uint32_t amount);
void addBrightness(uint32_t* pixels, size_t count, int32_t amount);
void multiply(uint32_t* target, const uint32_t* source, size_t count);
void invertBlend(uint32_t* pixels, size_t count, uint32_t level);
}  // namespace plain

// One vector path's kernels. product writes (a * b) >> 8 per byte to target, which may be a.
struct CompositingKernels {
  void (*scale)(uint32_t* pixels, size_t count, uint32_t level);
  void (*fadeToColour)(uint32_t* pixels, size_t count, uint32_t level, uint32_t colour);
  void (*blend)(uint32_t* target, const uint32_t* source, size_t count, uint32_t level);
  void (*brighten)(uint32_t* pixels, size_t count, uint32_t amount);
  void (*addBrightness)(uint32_t* pixels, size_t count, int32_t amount);
  void (*product)(uint32_t* target, const uint32_t* a, const uint32_t* b, size_t count);
  void (*invertBlend)(uint32_t* pixels, size_t count, uint32_t level);
};

// The kernel table of an available path, or nullptr.
const CompositingKernels* simdKernels(SimdPath path);

namespace fast {
void scale(uint32_t* pixels, size_t count, uint32_t level);
void fadeToColour(uint32_t* pixels, size_t count, uint32_t level, uint32_t colour);
void blend(uint32_t* target, const uint32_t* source, size_t count, uint32_t level);
void brighten(uint32_t* pixels, size_t count, uint32_t amount);
void addBrightness(uint32_t* pixels, size_t count, int32_t amount);
void multiply(uint32_t* target, const uint32_t* source, size_t count);
void invertBlend(uint32_t* pixels, size_t count, uint32_t level);
void product(uint32_t* target, const uint32_t* a, const uint32_t* b, size_t count);
}  // namespace fast

}  // namespace tarvola
