// The radial zoom blur's walk for its vector paths (filters_avx2.cpp, filters_simd128.cpp): each
// column's sample column and weight factors, worked out once per call, and the order in which
// rows and columns are visited (see filters.h). Internal linkage only, so that code compiled for
// a wider instruction set never serves another file.
#pragma once

#include <cstdint>

namespace tarvola {
namespace {

constexpr int32_t kZoomRow = 320;

// Per column, in either run: the sample's column x0 and its weights' factors 65535 - fx, fx.
struct ZoomColumns {
  alignas(32) int32_t column[kZoomRow];
  alignas(32) uint32_t notFx[kZoomRow];
  alignas(32) uint32_t fx[kZoomRow];

  ZoomColumns(int32_t cx, int32_t s) {
    int32_t u = cx << 16;
    for (int32_t x = cx; x >= 0; --x, u += s - 65536) set(x, u);
    u = (cx + 1) << 16;
    for (int32_t x = cx + 1; x < kZoomRow; ++x, u += 65536 - s) set(x, u);
  }
  void set(int32_t x, int32_t u) {
    column[x] = u >> 16;
    fx[x] = uint32_t(u) & 0xFFFF;
    notFx[x] = 65535 - fx[x];
  }
};

// row(y, v) for rows cy up to 0, then cy + 1 down to the last, v the row's 16.16 sample row.
template <class Row>
inline void walkZoomRows(int32_t height, int32_t cy, int32_t s, Row row) {
  int32_t v = cy << 16;
  for (int32_t y = cy; y >= 0; --y, v += s - 65536) row(y, v);
  v = (cy + 1) << 16;
  for (int32_t y = cy + 1; y < height; ++y, v += 65536 - s) row(y, v);
}

// visit(x) for the columns of a row. The left run (columns cx down to 0) and the right run
// (cx + 1 up) never meet: a left sample's taps lie at columns <= cx (its tap at cx + 1, at
// x = cx, has weight 0) and a right sample's at >= cx + 1. Stepping both at once keeps each
// run's own order and gives the processor two independent chains of pixels instead of one.
template <class Visit>
inline void walkZoomColumns(int32_t cx, Visit visit) {
  int32_t left = cx, right = cx + 1;
  for (; left >= 0 && right < kZoomRow; --left, ++right) {
    visit(left);
    visit(right);
  }
  for (; left >= 0; --left) visit(left);
  for (; right < kZoomRow; ++right) visit(right);
}

}  // namespace
}  // namespace tarvola
