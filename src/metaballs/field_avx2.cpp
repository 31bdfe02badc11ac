// The field sources' batch loops on AVX2: eight points a step with value()'s single-precision
// operations in the same order (IEEE add, multiply, divide and square root round alike at any
// width). Each returns how many leading points it summed (a multiple of eight, or 0 without
// AVX2 code); the caller does the rest. This file alone is compiled with -mavx2; field.cpp
// calls it only while the AVX2 (or a wider) path is in use.
#include "metaballs/field_wide.h"

#include <cstdint>

#if defined(__AVX2__)
#include <immintrin.h>
#endif

namespace tarvola {

#if defined(__AVX2__)

namespace {

// The differences from the centre at points i..i+7, and the sums there plus term(dx, dy, dz).
template <class Term>
int32_t addEight(const float* x, const float* y, const float* z, int32_t n, float* sums, const float (&centre)[3],
                 Term term) {
  const __m256 cx = _mm256_set1_ps(centre[0]), cy = _mm256_set1_ps(centre[1]), cz = _mm256_set1_ps(centre[2]);
  int32_t i = 0;
  for (; i + 8 <= n; i += 8) {
    const __m256 dx = _mm256_sub_ps(_mm256_loadu_ps(x + i), cx), dy = _mm256_sub_ps(_mm256_loadu_ps(y + i), cy),
                 dz = _mm256_sub_ps(_mm256_loadu_ps(z + i), cz);
    _mm256_storeu_ps(sums + i, _mm256_add_ps(_mm256_loadu_ps(sums + i), term(dx, dy, dz)));
  }
  return i;
}

}  // namespace

int32_t addInverseSquareAvx2(const float* x, const float* y, const float* z, int32_t n, float* sums,
                             const float (&centre)[3], float strength) {
  const __m256 k = _mm256_set1_ps(strength);
  return addEight(x, y, z, n, sums, centre, [&](__m256 dx, __m256 dy, __m256 dz) {
    const __m256 d2 = _mm256_add_ps(_mm256_add_ps(_mm256_mul_ps(dx, dx), _mm256_mul_ps(dy, dy)), _mm256_mul_ps(dz, dz));
    return _mm256_div_ps(k, d2);
  });
}

int32_t addQuarticAvx2(const float* x, const float* y, const float* z, int32_t n, float* sums, const float (&centre)[3],
                       float strength) {
  const __m256 k = _mm256_set1_ps(strength);
  return addEight(x, y, z, n, sums, centre, [&](__m256 dx, __m256 dy, __m256 dz) {
    const __m256 dx2 = _mm256_mul_ps(dx, dx), dy2 = _mm256_mul_ps(dy, dy), dz2 = _mm256_mul_ps(dz, dz);
    const __m256 d4 =
        _mm256_add_ps(_mm256_add_ps(_mm256_mul_ps(dx2, dx2), _mm256_mul_ps(dy2, dy2)), _mm256_mul_ps(dz2, dz2));
    return _mm256_div_ps(k, d4);
  });
}

int32_t addRingAvx2(const float* x, const float* y, const float* z, int32_t n, float* sums, const float (&centre)[3],
                    float strength, float ringRadius) {
  const __m256 k = _mm256_set1_ps(strength), r = _mm256_set1_ps(ringRadius);
  return addEight(x, y, z, n, sums, centre, [&](__m256 dx, __m256 dy, __m256 dz) {
    const __m256 radial = _mm256_sub_ps(_mm256_sqrt_ps(_mm256_add_ps(_mm256_mul_ps(dx, dx), _mm256_mul_ps(dz, dz))), r);
    const __m256 d2 = _mm256_add_ps(_mm256_mul_ps(radial, radial), _mm256_mul_ps(dy, dy));
    return _mm256_div_ps(k, d2);
  });
}

#else

int32_t addInverseSquareAvx2(const float*, const float*, const float*, int32_t, float*, const float (&)[3], float) {
  return 0;
}
int32_t addQuarticAvx2(const float*, const float*, const float*, int32_t, float*, const float (&)[3], float) {
  return 0;
}
int32_t addRingAvx2(const float*, const float*, const float*, int32_t, float*, const float (&)[3], float, float) {
  return 0;
}

#endif

}  // namespace tarvola
