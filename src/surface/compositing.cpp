// Compositing kernels: the per-byte reference and its SSE2 twin; see compositing.h.
// The SSE2 path widens the four bytes of each pixel to 16-bit lanes, where every product of
// two bytes (at most 255 * 255 = 65025) and every sum below fits without overflow, shifts
// right by 8 and packs back with unsigned saturation (the formulas' min(255, ...)).
#include "surface/compositing.h"

#include <algorithm>
#include <cstring>

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
    pixels[i] = mapBytes(pixels[i], [&](uint32_t c, int b) {
      return b == 3 ? c : std::min(255u, c + ((amount * c) >> 8));
    });
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
    pixels[i] = mapBytes(pixels[i], [&](uint32_t c, int b) {
      return b == 3 ? 0u : (c * (255 - level) + (255 - c) * level) >> 8;
    });
  }
}

}  // namespace plain

// ---- SSE2 kernels: four pixels per step, the reference for the tail ----------------------

namespace fast {

#if defined(__SSE2__)

namespace {

// Runs op on 16-bit lanes: lo and hi hold pixels 0-1 and 2-3 of the step widened to 16 bits.
template <class Op>
inline void forEachStep(uint32_t* pixels, size_t count, Op op) {
  const __m128i zero = _mm_setzero_si128();
  size_t i = 0;
  for (; i + 4 <= count; i += 4) {
    const __m128i p = _mm_loadu_si128(reinterpret_cast<const __m128i*>(pixels + i));
    const __m128i lo = op(_mm_unpacklo_epi8(p, zero), i);
    const __m128i hi = op(_mm_unpackhi_epi8(p, zero), i + 2);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(pixels + i), _mm_packus_epi16(lo, hi));
  }
}

inline size_t vectorPart(size_t count) { return count & ~size_t(3); }

// A pixel pair's eight lanes loaded from a second buffer.
inline __m128i widenPair(const uint32_t* source, size_t i) {
  return _mm_unpacklo_epi8(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(source + i)),
                           _mm_setzero_si128());
}

inline __m128i lanes(uint16_t b, uint16_t g, uint16_t r, uint16_t a) {
  return _mm_setr_epi16(short(b), short(g), short(r), short(a), short(b), short(g), short(r), short(a));
}

}  // namespace

void scale(uint32_t* pixels, size_t count, uint32_t level) {
  const __m128i l = _mm_set1_epi16(short(level));
  forEachStep(pixels, count, [&](__m128i c, size_t) { return _mm_srli_epi16(_mm_mullo_epi16(c, l), 8); });
  plain::scale(pixels + vectorPart(count), count - vectorPart(count), level);
}

void fadeToColour(uint32_t* pixels, size_t count, uint32_t level, uint32_t colour) {
  const __m128i keep = _mm_set1_epi16(short(255 - level));
  // (k * l) >> 8 is the same for every pixel: computed once.
  const __m128i k = _mm_unpacklo_epi8(_mm_set1_epi32(int(colour)), _mm_setzero_si128());
  const __m128i added = _mm_srli_epi16(_mm_mullo_epi16(k, _mm_set1_epi16(short(level))), 8);
  forEachStep(pixels, count, [&](__m128i c, size_t) {
    return _mm_add_epi16(_mm_srli_epi16(_mm_mullo_epi16(c, keep), 8), added);
  });
  plain::fadeToColour(pixels + vectorPart(count), count - vectorPart(count), level, colour);
}

void blend(uint32_t* target, const uint32_t* source, size_t count, uint32_t level) {
  const __m128i keep = _mm_set1_epi16(short(255 - level));
  const __m128i l = _mm_set1_epi16(short(level));
  forEachStep(target, count, [&](__m128i t, size_t i) {
    const __m128i s = widenPair(source, i);
    return _mm_add_epi16(_mm_srli_epi16(_mm_mullo_epi16(t, keep), 8),
                         _mm_srli_epi16(_mm_mullo_epi16(s, l), 8));
  });
  const size_t done = vectorPart(count);
  plain::blend(target + done, source + done, count - done, level);
}

void brighten(uint32_t* pixels, size_t count, uint32_t amount) {
  // The top byte's multiplier is 0, so it comes back unchanged.
  const uint16_t a = uint16_t(amount);
  const __m128i mul = lanes(a, a, a, 0);
  forEachStep(pixels, count, [&](__m128i c, size_t) {
    return _mm_add_epi16(c, _mm_srli_epi16(_mm_mullo_epi16(c, mul), 8));
  });
  plain::brighten(pixels + vectorPart(count), count - vectorPart(count), amount);
}

void addBrightness(uint32_t* pixels, size_t count, int32_t amount) {
  // c + amount clamped to 0..255 is a saturating byte add (or subtract) of min(|amount|, 255).
  const int32_t magnitude = amount < 0 ? (amount < -255 ? 255 : -amount) : std::min(amount, 255);
  const __m128i step = _mm_set1_epi32(magnitude * 0x010101);  // colour bytes only
  size_t i = 0;
  for (; i + 4 <= count; i += 4) {
    __m128i* p = reinterpret_cast<__m128i*>(pixels + i);
    const __m128i v = _mm_loadu_si128(p);
    _mm_storeu_si128(p, amount < 0 ? _mm_subs_epu8(v, step) : _mm_adds_epu8(v, step));
  }
  plain::addBrightness(pixels + i, count - i, amount);
}

void multiply(uint32_t* target, const uint32_t* source, size_t count) {
  forEachStep(target, count, [&](__m128i t, size_t i) {
    return _mm_srli_epi16(_mm_mullo_epi16(t, widenPair(source, i)), 8);
  });
  const size_t done = vectorPart(count);
  plain::multiply(target + done, source + done, count - done);
}

void invertBlend(uint32_t* pixels, size_t count, uint32_t level) {
  // c*(255-l) + (255-c)*l <= 65025 fits an unsigned 16-bit lane; the top byte is then cleared.
  const __m128i keep = _mm_set1_epi16(short(255 - level));
  const __m128i l = _mm_set1_epi16(short(level));
  const __m128i full = _mm_set1_epi16(255);
  const __m128i colourOnly = lanes(0xFFFF, 0xFFFF, 0xFFFF, 0);
  forEachStep(pixels, count, [&](__m128i c, size_t) {
    const __m128i sum = _mm_add_epi16(_mm_mullo_epi16(c, keep), _mm_mullo_epi16(_mm_sub_epi16(full, c), l));
    return _mm_and_si128(_mm_srli_epi16(sum, 8), colourOnly);
  });
  plain::invertBlend(pixels + vectorPart(count), count - vectorPart(count), level);
}

#else  // no SSE2: the reference is the fast path

void scale(uint32_t* p, size_t n, uint32_t l) { plain::scale(p, n, l); }
void fadeToColour(uint32_t* p, size_t n, uint32_t l, uint32_t c) { plain::fadeToColour(p, n, l, c); }
void blend(uint32_t* t, const uint32_t* s, size_t n, uint32_t l) { plain::blend(t, s, n, l); }
void brighten(uint32_t* p, size_t n, uint32_t a) { plain::brighten(p, n, a); }
void addBrightness(uint32_t* p, size_t n, int32_t a) { plain::addBrightness(p, n, a); }
void multiply(uint32_t* t, const uint32_t* s, size_t n) { plain::multiply(t, s, n); }
void invertBlend(uint32_t* p, size_t n, uint32_t l) { plain::invertBlend(p, n, l); }

#endif

}  // namespace fast

// ---- Surface members: level bytes, and never more pixels than both buffers hold --------------

void Surface::scale(int32_t level) { fast::scale(pixels.data(), walkCount(), uint32_t(level) & 0xFF); }

void Surface::fadeToColour(int32_t level, uint32_t colour) {
  fast::fadeToColour(pixels.data(), walkCount(), uint32_t(level) & 0xFF, colour);
}

void Surface::blendOnto(Surface& target, int32_t level) const {
  fast::blend(target.pixels.data(), pixels.data(), std::min(walkCount(), target.pixels.size()),
              uint32_t(level) & 0xFF);
}

void Surface::brighten(int32_t amount) { fast::brighten(pixels.data(), walkCount(), uint32_t(amount) & 0xFF); }

void Surface::addBrightness(int32_t amount) { fast::addBrightness(pixels.data(), walkCount(), amount); }

void Surface::multiplyOnto(Surface& target) const {
  fast::multiply(target.pixels.data(), pixels.data(), std::min(walkCount(), target.pixels.size()));
}

void Surface::invertBlend(int32_t level) {
  fast::invertBlend(pixels.data(), walkCount(), uint32_t(level) & 0xFF);
}

}  // namespace tarvola
