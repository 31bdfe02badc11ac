// The compositing kernels on AVX-512 registers, sixteen pixels per step. This file alone is
// compiled with -mavx512f -mavx512bw; its code runs only once the processor has both.
#include "surface/compositing_lanes.h"

#if defined(__AVX512BW__)
#include <immintrin.h>
#endif

namespace tarvola {

#if defined(__AVX512BW__)

namespace {

struct Avx512Lanes {
  using Reg = __m512i;
  static constexpr size_t kPixels = 16;
  static Reg load(const uint32_t* p) { return _mm512_loadu_si512(reinterpret_cast<const __m512i*>(p)); }
  static void store(uint32_t* p, Reg v) { _mm512_storeu_si512(reinterpret_cast<__m512i*>(p), v); }
  static Reg set16(int16_t v) { return _mm512_set1_epi16(v); }
  static Reg set32(int32_t v) { return _mm512_set1_epi32(v); }
  static Reg slli8(Reg v) { return _mm512_slli_epi16(v, 8); }
  static Reg srli8(Reg v) { return _mm512_srli_epi16(v, 8); }
  static Reg andv(Reg a, Reg b) { return _mm512_and_si512(a, b); }
  static Reg orv(Reg a, Reg b) { return _mm512_or_si512(a, b); }
  static Reg mulhi(Reg a, Reg b) { return _mm512_mulhi_epu16(a, b); }
  static Reg mullo(Reg a, Reg b) { return _mm512_mullo_epi16(a, b); }
  static Reg add16(Reg a, Reg b) { return _mm512_add_epi16(a, b); }
  static Reg add8(Reg a, Reg b) { return _mm512_add_epi8(a, b); }
  static Reg addsu8(Reg a, Reg b) { return _mm512_adds_epu8(a, b); }
  static Reg subsu8(Reg a, Reg b) { return _mm512_subs_epu8(a, b); }
};

}  // namespace

const CompositingKernels* avx512CompositingKernels() { return &LaneKernels<Avx512Lanes>::table; }

#else

const CompositingKernels* avx512CompositingKernels() { return nullptr; }

#endif

}  // namespace tarvola
