// The ray grid's AVX2 rows, in ray_grid_avx2.cpp (compiled for AVX2), called by ray_grid.cpp
// only once the processor is known to have it.
#pragma once

#include <cstddef>
#include <cstdint>

namespace tarvola {

// A block row of 8 x 8 pixels per block, for shades in 0..255; false when the build has no AVX2
// code.
bool fillBlockRowsAvx2(uint32_t* out, size_t stride, const uint32_t* tex, const uint32_t* env, const int32_t* leftStart,
                       const int32_t* rightStart, const int32_t* leftStep, const int32_t* rightStep);

}  // namespace tarvola
