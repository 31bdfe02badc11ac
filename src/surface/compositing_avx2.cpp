// The compositing kernels on AVX2 registers, eight pixels per step. This file alone is
// compiled with -mavx2; its code runs only once the processor is known to have AVX2.
#include "surface/compositing_lanes.h"

#if defined(__AVX2__)
#include <immintrin.h>
#endif

namespace tarvola {

#if defined(__AVX2__)

namespace {

struct Avx2Lanes {
  using Reg = __m256i;
  static constexpr size_t kPixels = 8;
  static Reg load(const uint32_t* p) { return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p)); }
  static void store(uint32_t* p, Reg v) { _mm256_storeu_si256(reinterpret_cast<__m256i*>(p), v); }
  static Reg set16(int16_t v) { return _mm256_set1_epi16(v); }
  static Reg set32(int32_t v) { return _mm256_set1_epi32(v); }
  static Reg slli8(Reg v) { return _mm256_slli_epi16(v, 8); }
  static Reg srli8(Reg v) { return _mm256_srli_epi16(v, 8); }
  static Reg andv(Reg a, Reg b) { return _mm256_and_si256(a, b); }
  static Reg orv(Reg a, Reg b) { return _mm256_or_si256(a, b); }
  static Reg mulhi(Reg a, Reg b) { return _mm256_mulhi_epu16(a, b); }
  static Reg mullo(Reg a, Reg b) { return _mm256_mullo_epi16(a, b); }
  static Reg add16(Reg a, Reg b) { return _mm256_add_epi16(a, b); }
  static Reg add8(Reg a, Reg b) { return _mm256_add_epi8(a, b); }
  static Reg addsu8(Reg a, Reg b) { return _mm256_adds_epu8(a, b); }
  static Reg subsu8(Reg a, Reg b) { return _mm256_subs_epu8(a, b); }
};

}  // namespace

const CompositingKernels* avx2CompositingKernels() { return &LaneKernels<Avx2Lanes>::table; }

#else

const CompositingKernels* avx2CompositingKernels() { return nullptr; }

#endif

}  // namespace tarvola
