// The compositing kernels on WebAssembly's 128-bit SIMD, four pixels per step, for the page.
// Compiled in every build; without WebAssembly SIMD there is no table.
#include "surface/compositing_lanes.h"

#if defined(__wasm_simd128__)
#include <wasm_simd128.h>
#endif

namespace tarvola {

#if defined(__wasm_simd128__)

namespace {

struct Simd128Lanes {
  using Reg = v128_t;
  static constexpr size_t kPixels = 4;
  static Reg load(const uint32_t* p) { return wasm_v128_load(p); }
  static void store(uint32_t* p, Reg v) { wasm_v128_store(p, v); }
  static Reg set16(int16_t v) { return wasm_i16x8_splat(v); }
  static Reg set32(int32_t v) { return wasm_i32x4_splat(v); }
  static Reg slli8(Reg v) { return wasm_i16x8_shl(v, 8); }
  static Reg srli8(Reg v) { return wasm_u16x8_shr(v, 8); }
  static Reg andv(Reg a, Reg b) { return wasm_v128_and(a, b); }
  static Reg orv(Reg a, Reg b) { return wasm_v128_or(a, b); }
  // The high half of a * b for the lanes LaneKernels gives it: a byte in a's high half (the low
  // half 0) and b at most 255, so (a >> 8) * b fits 16 bits and (a * b) >> 16 = ((a >> 8) * b) >> 8.
  // WebAssembly has no 16-bit high multiply; a general one costs two widening multiplies.
  static Reg mulhi(Reg a, Reg b) { return wasm_u16x8_shr(wasm_i16x8_mul(wasm_u16x8_shr(a, 8), b), 8); }
  static Reg mullo(Reg a, Reg b) { return wasm_i16x8_mul(a, b); }
  static Reg add16(Reg a, Reg b) { return wasm_i16x8_add(a, b); }
  static Reg add8(Reg a, Reg b) { return wasm_i8x16_add(a, b); }
  static Reg addsu8(Reg a, Reg b) { return wasm_u8x16_add_sat(a, b); }
  static Reg subsu8(Reg a, Reg b) { return wasm_u8x16_sub_sat(a, b); }
};

}  // namespace

const CompositingKernels* simd128CompositingKernels() { return &LaneKernels<Simd128Lanes>::table; }

#else

const CompositingKernels* simd128CompositingKernels() { return nullptr; }

#endif

}  // namespace tarvola
