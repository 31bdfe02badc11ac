// Whole-surface compositing: a block copy, fades, brightening, the multiply used for the
// letterbox overlay and masks, and an inversion blend. Per-byte arithmetic on 8-bit channels,
// products shifted right by 8 (a full weight of 255 darkens by one step).
//
// The kernels below work on raw pixel runs. `plain` holds the reference, one byte at a time,
// exactly as the formulas read; `fast` is the SSE2 version (four pixels per step) on x86-64
// and the reference elsewhere. Both give the same bytes for every input (tested).
#pragma once

#include <cstddef>
#include <cstdint>

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

namespace fast {
void scale(uint32_t* pixels, size_t count, uint32_t level);
void fadeToColour(uint32_t* pixels, size_t count, uint32_t level, uint32_t colour);
void blend(uint32_t* target, const uint32_t* source, size_t count, uint32_t level);
void brighten(uint32_t* pixels, size_t count, uint32_t amount);
void addBrightness(uint32_t* pixels, size_t count, int32_t amount);
void multiply(uint32_t* target, const uint32_t* source, size_t count);
void invertBlend(uint32_t* pixels, size_t count, uint32_t level);
}  // namespace fast

}  // namespace tarvola
