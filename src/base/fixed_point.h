// Float-to-integer conversions of the renderer: the one truncation helper and the 16.16
// fixed-point format of the rasterizers (high 16 bits integer, low 16 fraction) with its
// two conversions, toFixed16 and fixedCeil, and its wrapping arithmetic.
#pragma once

#include <cmath>
#include <cstdint>

namespace tarvola {

// Truncates toward zero like the x86 cvttsd2si instruction: a value outside the int32 range
// and NaN give INT32_MIN (the "integer indefinite" value) instead of undefined behaviour.
// Every float-to-int "trunc" of the renderer goes through here.
inline int32_t truncToInt32(double x) {
  if (x > -2147483649.0 && x < 2147483648.0) return static_cast<int32_t>(x);
  return INT32_MIN;
}

// The float a double rounds to, for a float that is read again in double arithmetic: the
// rounding is the contract, so the reader must see exactly this float. GCC 12 (at -O2 and -O3)
// can break that when it vectorizes two such roundings as one cvtpd2ps: a later pass folds the
// widening of the rounded pair back to double into the unrounded pair, and the reader computes
// with a value one float ulp away. The empty asm makes the rounded float opaque, so no pass can
// look through it; it emits no instruction.
inline float roundToFloat(double value) {
  float rounded = float(value);
#if defined(__GNUC__) && (defined(__x86_64__) || defined(__i386__)) && defined(__SSE2__)
  __asm__("" : "+x"(rounded));
#elif defined(__GNUC__) && !defined(__wasm__)
  __asm__("" : "+m"(rounded));
#endif  // WebAssembly: no such pass, and no register asm; the web build's frames are compared too
  return rounded;
}

// 16.16 fixed point: a real value times 65536 in a signed 32-bit integer. Sums, differences and
// products with integers wrap modulo 2^32 (two's complement), never trap or saturate.
inline int32_t fixedAdd(int32_t a, int32_t b) { return int32_t(uint32_t(a) + uint32_t(b)); }
inline int32_t fixedSub(int32_t a, int32_t b) { return int32_t(uint32_t(a) - uint32_t(b)); }
inline int32_t fixedMulInt(int32_t n, int32_t f) { return int32_t(uint32_t(n) * uint32_t(f)); }

// x * 65536 truncated toward zero when -32768 < x < 32768 (both bounds strict). Anything else,
// NaN and x <= -32768 included, gives the one positive sentinel 0x7FFF0000 (32767.0): far-off
// values all land past the bottom right, where the rasterizers' clipping drops them.
// The argument is a float on purpose: callers round every intermediate to single precision first.
inline int32_t toFixed16(float x) {
  // |x| < 32768 is -32768 < x < 32768 for every float, and false for NaN; x * 65536 is exact.
  return std::fabs(x) < 32768.0f ? static_cast<int32_t>(x * 65536.0f) : 0x7FFF0000;
}

// The smallest integer n with n * 65536 >= f: the first pixel row or column at or after a 16.16
// position (pixel centres sit on integers). (f + 0xFFFF) wraps, then shifts arithmetically.
inline int32_t fixedCeil(int32_t f) { return fixedAdd(f, 0xFFFF) >> 16; }

}  // namespace tarvola
