// The field sources' batch loops eight points a step, in field_avx2.cpp (compiled for AVX2),
// called by field.cpp only once the processor is known to have it.
#pragma once

#include <cstdint>

namespace tarvola {

// Each adds its source's value at points (x, y, z)[0..n) to sums; how many leading points it
// summed, 0 without AVX2 code. The same float operations in the same order as the plain loops.
int32_t addInverseSquareAvx2(const float* x, const float* y, const float* z, int32_t n, float* sums,
                             const float (&centre)[3], float strength);
int32_t addQuarticAvx2(const float* x, const float* y, const float* z, int32_t n, float* sums, const float (&centre)[3],
                       float strength);
int32_t addRingAvx2(const float* x, const float* y, const float* z, int32_t n, float* sums, const float (&centre)[3],
                    float strength, float ringRadius);

}  // namespace tarvola
