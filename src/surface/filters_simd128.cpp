// Three filters on WebAssembly's 128-bit SIMD, each with the same walk and arithmetic as its
// plain form in filters.cpp: the row box blur, the cross blur's two-row wavefront and the radial
// zoom blur with a row's bilinear weights worked out before the row is walked. Written with the
// WebAssembly operations themselves where the SSE2 forms have none (cvttpd, mulhi) and would be
// emulated. filters.cpp calls these only on the Simd128 path; other builds get the stubs.
#include "surface/filters_wide.h"
#include "surface/zoom_walk.h"

#include <cstddef>
#include <cstdint>

#if defined(__wasm_simd128__)
#include <wasm_simd128.h>
#endif

namespace tarvola {

#if defined(__wasm_simd128__)

namespace {

// A pixel's four bytes as four 32-bit lanes.
inline v128_t widenedPixel(const uint32_t* pixel) {
  return wasm_u32x4_extend_low_u16x8(wasm_u16x8_extend_low_u8x16(wasm_v128_load32_zero(pixel)));
}

// Two pixels as eight 16-bit lanes: a's bytes in lanes 0-3, b's in lanes 4-7.
inline v128_t widenedPair(const uint32_t* a, const uint32_t* b) {
  return wasm_u16x8_extend_low_u8x16(wasm_v128_load32_lane(b, wasm_v128_load32_zero(a), 1));
}

// Each 32-bit lane of sum times scale in double as the reference forms it, truncated: floor (the
// values are not negative), then 2^52 added, exactly, so that the integer (below 256) is the low
// word of the double's bits; the 32-bit lanes of those low words.
inline v128_t scaled(v128_t sum, v128_t scale) {
  const v128_t magic = wasm_f64x2_splat(4503599627370496.0);
  const v128_t low = wasm_f64x2_add(wasm_f64x2_floor(wasm_f64x2_mul(wasm_f64x2_convert_low_i32x4(sum), scale)), magic);
  const v128_t high = wasm_f64x2_add(
      wasm_f64x2_floor(wasm_f64x2_mul(wasm_f64x2_convert_low_i32x4(wasm_i32x4_shuffle(sum, sum, 2, 3, 2, 3)), scale)),
      magic);
  return wasm_i32x4_shuffle(low, high, 0, 2, 4, 6);
}

// The same as the four bytes of a pixel.
inline void storeScaled(uint32_t* out, v128_t sum, v128_t scale) {
  const v128_t bytes = scaled(sum, scale);
  const v128_t words = wasm_u16x8_narrow_i32x4(bytes, bytes);
  wasm_v128_store32_lane(out, wasm_u8x16_narrow_i16x8(words, words), 0);
}

}  // namespace

// The four running sums in one register's 32-bit lanes, each product in double as the
// reference takes it.
bool boxBlurRowsSimd128(uint32_t* out, const uint32_t* in, size_t width, size_t rows, size_t radius) {
  const v128_t scale = wasm_f64x2_splat(double(1.0f / float(2 * radius + 1)));
  const size_t r = radius;
  for (size_t y = 0; y < rows; ++y) {
    const uint32_t* row = in + y * width;
    uint32_t* line = out + y * width;
    v128_t sum = wasm_i32x4_splat(0);
    for (size_t x = 0; x < r; ++x) sum = wasm_i32x4_add(sum, widenedPixel(row + x));
    size_t x = 0;
    for (; x <= r && x < width; ++x) {  // nothing leaves the window yet
      if (x + r < width) sum = wasm_i32x4_add(sum, widenedPixel(row + x + r));
      storeScaled(line + x, sum, scale);
    }
    for (; x + r + 1 < width; x += 2) {  // two pixels a step
      const v128_t change = wasm_i16x8_sub(wasm_u16x8_extend_low_u8x16(wasm_v128_load64_zero(row + x + r)),
                                           wasm_u16x8_extend_low_u8x16(wasm_v128_load64_zero(row + x - r - 1)));
      sum = wasm_i32x4_add(sum, wasm_i32x4_extend_low_i16x8(change));
      const v128_t first = scaled(sum, scale);
      sum = wasm_i32x4_add(sum, wasm_i32x4_extend_high_i16x8(change));
      const v128_t words = wasm_u16x8_narrow_i32x4(first, scaled(sum, scale));
      wasm_v128_store64_lane(line + x, wasm_u8x16_narrow_i16x8(words, words), 0);
    }
    for (; x + r < width; ++x) {
      sum = wasm_i32x4_add(sum, wasm_i32x4_sub(widenedPixel(row + x + r), widenedPixel(row + x - r - 1)));
      storeScaled(line + x, sum, scale);
    }
    for (; x < width; ++x) {  // nothing enters any more
      sum = wasm_i32x4_sub(sum, widenedPixel(row + x - r - 1));
      storeScaled(line + x, sum, scale);
    }
  }
  return true;
}

namespace {

// sum / 5, truncated, in each 16-bit lane, given sum - 2: q15mulr gives
// ((sum - 2) * 6554 + 2^14) >> 15, which equals sum / 5 for every sum in 0..8193 (a sum here is
// at most 5 * 255, also in the top byte's lanes, which are blurred too and dropped at the store).
inline v128_t fifthOf(v128_t sumLessTwo) { return wasm_i16x8_q15mulr_sat(sumLessTwo, wasm_i16x8_splat(6554)); }

// The colour lanes of blurred and the top byte's of centre, as two pixels' bytes (lanes 0-3 the
// first, 4-7 the second).
inline v128_t packedPair(v128_t blurred, v128_t centre) {
  const v128_t colourLanes = wasm_i16x8_make(-1, -1, -1, 0, -1, -1, -1, 0);
  const v128_t pair = wasm_v128_bitselect(blurred, centre, colourLanes);
  return wasm_u8x16_narrow_i16x8(pair, pair);
}

// One pixel of the cross blur from memory, as the reference computes it.
inline void crossBlurPixel(uint32_t* p, size_t w) {
  const v128_t centre = widenedPair(p, p);
  const v128_t halves = wasm_i16x8_add(widenedPair(p - 1, p + 1), widenedPair(p - w, p + w));
  const v128_t sum =
      wasm_i16x8_add(wasm_i16x8_add(halves, wasm_i16x8_shuffle(halves, halves, 4, 5, 6, 7, 0, 1, 2, 3)), centre);
  wasm_v128_store32_lane(p, packedPair(fifthOf(wasm_i16x8_sub(sum, wasm_i16x8_splat(2))), centre), 0);
}

// One step of two rows in flight: upper at column c, the row below at c - 1, with their up
// neighbours (rewritten) and their left ones (the previous step's result) in lanes 0-3 and 4-7;
// centre (the previous step's right), right and down are still the originals. Stores both
// pixels, moves centre on to this step's right and returns the blurred lanes, the next left.
inline v128_t pairStep(uint32_t* upper, size_t w, size_t c, v128_t up, v128_t left, v128_t& centre) {
  uint32_t* lower = upper + w;
  const v128_t right = widenedPair(upper + c + 1, lower + c);
  const v128_t down = wasm_i16x8_sub(widenedPair(lower + c, lower + w + c - 1), wasm_i16x8_splat(2));
  const v128_t others = wasm_i16x8_add(wasm_i16x8_add(centre, right), down);
  const v128_t blurred = fifthOf(wasm_i16x8_add(wasm_i16x8_add(others, left), up));  // the chain: left, up, fifth
  const v128_t packed = packedPair(blurred, centre);
  wasm_v128_store32_lane(upper + c, packed, 0);
  wasm_v128_store32_lane(lower + c - 1, packed, 1);
  centre = right;
  return blurred;
}

// The up neighbours of a pair step whose upper row reads row `above` at column c from memory.
inline v128_t upFromMemory(const uint32_t* above, v128_t left) {
  return wasm_i16x8_shuffle(widenedPair(above, above), left, 0, 1, 2, 3, 8, 9, 10, 11);
}

}  // namespace

// A wavefront as the SSE2 path in filters.cpp has it, four rows deep: rows y and y + 1 in one
// register at columns s and s - 1, rows y + 2 and y + 3 in another at s - 2 and s - 3. Each value
// sees its rewritten left and up neighbours and its original right and down ones, so the result
// equals the row-by-row reference; the two registers' chains overlap. The first and last columns
// of the wave's slope are done one pixel at a time, rows left over in pairs, a last single row
// alone.
bool crossBlurSimd128(uint32_t* pixels, size_t w, size_t h) {
  size_t y = 1;
  if (w >= 5) {
    for (; y + 4 < h; y += 4) {
      uint32_t* row = pixels + y * w;
      for (size_t k = 0; k < 3; ++k) {
        for (size_t x = 1; x <= 3 - k; ++x) crossBlurPixel(row + k * w + x, w);
      }
      v128_t upper = widenedPair(row + 3, row + w + 2), lower = widenedPair(row + 2 * w + 1, row + 3 * w);
      v128_t upperCentre = widenedPair(row + 4, row + w + 3),
             lowerCentre = widenedPair(row + 2 * w + 2, row + 3 * w + 1);
      for (size_t s = 4; s + 1 < w; ++s) {
        const v128_t lowerUp = wasm_i16x8_shuffle(upper, lower, 4, 5, 6, 7, 8, 9, 10, 11);
        upper = pairStep(row, w, s, upFromMemory(row - w + s, upper), upper, upperCentre);
        lower = pairStep(row + 2 * w, w, s - 2, lowerUp, lower, lowerCentre);
      }
      for (size_t k = 1; k < 4; ++k) {
        for (size_t x = w - 1 - k; x + 1 < w; ++x) crossBlurPixel(row + k * w + x, w);
      }
    }
  }
  for (; y + 1 < h; y += 2) {
    uint32_t* top = pixels + y * w;  // row y
    if (y + 2 == h) {                // a last single row: its pixels in lanes 0-3 alone
      v128_t left = widenedPair(top, top);
      for (size_t s = 1; s + 1 < w; ++s) {
        const v128_t centre = widenedPair(top + s, top + s);
        const v128_t others = wasm_i16x8_add(
            wasm_i16x8_add(widenedPair(top + s + 1, top + s + 1), wasm_i16x8_sub(centre, wasm_i16x8_splat(2))),
            wasm_i16x8_add(widenedPair(top - w + s, top - w + s), widenedPair(top + w + s, top + w + s)));
        left = fifthOf(wasm_i16x8_add(others, left));
        wasm_v128_store32_lane(top + s, packedPair(left, centre), 0);
      }
      break;
    }
    crossBlurPixel(top + 1, w);
    // left: lanes 0-3 row y at s - 1, lanes 4-7 row y + 1 at s - 2.
    v128_t left = widenedPair(top + 1, top + w), centre = widenedPair(top + 2, top + w + 1);
    for (size_t s = 2; s + 1 < w; ++s) left = pairStep(top, w, s, upFromMemory(top - w + s, left), left, centre);
    crossBlurPixel(top + w + w - 2, w);
  }
  return true;
}

// pixels: 320 x height; 0 <= cx <= 317, 0 <= cy <= height - 3, 1 <= s < 65536; k the keep byte.
bool radialZoomBlurSimd128(uint32_t* pixels, int32_t height, int32_t cx, int32_t cy, int32_t s, uint32_t k) {
  constexpr int32_t kRow = kZoomRow;
  const ZoomColumns columns(cx, s);
  const int32_t* column = columns.column;
  const uint32_t *notFx = columns.notFx, *fx = columns.fx;
  alignas(32) uint64_t weights[kRow];  // per column: w00, w10, w01, w11 in 16-bit fields
  const v128_t keepOld = wasm_i16x8_splat(int16_t(k)), keepSample = wasm_i16x8_splat(int16_t(255 - k));
  const v128_t byteMax = wasm_i16x8_splat(255);

  auto row = [&](int32_t y, int32_t v) {
    const uint32_t fy = uint32_t(v) & 0xFFFF;
    const v128_t notFy = wasm_i32x4_splat(int32_t(65535 - fy)), fyv = wasm_i32x4_splat(int32_t(fy));
    // Products of two values below 65536 fit 32 bits unsigned: the low half is the whole.
    for (int32_t x = 0; x < kRow; x += 4) {
      const v128_t a = wasm_v128_load(notFx + x), b = wasm_v128_load(fx + x);
      const v128_t w00 = wasm_u32x4_shr(wasm_i32x4_mul(a, notFy), 24);
      const v128_t w10 = wasm_u32x4_shr(wasm_i32x4_mul(b, notFy), 24);
      const v128_t w01 = wasm_u32x4_shr(wasm_i32x4_mul(a, fyv), 24);
      const v128_t w11 = wasm_u32x4_shr(wasm_i32x4_mul(b, fyv), 24);
      const v128_t upper = wasm_v128_or(w00, wasm_i32x4_shl(w10, 16));
      const v128_t lower = wasm_v128_or(w01, wasm_i32x4_shl(w11, 16));
      wasm_v128_store(weights + x, wasm_i32x4_shuffle(upper, lower, 0, 4, 1, 5));
      wasm_v128_store(weights + x + 2, wasm_i32x4_shuffle(upper, lower, 2, 6, 3, 7));
    }
    uint32_t* line = pixels + size_t(y) * kRow;
    const uint32_t* sampleRow = pixels + size_t(v >> 16) * kRow;
    auto visit = [&](int32_t x) {
      // The four taps by 32-bit loads, so that a pixel stored by the previous step is read back
      // whole rather than by a wider load across it.
      const uint32_t* base = sampleRow + column[x];
      v128_t taps = wasm_v128_load32_lane(base + 1, wasm_v128_load32_zero(base), 1);
      taps = wasm_v128_load32_lane(base + kRow + 1, wasm_v128_load32_lane(base + kRow, taps, 2), 3);
      const v128_t w = wasm_v128_load64_zero(weights + x);
      const v128_t wTop = wasm_i8x16_shuffle(w, w, 0, 1, 0, 1, 0, 1, 0, 1, 2, 3, 2, 3, 2, 3, 2, 3);
      const v128_t wBottom = wasm_i8x16_shuffle(w, w, 4, 5, 4, 5, 4, 5, 4, 5, 6, 7, 6, 7, 6, 7, 6, 7);
      const v128_t weighted =
          wasm_i16x8_add(wasm_u16x8_shr(wasm_i16x8_mul(wasm_u16x8_extend_low_u8x16(taps), wTop), 8),
                         wasm_u16x8_shr(wasm_i16x8_mul(wasm_u16x8_extend_high_u8x16(taps), wBottom), 8));
      const v128_t q = wasm_u16x8_min(
          wasm_i16x8_add(weighted, wasm_i16x8_shuffle(weighted, weighted, 4, 5, 6, 7, 0, 1, 2, 3)), byteMax);
      const v128_t old = wasm_u16x8_extend_low_u8x16(wasm_v128_load32_zero(line + x));
      const v128_t mixed = wasm_i16x8_add(wasm_u16x8_shr(wasm_i16x8_mul(old, keepOld), 8),
                                          wasm_u16x8_shr(wasm_i16x8_mul(q, keepSample), 8));
      wasm_v128_store32_lane(line + x, wasm_u8x16_narrow_i16x8(mixed, mixed), 0);
    };
    walkZoomColumns(cx, visit);
  };
  walkZoomRows(height, cy, s, row);
  return true;
}

#else

bool boxBlurRowsSimd128(uint32_t*, const uint32_t*, size_t, size_t, size_t) { return false; }
bool crossBlurSimd128(uint32_t*, size_t, size_t) { return false; }
bool radialZoomBlurSimd128(uint32_t*, int32_t, int32_t, int32_t, int32_t, uint32_t) { return false; }

#endif

}  // namespace tarvola
