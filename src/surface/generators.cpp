// 2D generators; see generators.h. Per-frame trigonometry in double precision, converted with
// truncToInt32; per-pixel work in 32-bit integers.
#include "surface/generators.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "base/fixed_point.h"
#include "base/math3d.h"
#include "surface/compositing.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace tarvola {

namespace {

constexpr size_t kScreenPixels = size_t(kScreenWidth) * kScreenHeight;
constexpr size_t kTexturePixels = 256 * 256;

inline uint32_t texel(const uint32_t* texture, int32_t u, int32_t v) {
  return texture[((v >> 16) & 255) * 256 + ((u >> 16) & 255)];
}

}  // namespace

void drawCornerWarp(Surface& target, const Surface& texture, float t) {
  if (target.pixels.size() < kScreenPixels || texture.pixels.size() < kTexturePixels) return;
  const double time = t;
  const double amplitude = std::sin(time * kAngle03D) * 256 + 512;
  auto corner = [&](double angle) { return int64_t(truncToInt32(amplitude * (std::sin(angle) + 1) + 1)); };
  const int64_t c0 = corner(time * kAngle02D), c1 = corner(-time * kAngle05D), c2 = corner(-time * kAngle04D);
  const int64_t c3 = corner(-time * kAngle03D), c4 = corner(time * kAngle05D), c5 = corner(time * kAngle07D);
  const int64_t c6 = corner(-time * kAngle02D);

  // Corners as (column, row): top left (c0, c1), bottom left (c3, c4), top right (c2, c0),
  // bottom right (c5, c6). Edges are 16.16, stepped per row by a truncating division by 240;
  // spans by a truncating division by 320, so the right and bottom edges are only approached.
  // (Arithmetic in 64 bits, stored modulo 2^32 as the 32-bit original wraps.)
  auto fixed = [](int64_t value) { return int32_t(uint32_t(uint64_t(value) << 16)); };
  int32_t leftU = fixed(c0), leftV = fixed(c1), rightU = fixed(c2), rightV = fixed(c0);
  const int32_t leftStepU = int32_t(int64_t(fixed(c3 - c0)) / kScreenHeight);
  const int32_t leftStepV = int32_t(int64_t(fixed(c4 - c1)) / kScreenHeight);
  const int32_t rightStepU = int32_t(int64_t(fixed(c5 - c2)) / kScreenHeight);
  const int32_t rightStepV = int32_t(int64_t(fixed(c6 - c0)) / kScreenHeight);

  const uint32_t* tex = texture.pixels.data();
  uint32_t* out = target.pixels.data();
  for (int32_t y = 0; y < kScreenHeight; ++y) {
    const int32_t du = int32_t((int64_t(rightU) - leftU) / kScreenWidth);
    const int32_t dv = int32_t((int64_t(rightV) - leftV) / kScreenWidth);
    uint32_t u = uint32_t(leftU), v = uint32_t(leftV);
    for (int32_t x = 0; x < kScreenWidth; ++x, u += uint32_t(du), v += uint32_t(dv)) {
      *out++ = texel(tex, int32_t(u), int32_t(v));
    }
    leftU = int32_t(uint32_t(leftU) + uint32_t(leftStepU));
    leftV = int32_t(uint32_t(leftV) + uint32_t(leftStepV));
    rightU = int32_t(uint32_t(rightU) + uint32_t(rightStepU));
    rightV = int32_t(uint32_t(rightV) + uint32_t(rightStepV));
  }
}

void multiplyWindows(Surface& target, const Surface& imageA, const Surface& imageB, int32_t ax, int32_t ay, int32_t bx,
                     int32_t by) {
  constexpr int64_t kRow = 640;
  const int64_t width = target.width, height = target.height;
  if (width <= 0 || height <= 0 || int64_t(target.pixels.size()) < width * height) return;
  auto windowFits = [&](const Surface& image, int64_t x, int64_t y) {
    return x >= 0 && y >= 0 && x + width <= kRow && (y + height - 1) * kRow + x + width <= int64_t(image.pixels.size());
  };
  if (!windowFits(imageA, ax, ay) || !windowFits(imageB, bx, by)) return;
  // One pass per row: each target byte is the product of its two window bytes.
  for (int64_t y = 0; y < height; ++y) {
    fast::product(target.pixels.data() + y * width, imageA.pixels.data() + (ay + y) * kRow + ax,
                  imageB.pixels.data() + (by + y) * kRow + bx, size_t(width));
  }
}

void buildPolarTables(PolarTables& tables) {
  constexpr double kInversePi = 0.3184713375796178;    // 1 / 3.14
  constexpr double kSineScale = 0.005558209476619431;  // D / 3.14
  const size_t entries = size_t(kPolarWidth) * kPolarHeight;
  tables.tableA.assign(entries, PolarEntry{0, 0});
  tables.tableB.assign(entries, PolarEntry{0, 0});
  for (int32_t y = 0; y < kPolarHeight; ++y) {
    for (int32_t x = 0; x < kPolarWidth; ++x) {
      const double dx = x - 320, dy = y - 240;
      const double alpha = std::atan2(dx, dy), beta = std::atan2(dy, dx);
      const size_t i = size_t(y) * kPolarWidth + size_t(x);
      tables.tableA[i] = PolarEntry{truncToInt32(std::fabs(256 * alpha * kInversePi)),
                                    truncToInt32(std::sin(alpha * 360 * kSineScale) * 127 + 128)};
      tables.tableB[i] = PolarEntry{truncToInt32(std::sin(360 * beta * kSineScale) * 127 + 128),
                                    truncToInt32(std::fabs(beta * 256 * kInversePi))};
    }
  }
  auto pack = [](const std::vector<PolarEntry>& table, std::vector<uint16_t>& packed) {
    packed.resize(table.size());
    for (size_t i = 0; i < table.size(); ++i) packed[i] = uint16_t((table[i].u & 255) | (table[i].v & 255) << 8);
  };
  pack(tables.tableA, tables.packedA);
  pack(tables.tableB, tables.packedB);
}

namespace {

// The per-frame part of the interference: five window origins (entry indices of their top-left
// entries) and two texture scrolls. valid is false when a window would leave the tables
// (only for a non-finite t) or the surfaces are too small.
struct InterferenceFrame {
  size_t pA, pB, pC, pD, pE;
  uint32_t s1, s2;
  bool valid;
};

InterferenceFrame interferenceFrame(const Surface& target, const Surface& texture, const PolarTables& tables, float t) {
  InterferenceFrame frame{};
  const size_t tableEntries = size_t(kPolarWidth) * kPolarHeight;
  if (target.pixels.size() < kScreenPixels || texture.pixels.size() < kTexturePixels ||
      tables.tableA.size() < tableEntries || tables.tableB.size() < tableEntries) {
    return frame;
  }
  const double time = t;
  const float radius = float(std::sin(time * kAngle08D) * 10 + 60);
  const float s = t * 0.017452778f;
  const int32_t x1 = truncToInt32(double(angleSin(s)) * radius + 160);
  const int32_t y1 = truncToInt32(double(angleCos(s)) * radius + 120);
  const double gamma = time * kAngle14D;
  const int32_t x2 = truncToInt32(radius * std::sin(gamma) + 160);
  const int32_t y2 = truncToInt32(radius * std::cos(gamma) + 120);
  const int32_t x3 = truncToInt32(std::sin(-time * kAngle08D) * 154 + 160);
  const int32_t y3 = truncToInt32(std::cos(time * kAngle11D) * 110 + 120);
  const int32_t x4 = truncToInt32(std::sin(gamma) * 144 + 160);
  const int32_t y4 = truncToInt32(std::sin(-time * kAngle14D) * 100 + 120);
  auto inside = [](int32_t x, int32_t y) {
    return x >= 0 && x <= kPolarWidth - kScreenWidth && y >= 0 && y <= kPolarHeight - kScreenHeight;
  };
  if (!inside(x1, y1) || !inside(x2, y2) || !inside(x3, y4) || !inside(x4, y4) || !inside(x4, y3)) return frame;
  auto origin = [](int32_t x, int32_t y) { return size_t(y) * kPolarWidth + size_t(x); };
  frame.pA = origin(x1, y1);
  frame.pB = origin(x2, y2);
  frame.pC = origin(x3, y4);
  frame.pD = origin(x4, y4);
  frame.pE = origin(x4, y3);
  frame.s1 = uint32_t(truncToInt32(time));
  frame.s2 = uint32_t(truncToInt32(time * 0.8));
  frame.valid = true;
  return frame;
}

// The two texel indices of screen entry k (k = y * 640 + x), 8-bit wrapped.
inline void interferenceTexels(const InterferenceFrame& f, const PolarEntry* a, const PolarEntry* b, size_t k,
                               uint32_t& i1, uint32_t& i2) {
  i1 = ((uint32_t(a[f.pA + k].v) + uint32_t(b[f.pB + k].v) + f.s2) & 255) * 256 +
       ((uint32_t(b[f.pB + k].u) + uint32_t(a[f.pA + k].u) + f.s1) & 255);
  i2 = ((uint32_t(b[f.pD + k].v) + uint32_t(a[f.pC + k].v) + f.s1) & 255) * 256 +
       ((uint32_t(b[f.pE + k].u) + uint32_t(a[f.pC + k].u) + f.s2) & 255);
}

}  // namespace

namespace plain {

void drawPolarInterference(Surface& target, const Surface& texture, const PolarTables& tables, float t) {
  const InterferenceFrame frame = interferenceFrame(target, texture, tables, t);
  if (!frame.valid) return;
  const PolarEntry* a = tables.tableA.data();
  const PolarEntry* b = tables.tableB.data();
  const uint32_t* tex = texture.pixels.data();
  uint32_t* out = target.pixels.data();
  for (size_t y = 0; y < size_t(kScreenHeight); ++y) {
    for (size_t x = 0; x < size_t(kScreenWidth); ++x) {
      uint32_t i1, i2;
      interferenceTexels(frame, a, b, y * kPolarWidth + x, i1, i2);
      uint32_t pixel = 0;
      for (int byte = 0; byte < 4; ++byte) {
        const uint32_t sum = ((tex[i1] >> (8 * byte)) & 0xFF) + ((tex[i2] >> (8 * byte)) & 0xFF);
        pixel |= std::min(255u, sum) << (8 * byte);
      }
      *out++ = pixel;
    }
  }
}

}  // namespace plain

#if defined(__SSE2__)

// Eight pixels a step from the packed tables: a lane of packed entries is u | v << 8, so byte
// adds (which wrap modulo 256) of two entries and the scrolls give the texel index directly.
void drawPolarInterference(Surface& target, const Surface& texture, const PolarTables& tables, float t) {
  const InterferenceFrame frame = interferenceFrame(target, texture, tables, t);
  const size_t tableEntries = size_t(kPolarWidth) * kPolarHeight;
  if (!frame.valid || tables.packedA.size() < tableEntries || tables.packedB.size() < tableEntries) return;
  const uint16_t* a = tables.packedA.data();
  const uint16_t* b = tables.packedB.data();
  const uint32_t* tex = texture.pixels.data();
  uint32_t* out = target.pixels.data();
  auto lanes = [](const uint16_t* p) { return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p)); };
  // i1 = (A + B) with u + s1, v + s2; i2 = C + (u of E, v of D) with u + s2, v + s1.
  const __m128i scroll1 = _mm_set1_epi16(short((frame.s1 & 255) | (frame.s2 & 255) << 8));
  const __m128i scroll2 = _mm_set1_epi16(short((frame.s2 & 255) | (frame.s1 & 255) << 8));
  const __m128i vBytes = _mm_set1_epi16(short(0xFF00));
  for (size_t y = 0; y < size_t(kScreenHeight); ++y) {
    for (size_t x = 0; x < size_t(kScreenWidth); x += 8) {  // 320 is a multiple of 8
      const size_t k = y * kPolarWidth + x;
      alignas(16) uint16_t i1[8], i2[8];
      _mm_store_si128(reinterpret_cast<__m128i*>(i1),
                      _mm_add_epi8(_mm_add_epi8(lanes(a + frame.pA + k), lanes(b + frame.pB + k)), scroll1));
      const __m128i vOfDuOfE = _mm_or_si128(_mm_and_si128(lanes(b + frame.pD + k), vBytes),
                                            _mm_andnot_si128(vBytes, lanes(b + frame.pE + k)));
      _mm_store_si128(reinterpret_cast<__m128i*>(i2),
                      _mm_add_epi8(_mm_add_epi8(vOfDuOfE, lanes(a + frame.pC + k)), scroll2));
      for (size_t j = 0; j < 8; j += 4) {
        const __m128i first =
            _mm_setr_epi32(int(tex[i1[j]]), int(tex[i1[j + 1]]), int(tex[i1[j + 2]]), int(tex[i1[j + 3]]));
        const __m128i second =
            _mm_setr_epi32(int(tex[i2[j]]), int(tex[i2[j + 1]]), int(tex[i2[j + 2]]), int(tex[i2[j + 3]]));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + j), _mm_adds_epu8(first, second));
      }
      out += 8;
    }
  }
}

#else

void drawPolarInterference(Surface& target, const Surface& texture, const PolarTables& tables, float t) {
  plain::drawPolarInterference(target, texture, tables, t);
}

#endif

}  // namespace tarvola
