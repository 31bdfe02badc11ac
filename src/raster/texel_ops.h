// Per-pixel texel maths of the fillers: 256 x 256 map addressing with wrap-around, the height
// displacement of the second lookup, and the byte-wise combines of two texels. Each combine is
// written plainly per byte (the reference) and, on x86-64, with SSE2 on four 16-bit lanes; the
// web build has its own WebAssembly SIMD forms.
#pragma once

#include <cstdint>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif
#if defined(__wasm_simd128__)
#include <wasm_simd128.h>
#endif

namespace tarvola {

// Texel index of 16.16 coordinates in a 256 x 256 map: ((v >> 16) & 0xFF) * 256 + ((u >> 16) & 0xFF).
// Both coordinates wrap every 256 texels; the shifts are arithmetic (u = -1.0 reads column 255).
inline uint32_t texelIndex(int32_t u, int32_t v) {
  return (uint32_t(v >> 16) & 0xFFu) << 8 | (uint32_t(u >> 16) & 0xFFu);
}

// The height of a texel is its red byte.
inline int32_t texelHeight(uint32_t pixel) { return int32_t(pixel >> 16 & 0xFFu); }

// Second lookup displaced by the slope of the height map at the first lookup's texel i1: the
// neighbours are the next texel in memory and the texel one row further, both taken modulo
// 65536 so the last row and the last texel wrap to the top of the map instead of past its end.
// column = ((s >> 16) + hx - h0) & 0xFF, row = ((t >> 16) + hy - h0) & 0xFF.
inline uint32_t displacedIndex(const uint32_t* heightMap, uint32_t i1, int32_t s, int32_t t) {
  const int32_t h0 = texelHeight(heightMap[i1]);
  const int32_t hx = texelHeight(heightMap[(i1 + 1) & 0xFFFFu]);
  const int32_t hy = texelHeight(heightMap[(i1 + 256) & 0xFFFFu]);
  const uint32_t column = uint32_t((s >> 16) + hx - h0) & 0xFFu;
  const uint32_t row = uint32_t((t >> 16) + hy - h0) & 0xFFu;
  return row << 8 | column;
}

// The same index from the slopes of the height map at i1, d = (hx - h0) mod 256 | ((hy - h0) mod
// 256) << 8, and the undisplaced index st = texelIndex(s, t): each slope added to its byte of st
// modulo 256 is the slope added to s >> 16 or t >> 16 before the & 0xFF. The fillers' fast span,
// which forms st for every pixel anyway, uses this form.
inline uint32_t displaceIndex(const uint16_t* slopes, uint32_t i1, uint32_t st) {
  const uint32_t d = slopes[i1];
  return (((st >> 8) + (d >> 8)) & 0xFFu) << 8 | ((st + d) & 0xFFu);
}

// The reference combines, byte by byte over all four bytes (the top byte too).
// Product: (a * b) >> 8, never above 254 (a full 255 darkens by one step).
inline uint32_t combineProductPlain(uint32_t x, uint32_t y) {
  uint32_t out = 0;
  for (int shift = 0; shift < 32; shift += 8) out |= (((x >> shift & 0xFFu) * (y >> shift & 0xFFu)) >> 8) << shift;
  return out;
}
// Average: (a + b) >> 1, rounding down.
inline uint32_t combineAveragePlain(uint32_t x, uint32_t y) {
  uint32_t out = 0;
  for (int shift = 0; shift < 32; shift += 8) out |= (((x >> shift & 0xFFu) + (y >> shift & 0xFFu)) >> 1) << shift;
  return out;
}
// Saturating sum: min(a + b, 255).
inline uint32_t combineSaturatingSumPlain(uint32_t x, uint32_t y) {
  uint32_t out = 0;
  for (int shift = 0; shift < 32; shift += 8) {
    const uint32_t sum = (x >> shift & 0xFFu) + (y >> shift & 0xFFu);
    out |= (sum > 255u ? 255u : sum) << shift;
  }
  return out;
}

#if defined(__wasm_simd128__)
// WebAssembly SIMD: the four bytes in one register's low lanes, combined as bytes (the SSE2
// forms below would cost the web build three shuffles apiece).
inline v128_t texelBytes(uint32_t x) { return wasm_i32x4_splat(int32_t(x)); }
inline uint32_t firstTexel(v128_t bytes) { return uint32_t(wasm_i32x4_extract_lane(bytes, 0)); }

// (a * b) >> 8 is at most 254, so the narrowing never saturates.
inline uint32_t combineProduct(uint32_t x, uint32_t y) {
  const v128_t product = wasm_u16x8_shr(wasm_u16x8_extmul_low_u8x16(texelBytes(x), texelBytes(y)), 8);
  return firstTexel(wasm_u8x16_narrow_i16x8(product, product));
}
// avgr rounds (a + b) / 2 up; the low bit of a ^ b taken off rounds it down.
inline uint32_t combineAverage(uint32_t x, uint32_t y) {
  const v128_t a = texelBytes(x), b = texelBytes(y);
  return firstTexel(wasm_i8x16_sub(wasm_u8x16_avgr(a, b), wasm_v128_and(wasm_v128_xor(a, b), wasm_i8x16_splat(1))));
}
inline uint32_t combineSaturatingSum(uint32_t x, uint32_t y) {
  return firstTexel(wasm_u8x16_add_sat(texelBytes(x), texelBytes(y)));
}
#elif defined(__SSE2__)
// Four lanes at once: bytes widened to 16 bits, combined, packed back with unsigned saturation.
inline __m128i widenBytes(uint32_t x) { return _mm_unpacklo_epi8(_mm_cvtsi32_si128(int(x)), _mm_setzero_si128()); }
inline uint32_t packLanes(__m128i lanes) { return uint32_t(_mm_cvtsi128_si32(_mm_packus_epi16(lanes, lanes))); }

// (a * b) >> 8 as the high half of (a << 8) * b: one unsigned high multiply per lane.
inline uint32_t combineProduct(uint32_t x, uint32_t y) {
  const __m128i high = _mm_unpacklo_epi8(_mm_setzero_si128(), _mm_cvtsi32_si128(int(x)));
  return packLanes(_mm_mulhi_epu16(high, widenBytes(y)));
}
inline uint32_t combineAverage(uint32_t x, uint32_t y) {
  return packLanes(_mm_srli_epi16(_mm_add_epi16(widenBytes(x), widenBytes(y)), 1));
}
inline uint32_t combineSaturatingSum(uint32_t x, uint32_t y) {
  return packLanes(_mm_add_epi16(widenBytes(x), widenBytes(y)));
}
#else
inline uint32_t combineProduct(uint32_t x, uint32_t y) { return combineProductPlain(x, y); }
inline uint32_t combineAverage(uint32_t x, uint32_t y) { return combineAveragePlain(x, y); }
inline uint32_t combineSaturatingSum(uint32_t x, uint32_t y) { return combineSaturatingSumPlain(x, y); }
#endif

}  // namespace tarvola
