// Float-to-integer conversions of the renderer: the one truncation helper and,
// with the rasterizers, the 16.16 fixed-point format (high 16 bits integer, low 16 fraction).
#pragma once

#include <cstdint>

namespace tarvola {

// Truncates toward zero like the x86 cvttsd2si instruction: a value outside the int32 range
// and NaN give INT32_MIN (the "integer indefinite" value) instead of undefined behaviour.
// Every float-to-int "trunc" of the renderer goes through here.
inline int32_t truncToInt32(double x) {
  if (x > -2147483649.0 && x < 2147483648.0) return static_cast<int32_t>(x);
  return INT32_MIN;
}

}  // namespace tarvola
