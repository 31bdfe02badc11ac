// Compositing kernels: the per-byte reference, the vector paths and the choice between them;
// see compositing.h and compositing_lanes.h.
#include "surface/compositing.h"

#include <algorithm>
#include <cstring>

#include "surface/compositing_lanes.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace tarvola {

namespace {

// Applies f(byte, index) to the four bytes of a pixel (index 0 blue ... 3 the top byte).
template <class F>
inline uint32_t mapBytes(uint32_t pixel, F f) {
  uint32_t result = 0;
  for (int i = 0; i < 4; ++i) {
    const uint32_t c = (pixel >> (8 * i)) & 0xFF;
    result |= (f(c, i) & 0xFF) << (8 * i);
  }
  return result;
}

inline uint32_t byteAt(uint32_t pixel, int i) { return (pixel >> (8 * i)) & 0xFF; }

}  // namespace

void copySurface(const Surface& source, Surface& target) {
  const size_t count = std::min(source.walkCount(), target.pixels.size());
  if (count > 0) std::memcpy(target.pixels.data(), source.pixels.data(), count * sizeof(uint32_t));
}

// ---- Reference kernels: the formulas, one byte at a time ------------------------------------

namespace plain {

void scale(uint32_t* pixels, size_t count, uint32_t level) {
  for (size_t i = 0; i < count; ++i) {
    pixels[i] = mapBytes(pixels[i], [&](uint32_t c, int) { return (c * level) >> 8; });
  }
}

void fadeToColour(uint32_t* pixels, size_t count, uint32_t level, uint32_t colour) {
  for (size_t i = 0; i < count; ++i) {
    pixels[i] = mapBytes(pixels[i], [&](uint32_t c, int b) {
      return std::min(255u, ((c * (255 - level)) >> 8) + ((byteAt(colour, b) * level) >> 8));
    });
  }
}

void blend(uint32_t* target, const uint32_t* source, size_t count, uint32_t level) {
  for (size_t i = 0; i < count; ++i) {
    target[i] = mapBytes(target[i], [&](uint32_t t, int b) {
      return std::min(255u, ((t * (255 - level)) >> 8) + ((byteAt(source[i], b) * level) >> 8));
    });
  }
}

void brighten(uint32_t* pixels, size_t count, uint32_t amount) {
  for (size_t i = 0; i < count; ++i) {
    pixels[i] =
        mapBytes(pixels[i], [&](uint32_t c, int b) { return b == 3 ? c : std::min(255u, c + ((amount * c) >> 8)); });
  }
}

void addBrightness(uint32_t* pixels, size_t count, int32_t amount) {
  for (size_t i = 0; i < count; ++i) {
    pixels[i] = mapBytes(pixels[i], [&](uint32_t c, int b) {
      return b == 3 ? c : uint32_t(std::clamp<int64_t>(int64_t(c) + amount, 0, 255));
    });
  }
}

void multiply(uint32_t* target, const uint32_t* source, size_t count) {
  for (size_t i = 0; i < count; ++i) {
    target[i] = mapBytes(target[i], [&](uint32_t t, int b) { return (t * byteAt(source[i], b)) >> 8; });
  }
}

void invertBlend(uint32_t* pixels, size_t count, uint32_t level) {
  for (size_t i = 0; i < count; ++i) {
    pixels[i] = mapBytes(pixels[i],
                         [&](uint32_t c, int b) { return b == 3 ? 0u : (c * (255 - level) + (255 - c) * level) >> 8; });
  }
}

}  // namespace plain

// ---- Vector paths: SSE2 here; AVX2, AVX-512 and WebAssembly SIMD in their own files -------

#if defined(__SSE2__)

namespace {

struct Sse2Lanes {
  using Reg = __m128i;
  static constexpr size_t kPixels = 4;
  static Reg load(const uint32_t* p) { return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p)); }
  static void store(uint32_t* p, Reg v) { _mm_storeu_si128(reinterpret_cast<__m128i*>(p), v); }
  static Reg set16(int16_t v) { return _mm_set1_epi16(v); }
  static Reg set32(int32_t v) { return _mm_set1_epi32(v); }
  static Reg slli8(Reg v) { return _mm_slli_epi16(v, 8); }
  static Reg srli8(Reg v) { return _mm_srli_epi16(v, 8); }
  static Reg andv(Reg a, Reg b) { return _mm_and_si128(a, b); }
  static Reg orv(Reg a, Reg b) { return _mm_or_si128(a, b); }
  static Reg mulhi(Reg a, Reg b) { return _mm_mulhi_epu16(a, b); }
  static Reg mullo(Reg a, Reg b) { return _mm_mullo_epi16(a, b); }
  static Reg add16(Reg a, Reg b) { return _mm_add_epi16(a, b); }
  static Reg add8(Reg a, Reg b) { return _mm_add_epi8(a, b); }
  static Reg addsu8(Reg a, Reg b) { return _mm_adds_epu8(a, b); }
  static Reg subsu8(Reg a, Reg b) { return _mm_subs_epu8(a, b); }
};

}  // namespace

#endif

namespace {

void plainProduct(uint32_t* target, const uint32_t* a, const uint32_t* b, size_t count) {
  for (size_t i = 0; i < count; ++i) {
    uint32_t pixel = a[i];
    plain::multiply(&pixel, b + i, 1);
    target[i] = pixel;
  }
}

constexpr CompositingKernels kPlainKernels = {plain::scale,      plain::fadeToColour,  plain::blend,
                                              plain::brighten,   plain::addBrightness, plainProduct,
                                              plain::invertBlend};

// The table of a path this build has (the active one always is).
const CompositingKernels* tableOf(SimdPath path) {
  switch (path) {
#if defined(__SSE2__)
    case SimdPath::Sse2:
      return &LaneKernels<Sse2Lanes>::table;
#endif
    case SimdPath::Simd128:
      return simd128CompositingKernels();
    case SimdPath::Avx2:
      return avx2CompositingKernels();
    case SimdPath::Avx512:
      return avx512CompositingKernels();
    default:
      return &kPlainKernels;
  }
}

inline const CompositingKernels& kernels() { return *tableOf(activeSimdPath()); }

}  // namespace

const CompositingKernels* simdKernels(SimdPath path) { return simdPathAvailable(path) ? tableOf(path) : nullptr; }

namespace fast {

void scale(uint32_t* p, size_t n, uint32_t l) { kernels().scale(p, n, l); }
void fadeToColour(uint32_t* p, size_t n, uint32_t l, uint32_t c) { kernels().fadeToColour(p, n, l, c); }
void blend(uint32_t* t, const uint32_t* s, size_t n, uint32_t l) { kernels().blend(t, s, n, l); }
void brighten(uint32_t* p, size_t n, uint32_t a) { kernels().brighten(p, n, a); }
void addBrightness(uint32_t* p, size_t n, int32_t a) { kernels().addBrightness(p, n, a); }
void multiply(uint32_t* t, const uint32_t* s, size_t n) { kernels().product(t, t, s, n); }
void invertBlend(uint32_t* p, size_t n, uint32_t l) { kernels().invertBlend(p, n, l); }
void product(uint32_t* t, const uint32_t* a, const uint32_t* b, size_t n) { kernels().product(t, a, b, n); }

}  // namespace fast

// ---- Surface members: level bytes, and never more pixels than both buffers hold --------------

void Surface::scale(int32_t level) { fast::scale(pixels.data(), walkCount(), uint32_t(level) & 0xFF); }

void Surface::fadeToColour(int32_t level, uint32_t colour) {
  fast::fadeToColour(pixels.data(), walkCount(), uint32_t(level) & 0xFF, colour);
}

void Surface::blendOnto(Surface& target, int32_t level) const {
  fast::blend(target.pixels.data(), pixels.data(), std::min(walkCount(), target.pixels.size()), uint32_t(level) & 0xFF);
}

void Surface::brighten(int32_t amount) { fast::brighten(pixels.data(), walkCount(), uint32_t(amount) & 0xFF); }

void Surface::addBrightness(int32_t amount) { fast::addBrightness(pixels.data(), walkCount(), amount); }

void Surface::multiplyOnto(Surface& target) const {
  fast::multiply(target.pixels.data(), pixels.data(), std::min(walkCount(), target.pixels.size()));
}

void Surface::invertBlend(int32_t level) { fast::invertBlend(pixels.data(), walkCount(), uint32_t(level) & 0xFF); }

}  // namespace tarvola
