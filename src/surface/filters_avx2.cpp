// Two filters on AVX2, each with the same walk and arithmetic as its plain form in filters.cpp:
// the radial zoom blur, with the bilinear weights of a whole row worked out eight columns at a
// time before the row is walked and the four taps of a sample widened and weighted in one
// register; and the row box blur, two rows at a time. This file alone is compiled with -mavx2;
// filters.cpp calls it only while the AVX2 (or a wider) path is in use.
#include "surface/filters_wide.h"
#include "surface/zoom_walk.h"

#include <cstddef>
#include <cstdint>

#if defined(__AVX2__)
#include <immintrin.h>
#endif

namespace tarvola {

#if defined(__AVX2__)

namespace {

// The four taps of the sample at base: two 32-bit loads per row, so that a pixel stored by the
// previous step is read back whole from the store buffer (a 64-bit load across it would wait
// for the store to reach the cache).
inline __m256i widenedTaps(const uint32_t* base) {
  const __m128i top = _mm_unpacklo_epi32(_mm_cvtsi32_si128(int(base[0])), _mm_cvtsi32_si128(int(base[1])));
  const __m128i bottom = _mm_unpacklo_epi32(_mm_cvtsi32_si128(int(base[320])), _mm_cvtsi32_si128(int(base[321])));
  return _mm256_cvtepu8_epi16(_mm_unpacklo_epi64(top, bottom));
}

}  // namespace

// pixels: 320 x height; 0 <= cx <= 317, 0 <= cy <= height - 3, 1 <= s < 65536; k the keep byte.
bool radialZoomBlurAvx2(uint32_t* pixels, int32_t height, int32_t cx, int32_t cy, int32_t s, uint32_t k) {
  constexpr int32_t kRow = kZoomRow;
  const ZoomColumns columns(cx, s);
  const int32_t* column = columns.column;
  const uint32_t *notFx = columns.notFx, *fx = columns.fx;
  alignas(32) uint64_t weights[kRow];  // per column: w00, w10, w01, w11 in 16-bit fields
  const __m256i expand = _mm256_setr_epi8(0, 1, 0, 1, 0, 1, 0, 1, 2, 3, 2, 3, 2, 3, 2, 3,  //
                                          4, 5, 4, 5, 4, 5, 4, 5, 6, 7, 6, 7, 6, 7, 6, 7);
  const __m128i keepOld = _mm_set1_epi16(short(k)), keepSample = _mm_set1_epi16(short(255 - k));
  const __m128i byteMax = _mm_set1_epi16(255);

  auto row = [&](int32_t y, int32_t v) {
    const uint32_t fy = uint32_t(v) & 0xFFFF;
    const __m256i notFy = _mm256_set1_epi32(int(65535 - fy)), fyv = _mm256_set1_epi32(int(fy));
    // Products of two values below 65536 fit 32 bits unsigned: the low half is the whole.
    for (int32_t x = 0; x < kRow; x += 8) {
      const __m256i a = _mm256_load_si256(reinterpret_cast<const __m256i*>(notFx + x));
      const __m256i b = _mm256_load_si256(reinterpret_cast<const __m256i*>(fx + x));
      const __m256i w00 = _mm256_srli_epi32(_mm256_mullo_epi32(a, notFy), 24);
      const __m256i w10 = _mm256_srli_epi32(_mm256_mullo_epi32(b, notFy), 24);
      const __m256i w01 = _mm256_srli_epi32(_mm256_mullo_epi32(a, fyv), 24);
      const __m256i w11 = _mm256_srli_epi32(_mm256_mullo_epi32(b, fyv), 24);
      const __m256i upper = _mm256_or_si256(w00, _mm256_slli_epi32(w10, 16));
      const __m256i lower = _mm256_or_si256(w01, _mm256_slli_epi32(w11, 16));
      const __m256i first = _mm256_unpacklo_epi32(upper, lower), second = _mm256_unpackhi_epi32(upper, lower);
      _mm256_store_si256(reinterpret_cast<__m256i*>(weights + x), _mm256_permute2x128_si256(first, second, 0x20));
      _mm256_store_si256(reinterpret_cast<__m256i*>(weights + x + 4), _mm256_permute2x128_si256(first, second, 0x31));
    }
    uint32_t* line = pixels + size_t(y) * kRow;
    const uint32_t* sampleRow = pixels + size_t(v >> 16) * kRow;
    auto visit = [&](int32_t x) {
      const __m256i w = _mm256_shuffle_epi8(_mm256_set1_epi64x(int64_t(weights[x])), expand);
      const __m256i taps = _mm256_srli_epi16(_mm256_mullo_epi16(widenedTaps(sampleRow + column[x]), w), 8);
      __m128i q = _mm_add_epi16(_mm256_castsi256_si128(taps), _mm256_extracti128_si256(taps, 1));
      q = _mm_min_epi16(_mm_add_epi16(q, _mm_srli_si128(q, 8)), byteMax);  // at most 4 * 254
      const __m128i old = _mm_cvtepu8_epi16(_mm_cvtsi32_si128(int(line[x])));
      const __m128i mixed = _mm_add_epi16(_mm_srli_epi16(_mm_mullo_epi16(old, keepOld), 8),
                                          _mm_srli_epi16(_mm_mullo_epi16(q, keepSample), 8));
      line[x] = uint32_t(_mm_cvtsi128_si32(_mm_packus_epi16(mixed, mixed)));
    };
    walkZoomColumns(cx, visit);
  };
  walkZoomRows(height, cy, s, row);
  return true;
}

namespace {

// Two pixels' bytes as eight 32-bit lanes: a's in lanes 0-3, b's in lanes 4-7.
inline __m256i widenPair(uint32_t a, uint32_t b) {
  return _mm256_cvtepu8_epi32(_mm_unpacklo_epi32(_mm_cvtsi32_si128(int(a)), _mm_cvtsi32_si128(int(b))));
}

}  // namespace

// The row box blur two rows at a time: the running sums of row y in lanes 0-3 and of row
// y + 1 in lanes 4-7, each product in double (cvttpd truncates as truncToInt32 does for
// these values, 0..255). in and out hold rows of width pixels; 1 <= radius <= width - 1.
// Returns the rows done: pairs only, the caller blurs an odd last row.
size_t boxBlurRowPairsAvx2(uint32_t* out, const uint32_t* in, size_t width, size_t rows, size_t radius) {
  const __m256d scale = _mm256_set1_pd(double(1.0f / float(2 * radius + 1)));
  const size_t r = radius;
  size_t y = 0;
  for (; y + 2 <= rows; y += 2) {
    const uint32_t* top = in + y * width;
    const uint32_t* bottom = top + width;
    uint32_t* outTop = out + y * width;
    uint32_t* outBottom = outTop + width;
    auto store = [&](size_t x, __m256i sum) {
      const __m128i low = _mm256_cvttpd_epi32(_mm256_mul_pd(_mm256_cvtepi32_pd(_mm256_castsi256_si128(sum)), scale));
      const __m128i high =
          _mm256_cvttpd_epi32(_mm256_mul_pd(_mm256_cvtepi32_pd(_mm256_extracti128_si256(sum, 1)), scale));
      const __m128i words = _mm_packs_epi32(low, high);
      const __m128i bytes = _mm_packus_epi16(words, words);
      outTop[x] = uint32_t(_mm_cvtsi128_si32(bytes));
      outBottom[x] = uint32_t(_mm_cvtsi128_si32(_mm_srli_si128(bytes, 4)));
    };
    __m256i sum = _mm256_setzero_si256();
    for (size_t x = 0; x < r; ++x) sum = _mm256_add_epi32(sum, widenPair(top[x], bottom[x]));
    size_t x = 0;
    for (; x <= r && x < width; ++x) {  // nothing leaves the window yet
      if (x + r < width) sum = _mm256_add_epi32(sum, widenPair(top[x + r], bottom[x + r]));
      store(x, sum);
    }
    for (; x + r < width; ++x) {
      sum = _mm256_add_epi32(
          sum, _mm256_sub_epi32(widenPair(top[x + r], bottom[x + r]), widenPair(top[x - r - 1], bottom[x - r - 1])));
      store(x, sum);
    }
    for (; x < width; ++x) {  // nothing enters any more
      sum = _mm256_sub_epi32(sum, widenPair(top[x - r - 1], bottom[x - r - 1]));
      store(x, sum);
    }
  }
  return y;
}

#else

bool radialZoomBlurAvx2(uint32_t*, int32_t, int32_t, int32_t, int32_t, uint32_t) { return false; }
size_t boxBlurRowPairsAvx2(uint32_t*, const uint32_t*, size_t, size_t, size_t) { return 0; }

#endif

}  // namespace tarvola
