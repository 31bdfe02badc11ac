// The cross blur on AVX-512: eight rows in flight as a wavefront, row y + k at column s - k in
// step s, one pixel of each row per 64-bit field (four 16-bit lanes). This file alone is
// compiled with -mavx512f -mavx512bw; filters.cpp calls it only while the AVX-512 path is in use.
//
// Of the five terms of a pixel only left and up are rewritten values; centre + right + down are
// originals, so they are summed for eight columns of each row at once, and an 8 x 8 transpose
// turns those row runs into the wavefront's steps (and the steps' results back into row runs).
// The serial chain left a step is one add of left, one of up (the step's result moved one field
// along) and the division by 5: (sum * 13108) >> 16, exact for every sum below 16384 (a sum here
// is at most 5 * 255).
#include "surface/filters_wide.h"

#include <cstddef>
#include <cstdint>

#if defined(__AVX512BW__)
// GCC 12's AVX-512 intrinsics start some results from an undefined register and then warn that
// it may be used uninitialised once they are inlined; the headers' own lines are excused.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#endif
#include <immintrin.h>
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic pop
#endif
#endif

namespace tarvola {

#if defined(__AVX512BW__)

namespace {

constexpr int64_t kRows = 8;

// std::min and std::max would be template instances emitted here with AVX-512 code, which the
// linker could pick for the whole program; these stay in this file.
inline int64_t smallerOf(int64_t a, int64_t b) { return a < b ? a : b; }
inline int64_t largerOf(int64_t a, int64_t b) { return a > b ? a : b; }

// Bits i of 0..7 with lo <= c0 + i <= hi.
inline uint32_t columnMask(int64_t c0, int64_t lo, int64_t hi) {
  const int64_t a = largerOf(lo - c0, 0), b = smallerOf(hi - c0, 7);
  return a > b ? 0u : ((2u << b) - 1) & ~((1u << a) - 1);
}

// Eight pixels from `pixel` on, those outside `mask` read as 0 (and not touched), widened to
// 16-bit lanes.
inline __m512i widenedRun(const uint32_t* row, int64_t column, uint32_t mask) {
  if (mask == 0) return _mm512_setzero_si512();
  const __m512i raw = _mm512_maskz_loadu_epi32(__mmask16(mask), row + column);
  return _mm512_cvtepu8_epi16(_mm512_castsi512_si256(raw));
}

// m[k] field j becomes m[j] field k.
inline void transpose8x8(__m512i* m) {
  const __m512i a0 = _mm512_unpacklo_epi64(m[0], m[1]), a1 = _mm512_unpackhi_epi64(m[0], m[1]);
  const __m512i b0 = _mm512_unpacklo_epi64(m[2], m[3]), b1 = _mm512_unpackhi_epi64(m[2], m[3]);
  const __m512i c0 = _mm512_unpacklo_epi64(m[4], m[5]), c1 = _mm512_unpackhi_epi64(m[4], m[5]);
  const __m512i d0 = _mm512_unpacklo_epi64(m[6], m[7]), d1 = _mm512_unpackhi_epi64(m[6], m[7]);
  // Fields 0, 1 of each 128-bit quarter from the first source, 2, 3 from the second.
  const __m512i lowPairs = _mm512_setr_epi64(0, 1, 8, 9, 4, 5, 12, 13);
  const __m512i highPairs = _mm512_setr_epi64(2, 3, 10, 11, 6, 7, 14, 15);
  const __m512i ab0 = _mm512_permutex2var_epi64(a0, lowPairs, b0), ab2 = _mm512_permutex2var_epi64(a0, highPairs, b0);
  const __m512i ab1 = _mm512_permutex2var_epi64(a1, lowPairs, b1), ab3 = _mm512_permutex2var_epi64(a1, highPairs, b1);
  const __m512i cd0 = _mm512_permutex2var_epi64(c0, lowPairs, d0), cd2 = _mm512_permutex2var_epi64(c0, highPairs, d0);
  const __m512i cd1 = _mm512_permutex2var_epi64(c1, lowPairs, d1), cd3 = _mm512_permutex2var_epi64(c1, highPairs, d1);
  m[0] = _mm512_shuffle_i64x2(ab0, cd0, 0x44);
  m[4] = _mm512_shuffle_i64x2(ab0, cd0, 0xEE);
  m[1] = _mm512_shuffle_i64x2(ab1, cd1, 0x44);
  m[5] = _mm512_shuffle_i64x2(ab1, cd1, 0xEE);
  m[2] = _mm512_shuffle_i64x2(ab2, cd2, 0x44);
  m[6] = _mm512_shuffle_i64x2(ab2, cd2, 0xEE);
  m[3] = _mm512_shuffle_i64x2(ab3, cd3, 0x44);
  m[7] = _mm512_shuffle_i64x2(ab3, cd3, 0xEE);
}

inline uint64_t widenedPixel(uint32_t c) {
  return uint64_t(c & 0xFF) | uint64_t((c >> 8) & 0xFF) << 16 | uint64_t((c >> 16) & 0xFF) << 32 |
         uint64_t(c >> 24) << 48;
}

}  // namespace

// p: w x h pixels, w >= 3, h >= 3.
bool crossBlurAvx512(uint32_t* p, size_t width, size_t height) {
  const int64_t w = int64_t(width), h = int64_t(height);
  const __m512i fifth = _mm512_set1_epi16(13108), zero = _mm512_setzero_si512();
  // Steps 0 .. (w - 2) + 7: the last row of a band reaches column w - 2 in the last one.
  const int64_t blocks = (w - 2 + kRows + 7) / 8;
  for (int64_t y = 1; y + 1 < h; y += kRows) {
    const int64_t rows = smallerOf(kRows, h - 1 - y);
    // Row y + k meets column 0 in step k: there its value is the unchanged border pixel.
    alignas(64) uint64_t border[kRows] = {};
    for (int64_t k = 0; k < rows; ++k) border[k] = widenedPixel(p[(y + k) * w]);
    const __m512i borders = _mm512_load_si512(border);
    __m512i left = zero;
    // One block: eight steps from column c0. Inside, every run read or written lies within the
    // row (c0 - 7 >= 1, c0 + 8 <= w - 1) and the band is whole: whole-vector loads and stores.
    auto block = [&]<bool kInside>(int64_t c0) {
      __m512i m[kRows];
      __m256i centre[kRows];
      for (int64_t k = 0; k < kRows; ++k) {
        if constexpr (kInside) {
          const uint32_t* row = p + (y + k) * w + (c0 - k);
          centre[k] = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(row));
          const __m256i right = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(row + 1));
          const __m256i down = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(row + w));
          m[k] = _mm512_add_epi16(_mm512_add_epi16(_mm512_cvtepu8_epi16(centre[k]), _mm512_cvtepu8_epi16(right)),
                                  _mm512_cvtepu8_epi16(down));
        } else if (k >= rows) {
          m[k] = zero;
        } else {
          const uint32_t here = columnMask(c0 - k, 0, w - 1), right = columnMask(c0 - k + 1, 0, w - 1);
          const uint32_t* row = p + (y + k) * w;
          m[k] = _mm512_add_epi16(_mm512_add_epi16(widenedRun(row, c0 - k, here), widenedRun(row, c0 - k + 1, right)),
                                  widenedRun(row + w, c0 - k, here));
        }
      }
      // Row y's up neighbours are row y - 1, already final.
      m[0] = _mm512_add_epi16(m[0], widenedRun(p + (y - 1) * w, c0, kInside ? 0xFF : columnMask(c0, 0, w - 1)));
      transpose8x8(m);
      for (int j = 0; j < 8; ++j) {
        const __m512i up = _mm512_alignr_epi64(left, zero, 7);  // field k from field k - 1, 0 in field 0
        left = _mm512_mulhi_epu16(_mm512_add_epi16(_mm512_add_epi16(m[j], left), up), fifth);
        if (!kInside && c0 == 0) left = _mm512_mask_blend_epi64(__mmask8(1u << j), left, borders);
        m[j] = left;
      }
      transpose8x8(m);
      for (int64_t k = 0; k < (kInside ? kRows : rows); ++k) {
        uint32_t* row = p + (y + k) * w;
        const __m256i bytes = _mm512_cvtepi16_epi8(m[k]);
        if constexpr (kInside) {
          const __m256i topBytes = _mm256_set1_epi32(int(0xFF000000u));
          _mm256_storeu_si256(reinterpret_cast<__m256i*>(row + (c0 - k)),
                              _mm256_blendv_epi8(bytes, centre[k], topBytes));
        } else {
          // Masked stores are slow on some processors; the few edge pixels go one by one.
          alignas(32) uint32_t out[8];
          _mm256_store_si256(reinterpret_cast<__m256i*>(out), bytes);
          for (int64_t x = largerOf(c0 - k, 1); x <= smallerOf(c0 - k + 7, w - 2); ++x)
            row[x] = (row[x] & 0xFF000000u) | (out[x - (c0 - k)] & 0x00FFFFFFu);
        }
      }
    };
    for (int64_t b = 0; b < blocks; ++b) {
      const int64_t c0 = 8 * b;
      if (rows == kRows && c0 >= 8 && c0 + 9 <= w)
        block.template operator()<true>(c0);
      else
        block.template operator()<false>(c0);
    }
  }
  return true;
}

#else

bool crossBlurAvx512(uint32_t*, size_t, size_t) { return false; }

#endif

}  // namespace tarvola
