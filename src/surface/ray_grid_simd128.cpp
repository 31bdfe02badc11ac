// The ray grid's block rows on WebAssembly's 128-bit SIMD: a block row of eight pixels as two
// registers of four lanes. The same integer arithmetic as fillRows in ray_grid.cpp (each
// quantity at lane i the row's start plus i times its step, wrapping as i wrapping adds are);
// texels are fetched lane by lane, as WebAssembly has no gather, and combined as
// combineTexelRow. ray_grid.cpp calls it only on the Simd128 path and when every shade of the
// block lies in 0..255; other builds get the stub.
#include "surface/ray_grid_wide.h"

#include <cstddef>
#include <cstdint>

#if defined(__wasm_simd128__)
#include <wasm_simd128.h>
#endif

namespace tarvola {

#if defined(__wasm_simd128__)

namespace {

// fixed_point.h's wrapping 16.16 add and subtract, kept here with the rest of this file's code.
inline int32_t wrappingAdd(int32_t a, int32_t b) { return int32_t(uint32_t(a) + uint32_t(b)); }
inline int32_t wrappingSub(int32_t a, int32_t b) { return int32_t(uint32_t(a) - uint32_t(b)); }

// map[index + offset] for each of the four lanes of index.
inline v128_t fetch(const uint32_t* map, v128_t index, int32_t offset) {
  v128_t v = wasm_v128_load32_zero(map + wasm_i32x4_extract_lane(index, 0) + offset);
  v = wasm_v128_load32_lane(map + wasm_i32x4_extract_lane(index, 1) + offset, v, 1);
  v = wasm_v128_load32_lane(map + wasm_i32x4_extract_lane(index, 2) + offset, v, 2);
  return wasm_v128_load32_lane(map + wasm_i32x4_extract_lane(index, 3) + offset, v, 3);
}

// Four pixels from the 16.16 u, v, envU, envV and shade of their lanes (shades 0..255):
// min(texel + env, 255) per byte, then the colour bytes times the shade >> 8 in 16-bit lanes
// (at most 255 * 255), the top byte times 256 >> 8, kept.
inline void fourPixels(uint32_t* out, const uint32_t* tex, const uint32_t* env, const v128_t* value) {
  const v128_t low = wasm_i32x4_splat(255);
  const v128_t k = wasm_v128_or(wasm_v128_and(wasm_i32x4_shr(value[1], 8), wasm_i32x4_splat(0xFF00)),
                                wasm_v128_and(wasm_i32x4_shr(value[0], 16), low));
  const v128_t texels = fetch(tex, k, 0);
  const v128_t h = wasm_u32x4_shr(texels, 24);
  const v128_t hRight = wasm_u32x4_shr(fetch(tex, k, 1), 24);   // column 255: next row's column 0
  const v128_t hDown = wasm_u32x4_shr(fetch(tex, k, 256), 24);  // row 255: the spare row
  const v128_t row = wasm_v128_and(wasm_i32x4_add(wasm_i32x4_sub(hDown, h), wasm_i32x4_shr(value[3], 16)), low);
  const v128_t column = wasm_v128_and(wasm_i32x4_add(wasm_i32x4_sub(hRight, h), wasm_i32x4_shr(value[2], 16)), low);
  const v128_t envTexels = fetch(env, wasm_v128_or(wasm_i32x4_shl(row, 8), column), 0);
  const v128_t sum = wasm_u8x16_add_sat(texels, envTexels);
  const v128_t shade = wasm_i32x4_shr(value[4], 16), top = wasm_i16x8_splat(256);
  const v128_t first =
      wasm_i16x8_mul(wasm_u16x8_extend_low_u8x16(sum), wasm_i16x8_shuffle(shade, top, 0, 0, 0, 8, 2, 2, 2, 8));
  const v128_t second =
      wasm_i16x8_mul(wasm_u16x8_extend_high_u8x16(sum), wasm_i16x8_shuffle(shade, top, 4, 4, 4, 8, 6, 6, 6, 8));
  wasm_v128_store(out, wasm_u8x16_narrow_i16x8(wasm_u16x8_shr(first, 8), wasm_u16x8_shr(second, 8)));
}

}  // namespace

// The 8 rows of a block from the 16.16 edge starts and steps of u, v, envU, envV and shade;
// tex holds 256 x 256 + 256 texels (the spare row), env 256 x 256.
bool fillBlockRowsSimd128(uint32_t* out, size_t stride, const uint32_t* tex, const uint32_t* env,
                          const int32_t* leftStart, const int32_t* rightStart, const int32_t* leftStep,
                          const int32_t* rightStep) {
  const v128_t lane = wasm_i32x4_make(0, 1, 2, 3);
  int32_t left[5], right[5];
  for (int q = 0; q < 5; ++q) left[q] = leftStart[q], right[q] = rightStart[q];
  for (int32_t j = 0; j < 8; ++j, out += stride) {
    v128_t first[5], second[5];
    for (int q = 0; q < 5; ++q) {
      const int32_t step = wrappingSub(right[q], left[q]) >> 3;
      first[q] = wasm_i32x4_add(wasm_i32x4_splat(left[q]), wasm_i32x4_mul(lane, wasm_i32x4_splat(step)));
      second[q] = wasm_i32x4_add(first[q], wasm_i32x4_splat(int32_t(uint32_t(step) * 4u)));
    }
    fourPixels(out, tex, env, first);
    fourPixels(out + 4, tex, env, second);
    for (int q = 0; q < 5; ++q) {
      left[q] = wrappingAdd(left[q], leftStep[q]);
      right[q] = wrappingAdd(right[q], rightStep[q]);
    }
  }
  return true;
}

#else

bool fillBlockRowsSimd128(uint32_t*, size_t, const uint32_t*, const uint32_t*, const int32_t*, const int32_t*,
                          const int32_t*, const int32_t*) {
  return false;
}

#endif

}  // namespace tarvola
