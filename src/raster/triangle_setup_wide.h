// The triangle set-up's wide part: for AVX2 in triangle_setup_avx2.cpp (compiled for AVX2),
// called by scanTriangle (triangle_setup.h) only once the processor is known to have it; for
// WebAssembly SIMD in triangle_setup_simd128.cpp. Plain data and declarations only: no inline
// code that a wider compilation could stand in for.
#pragma once

#include <cstdint>

namespace tarvola {

// What the set-up of an attribute reads besides its three corner values: the values shared by
// all quantities of one triangle (scanTriangle's names).
struct SharedSetUp {
  double middleDy;  // M.y - T.y
  float r, reciprocalDx;
  bool upper, lower;  // whether the part has rows
  float upperPrestep, upperReciprocal, lowerPrestep, lowerReciprocal;
};

// Where the set-up of four consecutive attributes writes: their per-pixel steps and, for each
// edge (upper long and short, lower long and short), their values and per-row slopes.
struct FourAttributesOut {
  int32_t* step;
  int32_t* value[4];
  int32_t* slope[4];
};

// The set-up of attributes q[0..3] of the corners T, M and B four at a time on AVX2: the same
// double operations and float roundings per lane as scanTriangle's, so the same 16.16 values.
// Returns false when the build has no AVX2 code.
bool setUpFourAttributesAvx2(const float* top, const float* middle, const float* bottom, const SharedSetUp& shared,
                             const FourAttributesOut& out);
// The same in WebAssembly SIMD; false when the build has none.
bool setUpFourAttributesSimd128(const float* top, const float* middle, const float* bottom, const SharedSetUp& shared,
                                const FourAttributesOut& out);

}  // namespace tarvola
