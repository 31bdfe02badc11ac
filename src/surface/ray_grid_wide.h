// The ray grid's wider rows, in ray_grid_avx2.cpp (compiled for AVX2) and ray_grid_simd128.cpp
// (WebAssembly SIMD), called by ray_grid.cpp only once the path is known to be there.
#pragma once

#include <cstddef>
#include <cstdint>

namespace tarvola {

// A block row of 8 x 8 pixels per block, for shades in 0..255; false when the build has no AVX2
// code.
bool fillBlockRowsAvx2(uint32_t* out, size_t stride, const uint32_t* tex, const uint32_t* env, const int32_t* leftStart,
                       const int32_t* rightStart, const int32_t* leftStep, const int32_t* rightStep);

// The same on WebAssembly SIMD; false when the build has none.
bool fillBlockRowsSimd128(uint32_t* out, size_t stride, const uint32_t* tex, const uint32_t* env,
                          const int32_t* leftStart, const int32_t* rightStart, const int32_t* leftStep,
                          const int32_t* rightStep);

}  // namespace tarvola
