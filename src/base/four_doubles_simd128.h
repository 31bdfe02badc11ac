// Four doubles as two WebAssembly SIMD pairs, for the web build's wide passes that repeat a
// plain double computation four lanes at a time: widening from and rounding to four floats, and
// the lane-wise add, subtract and multiply (IEEE, so each lane rounds as the scalar operation).
// Empty outside a build with WebAssembly SIMD.
#pragma once

#if defined(__wasm_simd128__)
#include <wasm_simd128.h>

namespace tarvola {

// Lanes 0 and 1 in lo, 2 and 3 in hi.
struct FourDoubles {
  v128_t lo, hi;
};

// Four floats widened to double (exactly).
inline FourDoubles widenFour(v128_t floats) {
  return {wasm_f64x2_promote_low_f32x4(floats),
          wasm_f64x2_promote_low_f32x4(wasm_i32x4_shuffle(floats, floats, 2, 3, 2, 3))};
}
// The four doubles each rounded to float, in one register.
inline v128_t roundFour(FourDoubles x) {
  return wasm_i32x4_shuffle(wasm_f32x4_demote_f64x2_zero(x.lo), wasm_f32x4_demote_f64x2_zero(x.hi), 0, 1, 4, 5);
}
inline FourDoubles broadcastFour(double x) { return {wasm_f64x2_splat(x), wasm_f64x2_splat(x)}; }
inline FourDoubles operator+(FourDoubles a, FourDoubles b) {
  return {wasm_f64x2_add(a.lo, b.lo), wasm_f64x2_add(a.hi, b.hi)};
}
inline FourDoubles operator-(FourDoubles a, FourDoubles b) {
  return {wasm_f64x2_sub(a.lo, b.lo), wasm_f64x2_sub(a.hi, b.hi)};
}
inline FourDoubles operator*(FourDoubles a, FourDoubles b) {
  return {wasm_f64x2_mul(a.lo, b.lo), wasm_f64x2_mul(a.hi, b.hi)};
}

}  // namespace tarvola

#endif
