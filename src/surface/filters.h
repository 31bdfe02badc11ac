// 2D filters run on full-screen surfaces every frame: a horizontal box blur from one surface
// into another, an in-place five-point blur and an in-place radial zoom blur with its
// bilinear sampler. The in-place filters read pixels they have already rewritten in the same
// pass; that feedback (smears toward the bottom right, streaks away from the zoom centre) is
// the look, so the visiting orders below are part of the contract.
#pragma once

#include <cstdint>

#include "surface/surface.h"

namespace tarvola {

// Each row of source averaged over 2 * radius + 1 pixels into target (all four bytes): running
// sums, trunc(sum * recip) with recip = 1 / (2r + 1) rounded to float. The divisor stays 2r + 1
// where the window is cut by the row ends, so the ends darken. Radius 0 copies
// target.width * target.height pixels; a radius >= width acts as width - 1. Rows are written
// contiguously from the target's start, never past either buffer.
void boxBlurRows(Surface& target, const Surface& source, uint32_t radius);

// In place, rows 1..h-2 top to bottom, columns 1..w-2 left to right: each colour byte becomes
// (left + right + up + down + centre) / 5, truncated, where left and up are already rewritten.
// The border and every top byte stay.
void crossBlur(Surface& surface);

// In place: every pixel p becomes ((p * k) >> 8) + ((q * (255 - k)) >> 8), k = keep's low byte,
// q sampled toward (centreX, centreY) by step / 65536 of the distance, reading the buffer as
// rewritten so far (inner pixels first). The surface must be 320 wide, 0 <= centreX <= width - 3,
// 0 <= centreY <= height - 3 and 1 <= step < 65536; otherwise the call does nothing.
void radialZoomBlur(Surface& surface, int32_t centreX, int32_t centreY, int32_t step, int32_t keep);

namespace plain {
// The per-byte references (the fast versions give the same bytes for every input).
void boxBlurRows(Surface& target, const Surface& source, uint32_t radius);
// Bilinear sample of a 320-pixel-wide buffer at 16.16 (u, v), the zoom blur's tap: weights
// ((65535 - f) * (65535 - g)) >> 24 etc., each byte min(255, sum of (p * w) >> 8).
// Sampling exactly at a pixel gives (c * 255) >> 8. The 2x2 neighbourhood must lie inside.
uint32_t sampleBilinear320(const uint32_t* pixels, int32_t u, int32_t v);
void radialZoomBlur(Surface& surface, int32_t centreX, int32_t centreY, int32_t step, int32_t keep);
void crossBlur(Surface& surface);
}  // namespace plain

}  // namespace tarvola
