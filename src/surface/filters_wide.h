// The filters' wider vector paths, each in a file compiled for its instruction set
// (filters_avx2.cpp, filters_avx512.cpp; filters_simd128.cpp for WebAssembly) and called by
// filters.cpp only once the processor is known to have it. Without such code in the build they
// do nothing and say so.
#pragma once

#include <cstddef>
#include <cstdint>

namespace tarvola {

// The row box blur's AVX2 pairs of rows: how many rows it blurred, 0 when the build has no AVX2
// code.
size_t boxBlurRowPairsAvx2(uint32_t* out, const uint32_t* in, size_t width, size_t rows, size_t radius);

// The eight-row wavefront of the cross blur on a surface of at least 3 x 3; false when the build
// has none.
bool crossBlurAvx512(uint32_t* pixels, size_t width, size_t height);

// The radial zoom blur's AVX2 walk on a 320-wide surface with valid arguments; false when the
// build has none.
bool radialZoomBlurAvx2(uint32_t* pixels, int32_t height, int32_t cx, int32_t cy, int32_t s, uint32_t k);

// The WebAssembly SIMD forms of the three filters, with the same arguments as the ones above
// (boxBlurRowsSimd128 blurs all `rows`); false when the build has none.
bool boxBlurRowsSimd128(uint32_t* out, const uint32_t* in, size_t width, size_t rows, size_t radius);
bool crossBlurSimd128(uint32_t* pixels, size_t width, size_t height);
bool radialZoomBlurSimd128(uint32_t* pixels, int32_t height, int32_t cx, int32_t cy, int32_t s, uint32_t k);

}  // namespace tarvola
