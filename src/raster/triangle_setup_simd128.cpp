// The set-up of four triangle attributes at once in WebAssembly SIMD: the per-attribute
// formulas of scanTriangle on two pairs of doubles. IEEE subtraction, multiplication, addition
// and the float and double conversions round alike at any width, and toFixed16's range test
// and truncation have exact vector forms, so every lane ends with the scalar set-up's bits.
// Compiled to a stub outside the web build; scanTriangle calls it only on the Simd128 path.
#include "raster/triangle_setup_wide.h"

#if defined(__wasm_simd128__)
#include <wasm_simd128.h>
#endif

namespace tarvola {

#if defined(__wasm_simd128__)

namespace {

// Four doubles, lanes 0 and 1 in lo, 2 and 3 in hi.
struct Four {
  v128_t lo, hi;
};

inline Four widen(v128_t x) {
  return {wasm_f64x2_promote_low_f32x4(x), wasm_f64x2_promote_low_f32x4(wasm_i32x4_shuffle(x, x, 2, 3, 2, 3))};
}
// The four doubles each rounded to float, in one register.
inline v128_t narrow(Four x) {
  return wasm_i32x4_shuffle(wasm_f32x4_demote_f64x2_zero(x.lo), wasm_f32x4_demote_f64x2_zero(x.hi), 0, 1, 4, 5);
}
inline Four broadcast(double x) { return {wasm_f64x2_splat(x), wasm_f64x2_splat(x)}; }
inline Four operator+(Four a, Four b) { return {wasm_f64x2_add(a.lo, b.lo), wasm_f64x2_add(a.hi, b.hi)}; }
inline Four operator-(Four a, Four b) { return {wasm_f64x2_sub(a.lo, b.lo), wasm_f64x2_sub(a.hi, b.hi)}; }
inline Four operator*(Four a, Four b) { return {wasm_f64x2_mul(a.lo, b.lo), wasm_f64x2_mul(a.hi, b.hi)}; }

// toFixed16 on four floats: x * 65536 truncated where |x| < 32768 (then in range of the
// saturating truncation, which is exact there), else 0x7FFF0000 (NaN too: the ordered compare
// is false for it).
inline v128_t toFixed16Four(v128_t x) {
  const v128_t inRange = wasm_f32x4_lt(wasm_f32x4_abs(x), wasm_f32x4_splat(32768.0f));
  const v128_t fixed = wasm_i32x4_trunc_sat_f32x4(wasm_f32x4_mul(x, wasm_f32x4_splat(65536.0f)));
  return wasm_v128_bitselect(fixed, wasm_i32x4_splat(0x7FFF0000), inRange);
}

}  // namespace

bool setUpFourAttributesSimd128(const float* top, const float* middle, const float* bottom, const SharedSetUp& shared,
                                const FourAttributesOut& out) {
  const Four t = widen(wasm_v128_load(top)), m = widen(wasm_v128_load(middle)), b = widen(wasm_v128_load(bottom));
  // Long edge: slope per row and value at the middle vertex's y.
  const v128_t longSlope = narrow((b - t) * broadcast(shared.r));
  const Four longSlopeD = widen(longSlope);
  const Four atMiddleD = widen(narrow(t + broadcast(shared.middleDy) * longSlopeD));
  wasm_v128_store(out.step, toFixed16Four(narrow((m - atMiddleD) * broadcast(shared.reciprocalDx))));
  const v128_t longSlopeFixed = toFixed16Four(longSlope);
  // value[] and slope[] hold the upper long, upper short, lower long and lower short edges.
  // One half: the short edge from `from` to `to`, the long edge going on from `longStart`.
  const auto setUpHalf = [&](double prestepRows, double reciprocal, Four from, Four to, Four longStart, int longIndex,
                             int shortIndex) {
    const Four prestep = broadcast(prestepRows);
    const v128_t shortSlope = narrow((to - from) * broadcast(reciprocal));
    wasm_v128_store(out.value[shortIndex], toFixed16Four(narrow(from + prestep * widen(shortSlope))));
    wasm_v128_store(out.slope[shortIndex], toFixed16Four(shortSlope));
    wasm_v128_store(out.value[longIndex], toFixed16Four(narrow(longStart + prestep * longSlopeD)));
    wasm_v128_store(out.slope[longIndex], longSlopeFixed);
  };
  if (shared.upper) setUpHalf(shared.upperPrestep, shared.upperReciprocal, t, m, t, 0, 1);
  if (shared.lower) setUpHalf(shared.lowerPrestep, shared.lowerReciprocal, m, b, atMiddleD, 2, 3);
  return true;
}

#else

bool setUpFourAttributesSimd128(const float*, const float*, const float*, const SharedSetUp&,
                                const FourAttributesOut&) {
  return false;
}

#endif

}  // namespace tarvola
