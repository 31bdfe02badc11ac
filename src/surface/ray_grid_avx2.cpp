// The ray grid's block rows on AVX2: a block is eight pixels wide, so a row is one register of
// eight lanes. The same integer arithmetic as fillRows in ray_grid.cpp: each quantity at lane i
// is the row's start plus i times its step (wrapping, as i wrapping adds are), texels fetched
// by gathers, the combine of combineTexelRow. This file alone is compiled with -mavx2;
// ray_grid.cpp calls it only while the AVX2 (or a wider) path is in use and every shade of the
// block lies in 0..255.
#include "surface/ray_grid_wide.h"

#include <cstddef>
#include <cstdint>

#if defined(__AVX2__)
#include <immintrin.h>
#endif

namespace tarvola {

#if defined(__AVX2__)

namespace {

// fixed_point.h's wrapping 16.16 add and subtract, kept here: an inline function of a shared
// header used in this file could be emitted here with AVX2 code and serve the whole program.
inline int32_t wrappingAdd(int32_t a, int32_t b) { return int32_t(uint32_t(a) + uint32_t(b)); }
inline int32_t wrappingSub(int32_t a, int32_t b) { return int32_t(uint32_t(a) - uint32_t(b)); }

inline __m256i gather(const uint32_t* map, __m256i index) {
  return _mm256_i32gather_epi32(reinterpret_cast<const int*>(map), index, 4);
}

// Per pixel: min(texel + env, 255) per byte, then blue, green and red times the shade >> 8, the
// top byte kept; 16-bit lanes of the widened bytes, as combineTexelRow.
inline __m256i combine(__m256i texels, __m256i envTexels, __m256i shades) {
  const __m256i zero = _mm256_setzero_si256();
  const __m256i sum = _mm256_adds_epu8(texels, envTexels);
  const __m256i s16 = _mm256_or_si256(shades, _mm256_slli_epi32(shades, 16));
  const __m256i topMask = _mm256_set_epi16(-1, 0, 0, 0, -1, 0, 0, 0, -1, 0, 0, 0, -1, 0, 0, 0);
  const __m256i keepTop = _mm256_set_epi16(256, 0, 0, 0, 256, 0, 0, 0, 256, 0, 0, 0, 256, 0, 0, 0);
  const __m256i mulLo = _mm256_or_si256(_mm256_andnot_si256(topMask, _mm256_unpacklo_epi32(s16, s16)), keepTop);
  const __m256i mulHi = _mm256_or_si256(_mm256_andnot_si256(topMask, _mm256_unpackhi_epi32(s16, s16)), keepTop);
  const __m256i lo = _mm256_srli_epi16(_mm256_mullo_epi16(_mm256_unpacklo_epi8(sum, zero), mulLo), 8);
  const __m256i hi = _mm256_srli_epi16(_mm256_mullo_epi16(_mm256_unpackhi_epi8(sum, zero), mulHi), 8);
  return _mm256_packus_epi16(lo, hi);
}

}  // namespace

// The 8 rows of a block from the 16.16 edge starts and steps of u, v, envU, envV and shade;
// tex holds 256 x 256 + 256 texels (the spare row), env 256 x 256.
bool fillBlockRowsAvx2(uint32_t* out, size_t stride, const uint32_t* tex, const uint32_t* env, const int32_t* leftStart,
                       const int32_t* rightStart, const int32_t* leftStep, const int32_t* rightStep) {
  const __m256i lane = _mm256_setr_epi32(0, 1, 2, 3, 4, 5, 6, 7);
  const __m256i low = _mm256_set1_epi32(255);
  int32_t left[5], right[5];
  for (int q = 0; q < 5; ++q) left[q] = leftStart[q], right[q] = rightStart[q];
  for (int32_t j = 0; j < 8; ++j, out += stride) {
    __m256i value[5];
    for (int q = 0; q < 5; ++q) {
      const int32_t step = wrappingSub(right[q], left[q]) >> 3;
      value[q] = _mm256_add_epi32(_mm256_set1_epi32(left[q]), _mm256_mullo_epi32(lane, _mm256_set1_epi32(step)));
    }
    auto whole = [](__m256i fixed) { return _mm256_srai_epi32(fixed, 16); };
    const __m256i k = _mm256_or_si256(_mm256_slli_epi32(_mm256_and_si256(whole(value[1]), low), 8),
                                      _mm256_and_si256(whole(value[0]), low));
    const __m256i texels = gather(tex, k);
    const __m256i h = _mm256_srli_epi32(texels, 24);
    const __m256i hRight = _mm256_srli_epi32(gather(tex, _mm256_add_epi32(k, _mm256_set1_epi32(1))), 24);
    const __m256i hDown = _mm256_srli_epi32(gather(tex, _mm256_add_epi32(k, _mm256_set1_epi32(256))), 24);
    const __m256i row = _mm256_and_si256(_mm256_add_epi32(_mm256_sub_epi32(hDown, h), whole(value[3])), low);
    const __m256i column = _mm256_and_si256(_mm256_add_epi32(_mm256_sub_epi32(hRight, h), whole(value[2])), low);
    const __m256i envTexels = gather(env, _mm256_or_si256(_mm256_slli_epi32(row, 8), column));
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(out), combine(texels, envTexels, whole(value[4])));
    for (int q = 0; q < 5; ++q) {
      left[q] = wrappingAdd(left[q], leftStep[q]);
      right[q] = wrappingAdd(right[q], rightStep[q]);
    }
  }
  return true;
}

#else

bool fillBlockRowsAvx2(uint32_t*, size_t, const uint32_t*, const uint32_t*, const int32_t*, const int32_t*,
                       const int32_t*, const int32_t*) {
  return false;
}

#endif

}  // namespace tarvola
