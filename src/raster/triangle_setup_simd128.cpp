// The set-up of four triangle attributes at once in WebAssembly SIMD: the per-attribute
// formulas of scanTriangle on two pairs of doubles. IEEE subtraction, multiplication, addition
// and the float and double conversions round alike at any width, and toFixed16's range test
// and truncation have exact vector forms, so every lane ends with the scalar set-up's bits.
// Compiled to a stub outside the web build; scanTriangle calls it only on the Simd128 path.
#include "raster/triangle_setup_wide.h"

#if defined(__wasm_simd128__)
#include <wasm_simd128.h>

#include "base/four_doubles_simd128.h"
#endif

namespace tarvola {

#if defined(__wasm_simd128__)

namespace {

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
  const FourDoubles t = widenFour(wasm_v128_load(top)), m = widenFour(wasm_v128_load(middle)),
                    b = widenFour(wasm_v128_load(bottom));
  // Long edge: slope per row and value at the middle vertex's y.
  const v128_t longSlope = roundFour((b - t) * broadcastFour(shared.r));
  const FourDoubles longSlopeD = widenFour(longSlope);
  const FourDoubles atMiddleD = widenFour(roundFour(t + broadcastFour(shared.middleDy) * longSlopeD));
  wasm_v128_store(out.step, toFixed16Four(roundFour((m - atMiddleD) * broadcastFour(shared.reciprocalDx))));
  const v128_t longSlopeFixed = toFixed16Four(longSlope);
  // value[] and slope[] hold the upper long, upper short, lower long and lower short edges.
  // One half: the short edge from `from` to `to`, the long edge going on from `longStart`.
  const auto setUpHalf = [&](double prestepRows, double reciprocal, FourDoubles from, FourDoubles to,
                             FourDoubles longStart, int longIndex, int shortIndex) {
    const FourDoubles prestep = broadcastFour(prestepRows);
    const v128_t shortSlope = roundFour((to - from) * broadcastFour(reciprocal));
    wasm_v128_store(out.value[shortIndex], toFixed16Four(roundFour(from + prestep * widenFour(shortSlope))));
    wasm_v128_store(out.slope[shortIndex], toFixed16Four(shortSlope));
    wasm_v128_store(out.value[longIndex], toFixed16Four(roundFour(longStart + prestep * longSlopeD)));
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
