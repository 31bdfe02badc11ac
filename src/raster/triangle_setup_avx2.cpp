// The set-up of four triangle attributes at once on AVX2: the per-attribute formulas of
// scanTriangle with four doubles to a register. IEEE subtraction, multiplication, addition and
// the float and double conversions round alike at any width, and toFixed16's range test and
// truncation have exact vector forms, so every lane ends with the scalar set-up's bits. This
// file alone is compiled with -mavx2; scanTriangle calls it only while the AVX2 (or a wider)
// path is in use.
#include "raster/triangle_setup_wide.h"

#if defined(__AVX2__)
#include <immintrin.h>
#endif

namespace tarvola {

#if defined(__AVX2__)

namespace {

// Four floats rounded from doubles, kept opaque as roundToFloat keeps one.
inline __m128 roundFour(__m256d value) {
  __m128 rounded = _mm256_cvtpd_ps(value);
  __asm__("" : "+x"(rounded));
  return rounded;
}

inline __m256d widen(__m128 x) { return _mm256_cvtps_pd(x); }
inline __m256d broadcast(double x) { return _mm256_set1_pd(x); }

// toFixed16 on four floats: x * 65536 truncated where |x| < 32768, else 0x7FFF0000 (NaN too:
// the ordered compare is false for it).
inline __m128i toFixed16Four(__m128 x) {
  const __m128 magnitude = _mm_andnot_ps(_mm_set1_ps(-0.0f), x);
  const __m128i inRange = _mm_castps_si128(_mm_cmplt_ps(magnitude, _mm_set1_ps(32768.0f)));
  const __m128i fixed = _mm_cvttps_epi32(_mm_mul_ps(x, _mm_set1_ps(65536.0f)));
  return _mm_blendv_epi8(_mm_set1_epi32(0x7FFF0000), fixed, inRange);
}

inline void store(int32_t* out, __m128i value) { _mm_storeu_si128(reinterpret_cast<__m128i*>(out), value); }

}  // namespace

bool setUpFourAttributesAvx2(const float* top, const float* middle, const float* bottom, const SharedSetUp& shared,
                             const FourAttributesOut& out) {
  const __m256d t = widen(_mm_loadu_ps(top)), m = widen(_mm_loadu_ps(middle)), b = widen(_mm_loadu_ps(bottom));
  // Long edge: slope per row and value at the middle vertex's y.
  const __m128 longSlope = roundFour(_mm256_mul_pd(_mm256_sub_pd(b, t), broadcast(shared.r)));
  const __m256d longSlopeD = widen(longSlope);
  const __m128 atMiddle = roundFour(_mm256_add_pd(t, _mm256_mul_pd(broadcast(shared.middleDy), longSlopeD)));
  const __m256d atMiddleD = widen(atMiddle);
  store(out.step,
        toFixed16Four(_mm256_cvtpd_ps(_mm256_mul_pd(_mm256_sub_pd(m, atMiddleD), broadcast(shared.reciprocalDx)))));
  const __m128i longSlopeFixed = toFixed16Four(longSlope);
  // value[] and slope[] hold the upper long, upper short, lower long and lower short edges.
  // One half: the short edge from `from` to `to`, the long edge going on from `longStart`.
  const auto setUpHalf = [&](double prestepRows, double reciprocal, __m256d from, __m256d to, __m256d longStart,
                             int longIndex, int shortIndex) {
    const __m256d prestep = broadcast(prestepRows);
    const __m128 shortSlope = roundFour(_mm256_mul_pd(_mm256_sub_pd(to, from), broadcast(reciprocal)));
    store(out.value[shortIndex],
          toFixed16Four(_mm256_cvtpd_ps(_mm256_add_pd(from, _mm256_mul_pd(prestep, widen(shortSlope))))));
    store(out.slope[shortIndex], toFixed16Four(shortSlope));
    store(out.value[longIndex],
          toFixed16Four(_mm256_cvtpd_ps(_mm256_add_pd(longStart, _mm256_mul_pd(prestep, longSlopeD)))));
    store(out.slope[longIndex], longSlopeFixed);
  };
  if (shared.upper) setUpHalf(shared.upperPrestep, shared.upperReciprocal, t, m, t, 0, 1);
  if (shared.lower) setUpHalf(shared.lowerPrestep, shared.lowerReciprocal, m, b, atMiddleD, 2, 3);
  return true;
}

#else

bool setUpFourAttributesAvx2(const float*, const float*, const float*, const SharedSetUp&, const FourAttributesOut&) {
  return false;
}

#endif

}  // namespace tarvola
