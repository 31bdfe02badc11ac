// Full-screen 2D generators driven by a scene's time t (hundredths of a second): a texture warp
// whose four screen corners take oscillating texture coordinates, the product of two sliding
// windows of 640-wide pictures, and an interference of two polar angle maps. Trigonometry runs
// once per frame (or once at start-up for the polar tables); per pixel there is only integer
// stepping and table lookup with 8-bit wrap-around.
//
// Textures are read as 256 x 256 texel arrays (index = (row & 255) * 256 + (column & 255)) and
// must hold at least 65 536 pixels; targets at least 320 x 240. A call whose surfaces are too
// small for what it reads or writes does nothing.
#pragma once

#include <cstdint>
#include <vector>

#include "surface/surface.h"

namespace tarvola {

// Degrees to radians with pi as 3.1415 in single precision, as a double, and the products
// k * D that the generators use (written out so that no rounding differs).
inline constexpr double kAngleD = 0.017452777756585016;
inline constexpr double kAngle02D = 0.0034905555513170036;
inline constexpr double kAngle03D = 0.0052358333269755045;
inline constexpr double kAngle04D = 0.006981111102634007;
inline constexpr double kAngle05D = 0.008726388878292508;
inline constexpr double kAngle07D = 0.01221694442960951;
inline constexpr double kAngle08D = 0.013962222205268014;
inline constexpr double kAngle11D = 0.01919805553224352;
inline constexpr double kAngle14D = 0.02443388885921902;

// 320 x 240 pixels from the start of target: the texture spread between four corners whose
// texture coordinates oscillate with t; 16.16 edges stepped per row, spans per pixel.
void drawCornerWarp(Surface& target, const Surface& texture, float t);

// Each byte of target pixel (x, y) = (a * b) >> 8, a from imageA at (ax + x, ay + y) and b from
// imageB at (bx + x, by + y), both read with a row length of 640.
void multiplyWindows(Surface& target, const Surface& imageA, const Surface& imageB, int32_t ax, int32_t ay, int32_t bx,
                     int32_t by);

struct PolarEntry {
  int32_t u;
  int32_t v;
};

// Two 640 x 480 angle maps centred at (320, 240), entry index = row * 640 + column; u and v in
// 0..256. tableA: u = |angle of (dx over dy)| mapped to 0..256, v = a two-period sine of it;
// tableB the same with the axes exchanged and u, v swapped.
struct PolarTables {
  std::vector<PolarEntry> tableA;
  std::vector<PolarEntry> tableB;
  // The same entries as (u & 255) | (v & 255) << 8, which is all the interference reads: it
  // sums entries modulo 256. A quarter of the bytes, and a pair adds as one 16-bit lane.
  std::vector<uint16_t> packedA;
  std::vector<uint16_t> packedB;
};

inline constexpr int32_t kPolarWidth = 640;
inline constexpr int32_t kPolarHeight = 480;

// Fills `tables` (the interference scene builds its set once, at its init).
void buildPolarTables(PolarTables& tables);

// 320 x 240 pixels: two texels chosen through five moving windows of the polar tables,
// added per byte with saturation. Does nothing with tables that buildPolarTables has not filled.
void drawPolarInterference(Surface& target, const Surface& texture, const PolarTables& tables, float t);

namespace plain {
// Reference of the interference's per-pixel loop (the fast one adds four pixels at a time).
void drawPolarInterference(Surface& target, const Surface& texture, const PolarTables& tables, float t);
}  // namespace plain

}  // namespace tarvola
