// 2D filters; see filters.h.
#include "surface/filters.h"
#include "surface/filters_wide.h"

#include <algorithm>
#include <cstring>

#include "base/fixed_point.h"
#include "surface/compositing.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace tarvola {

namespace {

inline uint32_t byteAt(uint32_t pixel, int i) { return (pixel >> (8 * i)) & 0xFF; }

// The sampler's row length: the zoom blur only ever runs on the 320-wide framebuffer.
constexpr int32_t kSamplerRow = kScreenWidth;

bool zoomBlurArgumentsValid(const Surface& surface, int32_t centreX, int32_t centreY, int32_t step) {
  return surface.width == kSamplerRow && surface.height >= 3 && surface.pixels.size() >= surface.pixelCount() &&
         centreX >= 0 && centreX <= surface.width - 3 && centreY >= 0 && centreY <= surface.height - 3 && step >= 1 &&
         step < 65536;
}

// Visits the pixels in the zoom blur's order, handing each its 16.16 sample point:
// rows centreY up to 0, then centreY + 1 down to the last; in each row columns centreX down
// to 0, then centreX + 1 up to the last. Coordinates move by one add per pixel and per row.
template <class Visit>
void walkZoom(Surface& surface, int32_t centreX, int32_t centreY, int32_t step, Visit visit) {
  const int32_t s = (surface.width / kSamplerRow) * step;
  const int32_t inward = s - 65536, outward = 65536 - s;
  auto row = [&](int32_t y, int32_t v) {
    uint32_t* line = surface.pixels.data() + size_t(y) * size_t(surface.width);
    int32_t u = centreX << 16;
    for (int32_t x = centreX; x >= 0; --x, u += inward) visit(line[x], u, v);
    u = (centreX + 1) << 16;
    for (int32_t x = centreX + 1; x < surface.width; ++x, u += outward) visit(line[x], u, v);
  };
  int32_t v = centreY << 16;
  for (int32_t y = centreY; y >= 0; --y, v += inward) row(y, v);
  v = (centreY + 1) << 16;
  for (int32_t y = centreY + 1; y < surface.height; ++y, v += outward) row(y, v);
}

}  // namespace

// ---- Reference versions -----------------------------------------------------------------

namespace plain {

void boxBlurRows(Surface& target, const Surface& source, uint32_t radius) {
  if (radius == 0) {
    const size_t count = std::min({target.walkCount(), source.pixels.size(), target.pixels.size()});
    if (count > 0) std::memcpy(target.pixels.data(), source.pixels.data(), count * sizeof(uint32_t));
    return;
  }
  if (source.width <= 0 || source.height <= 0) return;
  const size_t width = size_t(source.width);
  if (radius >= width) radius = uint32_t(width - 1);
  const float recip = 1.0f / float(2 * radius + 1);
  // Rows that both buffers hold completely.
  const size_t rows = std::min({size_t(source.height), source.pixels.size() / width, target.pixels.size() / width});
  for (size_t y = 0; y < rows; ++y) {
    const uint32_t* in = source.pixels.data() + y * width;
    uint32_t* out = target.pixels.data() + y * width;
    uint32_t sum[4] = {0, 0, 0, 0};
    for (size_t x = 0; x < radius; ++x) {
      for (int b = 0; b < 4; ++b) sum[b] += byteAt(in[x], b);
    }
    for (size_t x = 0; x < width; ++x) {
      if (x > radius) {
        for (int b = 0; b < 4; ++b) sum[b] -= byteAt(in[x - radius - 1], b);
      }
      if (x + radius < width) {
        for (int b = 0; b < 4; ++b) sum[b] += byteAt(in[x + radius], b);
      }
      uint32_t pixel = 0;
      for (int b = 0; b < 4; ++b) pixel |= uint32_t(truncToInt32(double(sum[b]) * double(recip))) << (8 * b);
      out[x] = pixel;
    }
  }
}

void crossBlur(Surface& surface) {
  if (surface.width <= 2 || surface.height <= 2 || surface.pixels.size() < surface.pixelCount()) return;
  const size_t w = size_t(surface.width);
  uint32_t* p = surface.pixels.data();
  for (size_t y = 1; y + 1 < size_t(surface.height); ++y) {
    for (size_t x = 1; x + 1 < w; ++x) {
      const size_t i = y * w + x;
      uint32_t pixel = p[i] & 0xFF000000u;
      for (int b = 0; b < 3; ++b) {
        const uint32_t sum =
            byteAt(p[i - 1], b) + byteAt(p[i + 1], b) + byteAt(p[i - w], b) + byteAt(p[i + w], b) + byteAt(p[i], b);
        pixel |= (sum / 5) << (8 * b);
      }
      p[i] = pixel;
    }
  }
}

uint32_t sampleBilinear320(const uint32_t* pixels, int32_t u, int32_t v) {
  const int32_t x0 = u >> 16, y0 = v >> 16;
  const uint32_t fx = uint32_t(u) & 0xFFFF, fy = uint32_t(v) & 0xFFFF;
  const uint32_t w00 = ((65535 - fx) * (65535 - fy)) >> 24, w10 = (fx * (65535 - fy)) >> 24;
  const uint32_t w01 = ((65535 - fx) * fy) >> 24, w11 = (fx * fy) >> 24;
  const uint32_t* base = pixels + (y0 * kSamplerRow + x0);
  const uint32_t p00 = base[0], p10 = base[1], p01 = base[kSamplerRow], p11 = base[kSamplerRow + 1];
  uint32_t result = 0;
  for (int b = 0; b < 4; ++b) {
    const uint32_t sum = ((byteAt(p00, b) * w00) >> 8) + ((byteAt(p10, b) * w10) >> 8) + ((byteAt(p01, b) * w01) >> 8) +
                         ((byteAt(p11, b) * w11) >> 8);
    result |= std::min(255u, sum) << (8 * b);
  }
  return result;
}

void radialZoomBlur(Surface& surface, int32_t centreX, int32_t centreY, int32_t step, int32_t keep) {
  if (!zoomBlurArgumentsValid(surface, centreX, centreY, step)) return;
  const uint32_t k = uint32_t(keep) & 0xFF;
  const uint32_t* pixels = surface.pixels.data();
  walkZoom(surface, centreX, centreY, step, [&](uint32_t& p, int32_t u, int32_t v) {
    const uint32_t q = plain::sampleBilinear320(pixels, u, v);
    uint32_t result = 0;
    for (int b = 0; b < 4; ++b) {
      result |= std::min(255u, ((byteAt(p, b) * k) >> 8) + ((byteAt(q, b) * (255 - k)) >> 8)) << (8 * b);
    }
    p = result;
  });
}

}  // namespace plain

// ---- Fast versions ----------------------------------------------------------------------

namespace {

// The shared edge rules: false when nothing is to be done, else the clamped radius and the
// rows both buffers hold completely. Radius 0 copies and is handled by the caller.
bool boxBlurExtent(const Surface& target, const Surface& source, uint32_t& radius, size_t& rows) {
  if (source.width <= 0 || source.height <= 0) return false;
  const size_t width = size_t(source.width);
  if (radius >= width) radius = uint32_t(width - 1);
  rows = std::min({size_t(source.height), source.pixels.size() / width, target.pixels.size() / width});
  return true;
}

}  // namespace

#if defined(__SSE2__)

namespace {

inline __m128i widenBytes(uint32_t pixel) {
  const __m128i zero = _mm_setzero_si128();
  return _mm_unpacklo_epi16(_mm_unpacklo_epi8(_mm_cvtsi32_si128(int(pixel)), zero), zero);
}

// Each 32-bit lane of sum times scale, truncated (cvttpd, as truncToInt32 for these values,
// which lie in 0..255), as the four bytes of a pixel.
inline uint32_t scaledPixel(__m128i sum, __m128d scale) {
  const __m128i low = _mm_cvttpd_epi32(_mm_mul_pd(_mm_cvtepi32_pd(sum), scale));
  const __m128i high = _mm_cvttpd_epi32(_mm_mul_pd(_mm_cvtepi32_pd(_mm_srli_si128(sum, 8)), scale));
  __m128i bytes = _mm_packs_epi32(_mm_unpacklo_epi64(low, high), low);
  bytes = _mm_packus_epi16(bytes, bytes);
  return uint32_t(_mm_cvtsi128_si32(bytes));
}

}  // namespace

// The four running sums in one register's 32-bit lanes, each product taken in double exactly as
// the reference does (a 32-bit integer and a float are both exact in double, and the product is
// rounded once).
void boxBlurRows(Surface& target, const Surface& source, uint32_t radius) {
  if (radius == 0) return plain::boxBlurRows(target, source, 0);  // a block copy
  size_t rows = 0;
  if (!boxBlurExtent(target, source, radius, rows)) return;
  const size_t width = size_t(source.width), r = radius;
  if (activeSimdPath() == SimdPath::Simd128 &&
      boxBlurRowsSimd128(target.pixels.data(), source.pixels.data(), width, rows, r))
    return;
  const __m128d scale = _mm_set1_pd(double(1.0f / float(2 * radius + 1)));
  const size_t pairsDone = activeSimdPath() >= SimdPath::Avx2
                               ? boxBlurRowPairsAvx2(target.pixels.data(), source.pixels.data(), width, rows, r)
                               : 0;
  for (size_t y = pairsDone; y < rows; ++y) {
    const uint32_t* in = source.pixels.data() + y * width;
    uint32_t* out = target.pixels.data() + y * width;
    __m128i sum = _mm_setzero_si128();
    for (size_t x = 0; x < r; ++x) sum = _mm_add_epi32(sum, widenBytes(in[x]));
    size_t x = 0;
    for (; x <= r && x < width; ++x) {  // nothing leaves the window yet
      if (x + r < width) sum = _mm_add_epi32(sum, widenBytes(in[x + r]));
      out[x] = scaledPixel(sum, scale);
    }
    for (; x + r < width; ++x) {
      // The change first: one add per pixel on the running chain.
      sum = _mm_add_epi32(sum, _mm_sub_epi32(widenBytes(in[x + r]), widenBytes(in[x - r - 1])));
      out[x] = scaledPixel(sum, scale);
    }
    for (; x < width; ++x) {  // nothing enters any more
      sum = _mm_sub_epi32(sum, widenBytes(in[x - r - 1]));
      out[x] = scaledPixel(sum, scale);
    }
  }
}

#else

void boxBlurRows(Surface& target, const Surface& source, uint32_t radius) {
  plain::boxBlurRows(target, source, radius);
}

#endif

namespace {

// The scalar row walk: the rewritten left neighbour kept in registers rather than read back
// from memory, so the only serial dependency is left -> sum -> / 5.
void crossBlurRow(uint32_t* line, size_t w) {
  uint32_t leftB = line[0] & 0xFF, leftG = (line[0] >> 8) & 0xFF, leftR = (line[0] >> 16) & 0xFF;
  for (size_t x = 1; x + 1 < w; ++x) {
    const uint32_t up = (line - w)[x], down = line[x + w], centre = line[x], right = line[x + 1];
    const uint32_t sumB = leftB + (up & 0xFF) + (down & 0xFF) + (centre & 0xFF) + (right & 0xFF);
    const uint32_t sumG =
        leftG + ((up >> 8) & 0xFF) + ((down >> 8) & 0xFF) + ((centre >> 8) & 0xFF) + ((right >> 8) & 0xFF);
    const uint32_t sumR =
        leftR + ((up >> 16) & 0xFF) + ((down >> 16) & 0xFF) + ((centre >> 16) & 0xFF) + ((right >> 16) & 0xFF);
    leftB = sumB / 5;
    leftG = sumG / 5;
    leftR = sumR / 5;
    line[x] = (centre & 0xFF000000u) | leftR << 16 | leftG << 8 | leftB;
  }
}

}  // namespace

#if defined(__SSE2__)

namespace {

// One pixel of the cross blur from memory, exactly as the reference computes it.
inline void crossBlurPixel(uint32_t* p, size_t i, size_t w) {
  uint32_t pixel = p[i] & 0xFF000000u;
  for (int b = 0; b < 3; ++b) {
    const uint32_t sum =
        byteAt(p[i - 1], b) + byteAt(p[i + 1], b) + byteAt(p[i - w], b) + byteAt(p[i + w], b) + byteAt(p[i], b);
    pixel |= (sum / 5) << (8 * b);
  }
  p[i] = pixel;
}

// Two 32-bit pixels as eight 16-bit lanes: a's bytes in lanes 0-3, b's in lanes 4-7.
inline __m128i widenPair(uint32_t a, uint32_t b) {
  return _mm_unpacklo_epi8(_mm_unpacklo_epi32(_mm_cvtsi32_si128(int(a)), _mm_cvtsi32_si128(int(b))),
                           _mm_setzero_si128());
}

}  // namespace

// Rows in pairs as a wavefront: row y at column s and row y + 1 at column s - 1 in one step,
// eight 16-bit lanes. Each value still sees its rewritten left and up neighbours and its
// original right and down ones, so the result equals the row-by-row reference. A lane's
// division by 5 is (sum * 52429) >> 18, exact for every sum up to 5 * 255.
void crossBlur(Surface& surface) {
  if (surface.width <= 2 || surface.height <= 2 || surface.pixels.size() < surface.pixelCount()) return;
  const size_t w = size_t(surface.width), h = size_t(surface.height);
  uint32_t* p = surface.pixels.data();
  if (activeSimdPath() >= SimdPath::Avx512 && crossBlurAvx512(p, w, h)) return;
  if (activeSimdPath() == SimdPath::Simd128 && crossBlurSimd128(p, w, h)) return;
  const __m128i fifth = _mm_set1_epi16(short(52429));
  const __m128i colourLanes = _mm_setr_epi16(-1, -1, -1, 0, -1, -1, -1, 0);
  const __m128i alphaLanes = _mm_setr_epi16(0, 0, 0, -1, 0, 0, 0, -1);
  size_t y = 1;
  for (; y + 2 < h; y += 2) {
    uint32_t* top = p + y * w;   // row y
    uint32_t* bottom = top + w;  // row y + 1
    crossBlurPixel(p, y * w + 1, w);
    // left: lanes 0-3 row y at s - 1, lanes 4-7 row y + 1 at s - 2.
    __m128i left = widenPair(top[1], bottom[0]);
    for (size_t s = 2; s + 1 < w; ++s) {
      const uint32_t shared = bottom[s];  // row y's down and row y + 1's right
      const __m128i up = _mm_unpacklo_epi64(widenPair((top - w)[s], 0), left);
      const __m128i centre = widenPair(top[s], bottom[s - 1]);
      const __m128i others =
          _mm_add_epi16(_mm_add_epi16(centre, widenPair(top[s + 1], shared)), widenPair(shared, bottom[s - 1 + w]));
      const __m128i sum = _mm_add_epi16(_mm_add_epi16(others, up), left);
      const __m128i blurred = _mm_srli_epi16(_mm_mulhi_epu16(sum, fifth), 2);
      left = _mm_or_si128(_mm_and_si128(blurred, colourLanes), _mm_and_si128(centre, alphaLanes));
      const __m128i packed = _mm_packus_epi16(left, left);
      top[s] = uint32_t(_mm_cvtsi128_si32(packed));
      bottom[s - 1] = uint32_t(_mm_cvtsi128_si32(_mm_srli_si128(packed, 4)));
    }
    crossBlurPixel(p, (y + 1) * w + (w - 2), w);
  }
  for (; y + 1 < h; ++y) crossBlurRow(p + y * w, w);
}

#else

void crossBlur(Surface& surface) {
  if (surface.width <= 2 || surface.height <= 2 || surface.pixels.size() < surface.pixelCount()) return;
  const size_t w = size_t(surface.width);
  for (size_t y = 1; y + 1 < size_t(surface.height); ++y) crossBlurRow(surface.pixels.data() + y * w, w);
}

#endif

#if defined(__SSE2__)

void radialZoomBlur(Surface& surface, int32_t centreX, int32_t centreY, int32_t step, int32_t keep) {
  if (!zoomBlurArgumentsValid(surface, centreX, centreY, step)) return;
  const uint32_t k = uint32_t(keep) & 0xFF;
  if (activeSimdPath() >= SimdPath::Avx2 &&
      radialZoomBlurAvx2(surface.pixels.data(), surface.height, centreX, centreY, step, k))
    return;
  if (activeSimdPath() == SimdPath::Simd128 &&
      radialZoomBlurSimd128(surface.pixels.data(), surface.height, centreX, centreY, step, k))
    return;
  const __m128i zero = _mm_setzero_si128();
  const __m128i keepOld = _mm_set1_epi16(short(k)), keepSample = _mm_set1_epi16(short(255 - k));
  const __m128i byteMax = _mm_set1_epi16(255);
  const uint32_t* pixels = surface.pixels.data();
  walkZoom(surface, centreX, centreY, step, [&](uint32_t& p, int32_t u, int32_t v) {
    const uint32_t fx = uint32_t(u) & 0xFFFF, fy = uint32_t(v) & 0xFFFF;
    const short w00 = short(((65535 - fx) * (65535 - fy)) >> 24), w10 = short((fx * (65535 - fy)) >> 24);
    const short w01 = short(((65535 - fx) * fy) >> 24), w11 = short((fx * fy) >> 24);
    const uint32_t* base = pixels + ((v >> 16) * kSamplerRow + (u >> 16));
    // Lanes 0-3 hold the left pixel of a pair, lanes 4-7 the right one.
    const __m128i top = _mm_unpacklo_epi8(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(base)), zero);
    const __m128i bottom =
        _mm_unpacklo_epi8(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(base + kSamplerRow)), zero);
    const __m128i weightedTop =
        _mm_srli_epi16(_mm_mullo_epi16(top, _mm_setr_epi16(w00, w00, w00, w00, w10, w10, w10, w10)), 8);
    const __m128i weightedBottom =
        _mm_srli_epi16(_mm_mullo_epi16(bottom, _mm_setr_epi16(w01, w01, w01, w01, w11, w11, w11, w11)), 8);
    __m128i q = _mm_add_epi16(weightedTop, weightedBottom);
    q = _mm_min_epi16(_mm_add_epi16(q, _mm_srli_si128(q, 8)), byteMax);  // at most 4 * 254: signed min is safe
    const __m128i old = _mm_unpacklo_epi8(_mm_cvtsi32_si128(int(p)), zero);
    const __m128i mixed = _mm_add_epi16(_mm_srli_epi16(_mm_mullo_epi16(old, keepOld), 8),
                                        _mm_srli_epi16(_mm_mullo_epi16(q, keepSample), 8));
    p = uint32_t(_mm_cvtsi128_si32(_mm_packus_epi16(mixed, mixed)));
  });
}

#else

void radialZoomBlur(Surface& surface, int32_t centreX, int32_t centreY, int32_t step, int32_t keep) {
  plain::radialZoomBlur(surface, centreX, centreY, step, keep);
}

#endif

}  // namespace tarvola
