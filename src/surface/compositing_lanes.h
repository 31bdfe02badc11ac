// The compositing kernels written once over a vector of packed pixels, for the SSE2, AVX2,
// AVX-512 and WebAssembly translation units to instantiate with their own register type (see
// compositing.h).
// Internal to those files: everything here has internal linkage, so code compiled for a wider
// instruction set never stands in for the baseline's.
//
// Every byte product is taken in a 16-bit lane with the byte placed in the lane's high half:
// mulhi(c << 8, l) = (c * 256 * l) >> 16 = (c * l) >> 8 exactly. The even bytes of a pixel
// (blue, red) are moved up by a 16-bit shift, the odd ones (green, top) are masked in place;
// both products land in the low byte of their lane, and the odd ones are shifted back up.
#pragma once

#include <cstddef>
#include <cstdint>

#include "surface/compositing.h"

namespace tarvola {

// The wider paths' tables, from files compiled for those instruction sets; nullptr when the
// build has no such file. Only call a path's kernels once the processor is known to have it.
const CompositingKernels* avx2CompositingKernels();
const CompositingKernels* avx512CompositingKernels();
const CompositingKernels* simd128CompositingKernels();

namespace {

// V provides: Reg, kPixels, load, store, set16, set32, slli8, srli8, andv, orv, mulhi, mullo,
// add16, add8, addsu8, subsu8. mulhi is only given a byte in each lane's high half (the low half
// 0) and a factor of at most 255.
template <class V>
struct LaneKernels {
  using Reg = typename V::Reg;

  // (c * m) >> 8 for every byte, m per 16-bit lane (the even byte's and the odd byte's factor).
  static Reg mulBytes(Reg c, Reg evenFactor, Reg oddFactor) {
    const Reg even = V::mulhi(V::slli8(c), evenFactor);
    const Reg odd = V::mulhi(V::andv(c, V::set16(int16_t(0xFF00))), oddFactor);
    return V::orv(even, V::slli8(odd));
  }

  static void scale(uint32_t* pixels, size_t count, uint32_t level) {
    const Reg l = V::set16(int16_t(level));
    size_t i = 0;
    for (; i + V::kPixels <= count; i += V::kPixels) V::store(pixels + i, mulBytes(V::load(pixels + i), l, l));
    plain::scale(pixels + i, count - i, level);
  }

  static void fadeToColour(uint32_t* pixels, size_t count, uint32_t level, uint32_t colour) {
    const Reg keep = V::set16(int16_t(255 - level));
    // (k * l) >> 8 of each colour byte, the same for every pixel; sums stay below 255.
    uint32_t added = 0;
    for (int b = 0; b < 4; ++b) added |= ((((colour >> (8 * b)) & 0xFF) * level) >> 8) << (8 * b);
    const Reg addedBytes = V::set32(int32_t(added));
    size_t i = 0;
    for (; i + V::kPixels <= count; i += V::kPixels) {
      V::store(pixels + i, V::add8(mulBytes(V::load(pixels + i), keep, keep), addedBytes));
    }
    plain::fadeToColour(pixels + i, count - i, level, colour);
  }

  static void blend(uint32_t* target, const uint32_t* source, size_t count, uint32_t level) {
    const Reg keep = V::set16(int16_t(255 - level)), l = V::set16(int16_t(level));
    const Reg oddMask = V::set16(int16_t(0xFF00));
    size_t i = 0;
    for (; i + V::kPixels <= count; i += V::kPixels) {
      const Reg t = V::load(target + i), s = V::load(source + i);
      // Each sum of two truncated products is at most 254: no carry into the next byte.
      const Reg even = V::add16(V::mulhi(V::slli8(t), keep), V::mulhi(V::slli8(s), l));
      const Reg odd = V::add16(V::mulhi(V::andv(t, oddMask), keep), V::mulhi(V::andv(s, oddMask), l));
      V::store(target + i, V::orv(even, V::slli8(odd)));
    }
    plain::blend(target + i, source + i, count - i, level);
  }

  static void brighten(uint32_t* pixels, size_t count, uint32_t amount) {
    // The top byte's factor is 0: it gains nothing from the saturating add.
    const Reg a = V::set16(int16_t(amount)), aColourOnly = V::set32(int32_t(amount));
    size_t i = 0;
    for (; i + V::kPixels <= count; i += V::kPixels) {
      const Reg c = V::load(pixels + i);
      V::store(pixels + i, V::addsu8(c, mulBytes(c, a, aColourOnly)));
    }
    plain::brighten(pixels + i, count - i, amount);
  }

  static void addBrightness(uint32_t* pixels, size_t count, int32_t amount) {
    // c + amount clamped to 0..255 is a saturating byte add (or subtract) of min(|amount|, 255).
    const int32_t magnitude = amount < 0 ? (amount < -255 ? 255 : -amount) : (amount > 255 ? 255 : amount);
    const Reg step = V::set32(magnitude * 0x010101);  // colour bytes only
    size_t i = 0;
    for (; i + V::kPixels <= count; i += V::kPixels) {
      const Reg c = V::load(pixels + i);
      V::store(pixels + i, amount < 0 ? V::subsu8(c, step) : V::addsu8(c, step));
    }
    plain::addBrightness(pixels + i, count - i, amount);
  }

  // target = (a * b) >> 8 per byte; target may be a.
  static void product(uint32_t* target, const uint32_t* a, const uint32_t* b, size_t count) {
    const Reg oddMask = V::set16(int16_t(0xFF00)), evenMask = V::set16(0x00FF);
    size_t i = 0;
    for (; i + V::kPixels <= count; i += V::kPixels) {
      const Reg x = V::load(a + i), y = V::load(b + i);
      const Reg even = V::mulhi(V::slli8(x), V::andv(y, evenMask));
      const Reg odd = V::mulhi(V::andv(x, oddMask), V::srli8(y));
      V::store(target + i, V::orv(even, V::slli8(odd)));
    }
    for (; i < count; ++i) {
      uint32_t pixel = a[i];
      plain::multiply(&pixel, b + i, 1);
      target[i] = pixel;
    }
  }

  static void invertBlend(uint32_t* pixels, size_t count, uint32_t level) {
    // c * (255 - l) + (255 - c) * l = c * (255 - 2l) + 255 * l, in 0..65025: formed with
    // wrapping 16-bit products it is exact.
    const Reg factor = V::set16(int16_t(255 - 2 * int32_t(level)));
    const Reg offset = V::set16(int16_t(255 * level));
    const Reg evenMask = V::set16(0x00FF), colourOnly = V::set32(0x00FFFFFF);
    const Reg oddMask = V::set16(int16_t(0xFF00));
    size_t i = 0;
    for (; i + V::kPixels <= count; i += V::kPixels) {
      const Reg c = V::load(pixels + i);
      const Reg even = V::srli8(V::add16(V::mullo(V::andv(c, evenMask), factor), offset));
      const Reg odd = V::andv(V::add16(V::mullo(V::srli8(c), factor), offset), oddMask);
      V::store(pixels + i, V::andv(V::orv(even, odd), colourOnly));
    }
    plain::invertBlend(pixels + i, count - i, level);
  }

  static constexpr CompositingKernels table = {scale,         fadeToColour, blend,      brighten,
                                               addBrightness, product,      invertBlend};
};

}  // namespace
}  // namespace tarvola
