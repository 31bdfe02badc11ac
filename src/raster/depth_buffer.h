// The depth buffer the triangle fillers test and write, and the depth key it holds: the 16.16
// value of 32767 / depth (camera-space z), larger meaning nearer, 0 meaning empty. The frame
// loop owns the demo's one buffer, clears it once per frame and hands it to the scenes.
#pragma once

#include <cstdint>
#include <vector>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace tarvola {

struct DepthBuffer {
  int32_t width = 0;
  int32_t height = 0;
  // width * height keys, row-major: pixel (x, y) at [y * width + x]. Allocated once.
  std::vector<int32_t> keys;

  // Allocates width * height keys, all 0 (once, during start-up).
  void create(int32_t newWidth, int32_t newHeight);
  // Sets every key to 0 (one block fill); once per frame, before the scene renders.
  void clear();
};

// The depth test of every filler: a pixel with key k is drawn when k > the stored key
// (signed, strict: of two equal keys the first drawn stays), and k is then stored.
inline bool depthTestAndStore(int32_t& stored, int32_t key) {
  if (key <= stored) return false;
  stored = key;
  return true;
}

// Whether any of count keys key, key + step, key + 2 step, ... (16.16 wrapping steps) would
// pass the depth test against the stored keys from stored[0] on.
inline bool anyKeyNearerPlain(const int32_t* stored, int32_t count, int32_t key, int32_t step) {
  for (int32_t i = 0; i < count; ++i) {
    if (key > stored[i]) return true;
    key = int32_t(uint32_t(key) + uint32_t(step));
  }
  return false;
}

#if defined(__SSE2__)
// Four keys a step, compared signed like the plain test: keys key + (offset + lane) steps
// against stored[offset + lane]. A span of 4 to 16 keys takes four such steps at offsets 0,
// 4, 8 and 12, each moved back to count - 4 at most (a key tested twice gives the same answer),
// so its one branch does not depend on the span's length; shorter and longer spans take the
// plain loop.
inline bool anyKeyNearer(const int32_t* stored, int32_t count, int32_t key, int32_t step) {
  if (count < 4 || count > 16) return anyKeyNearerPlain(stored, count, key, step);
  const uint32_t s = uint32_t(step);
  const __m128i lanes = _mm_setr_epi32(0, int(s), int(2 * s), int(3 * s));
  const int32_t last = count - 4;
  __m128i nearer = _mm_setzero_si128();
  for (int32_t chunk = 0; chunk < 16; chunk += 4) {
    const int32_t offset = chunk < last ? chunk : last;
    const __m128i keys = _mm_add_epi32(_mm_set1_epi32(int(uint32_t(key) + uint32_t(offset) * s)), lanes);
    const __m128i held = _mm_loadu_si128(reinterpret_cast<const __m128i*>(stored + offset));
    nearer = _mm_or_si128(nearer, _mm_cmpgt_epi32(keys, held));
  }
  return _mm_movemask_epi8(nearer) != 0;
}
#else
inline bool anyKeyNearer(const int32_t* stored, int32_t count, int32_t key, int32_t step) {
  return anyKeyNearerPlain(stored, count, key, step);
}
#endif

}  // namespace tarvola
