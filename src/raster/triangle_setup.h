// The scan conversion every triangle filler shares, written once as templates over the number
// of interpolated attributes and the filler's span writer: vertex rows and order, one long and
// two short edges with sub-pixel correction in y, per-pixel steps taken from the span through
// the middle vertex, the row walk (walkRows) and the span clipping (clipSpan).
#pragma once

#include <cmath>
#include <cstdint>

#include "base/fixed_point.h"
#include "surface/surface.h"

namespace tarvola {

// A corner as the set-up sees it: screen position in pixels and N attributes, all floats.
// The fillers put their depth key 32767 / depth last; the set-up treats every attribute alike.
template <int N>
struct SetupVertex {
  float x = 0, y = 0;
  float q[N] = {};
};

// One edge in use, all 16.16: x and each attribute at the current row, and their per-row steps.
template <int N>
struct TriangleEdge {
  int32_t x = 0, xStep = 0;
  int32_t value[N] = {};
  int32_t step[N] = {};
};

// Per-pixel step of each attribute along a row, 16.16; one set per triangle.
template <int N>
struct SpanSteps {
  int32_t step[N] = {};
};

// A span writer is called as writer(target, xs, xe, values, rowOffset, steps) for each row in
// the target: xs = fixedCeil(left x) and xe = fixedCeil(right x) (exclusive), values the left
// edge's attributes at its exact x (no horizontal sub-pixel correction), rowOffset = y * width.

// The clipping every span writer applies before its pixel loop. Returns false when nothing is
// drawn; otherwise 0 <= xs < xe <= width - 1 and the values are advanced to column xs.
// The clamp is to width - 1: the last column is never drawn.
template <int N>
inline bool clipSpan(int32_t width, int32_t& xs, int32_t& xe, int32_t (&values)[N], const SpanSteps<N>& steps) {
  if (xs == xe) return false;
  if (xs > width - 1 || xe < 0) return false;
  if (xe > width - 1) xe = width - 1;
  if (xs < 0) {
    for (int k = 0; k < N; ++k) values[k] = fixedSub(values[k], fixedMulInt(xs, steps.step[k]));
    xs = 0;
  }
  return xe - xs > 0;
}

namespace detail {
template <int N>
inline void stepEdge(TriangleEdge<N>& edge, int32_t times) {
  edge.x = fixedAdd(edge.x, fixedMulInt(times, edge.xStep));
  for (int k = 0; k < N; ++k) edge.value[k] = fixedAdd(edge.value[k], fixedMulInt(times, edge.step[k]));
}
}  // namespace detail

// Walks rowCount rows from firstRow: rows with 0 < y < target.height get a span, every row
// steps both edges' x and the left edge's attributes (the right edge's are never read).
// Row 0 is never drawn. Rows outside the target are stepped over arithmetically: n wrapping
// additions of a step equal one wrapping product, so the drawn rows see the same values.
template <int N, class SpanWriter>
void walkRows(Surface& target, TriangleEdge<N> left, TriangleEdge<N> right, int32_t firstRow, int32_t rowCount,
              const SpanSteps<N>& steps, SpanWriter& spanWriter) {
  if (rowCount <= 0) return;
  const int64_t endRow = int64_t(firstRow) + rowCount;
  int64_t y = firstRow;
  if (y < 1) {
    const int64_t skip = (endRow < 1 ? endRow : 1) - y;
    detail::stepEdge(left, int32_t(skip));
    right.x = fixedAdd(right.x, fixedMulInt(int32_t(skip), right.xStep));
    y += skip;
  }
  const int64_t lastRow = endRow < target.height ? endRow : target.height;
  for (; y < lastRow; ++y) {
    spanWriter(target, fixedCeil(left.x), fixedCeil(right.x), left.value, int32_t(y) * target.width, steps);
    left.x = fixedAdd(left.x, left.xStep);
    right.x = fixedAdd(right.x, right.xStep);
    for (int k = 0; k < N; ++k) left.value[k] = fixedAdd(left.value[k], left.step[k]);
  }
}

// Scan-converts one triangle: sorts the corners by pixel row, rejects degenerate ones (twice
// the area under 0.5, a single row band, a middle span under 0.1 pixel wide), sets up the
// edges and walks the upper (T..M) and lower (M..B) parts. Both windings draw alike.
// Floating-point set-up: each named value (slopes, presteps, the long edge at the middle
// vertex's y, the reciprocals) is computed in double from floats and rounded to a float
// (roundToFloat where the float is read again); every value enters fixed point through
// toFixed16 of such a float.
template <int N, class SpanWriter>
void scanTriangle(Surface& target, const SetupVertex<N>& c0, const SetupVertex<N>& c1, const SetupVertex<N>& c2,
                  SpanWriter& spanWriter) {
  // First pixel row at or below each corner; three compare-and-exchange steps, each only on a
  // strictly greater row, so equal rows keep the order these steps leave.
  const SetupVertex<N>* v[3] = {&c0, &c1, &c2};
  int32_t row[3] = {fixedCeil(toFixed16(c0.y)), fixedCeil(toFixed16(c1.y)), fixedCeil(toFixed16(c2.y))};
  auto order = [&](int a, int b) {
    if (row[a] > row[b]) {
      const SetupVertex<N>* t = v[a];
      v[a] = v[b];
      v[b] = t;
      const int32_t r = row[a];
      row[a] = row[b];
      row[b] = r;
    }
  };
  order(0, 1);
  order(0, 2);
  order(1, 2);
  const SetupVertex<N>& T = *v[0];
  const SetupVertex<N>& M = *v[1];
  const SetupVertex<N>& B = *v[2];

  const double area2 = (double(B.x) - T.x) * (double(M.y) - T.y) - (double(B.y) - T.y) * (double(M.x) - T.x);
  if (std::fabs(area2) < 0.5) return;
  if (row[0] == row[2]) return;
  const int32_t upperRows = row[1] - row[0];
  const int32_t lowerRows = row[2] - row[1];

  // Index 0 is x, 1..N the attributes.
  constexpr int K = N + 1;
  auto quantity = [](const SetupVertex<N>& corner, int k) { return k == 0 ? corner.x : corner.q[k - 1]; };

  // Long edge T->B: per-row slopes, and its values at the middle vertex's own y.
  const float r = roundToFloat(1.0 / (double(B.y) - T.y));
  float sTB[K], qL[K];
  for (int k = 0; k < K; ++k) {
    sTB[k] = roundToFloat((double(quantity(B, k)) - quantity(T, k)) * r);
    qL[k] = roundToFloat(quantity(T, k) + (double(M.y) - T.y) * sTB[k]);
  }

  // The span through the middle vertex gives the per-pixel steps for every row.
  const float dx = roundToFloat(double(M.x) - qL[0]);
  if (std::fabs(dx) < 0.1) return;
  const float reciprocalDx = roundToFloat(1.0 / double(dx));
  SpanSteps<N> steps;
  for (int k = 0; k < N; ++k) steps.step[k] = toFixed16(float((double(M.q[k]) - qL[k + 1]) * reciprocalDx));
  const bool longIsRight = qL[0] > M.x;

  auto setEdge = [](TriangleEdge<N>& edge, int k, float value, float slope) {
    if (k == 0) {
      edge.x = toFixed16(value);
      edge.xStep = toFixed16(slope);
    } else {
      edge.value[k - 1] = toFixed16(value);
      edge.step[k - 1] = toFixed16(slope);
    }
  };

  TriangleEdge<N> longEdge, shortEdge;
  if (upperRows > 0) {
    const float prestep = roundToFloat(double(row[0]) - T.y);
    const float rShort = roundToFloat(1.0 / (double(M.y) - T.y));
    for (int k = 0; k < K; ++k) {
      const float sTM = roundToFloat((double(quantity(M, k)) - quantity(T, k)) * rShort);
      setEdge(shortEdge, k, float(quantity(T, k) + double(prestep) * sTM), sTM);
      setEdge(longEdge, k, float(quantity(T, k) + double(prestep) * sTB[k]), sTB[k]);
    }
    if (longIsRight) {
      walkRows(target, shortEdge, longEdge, row[0], upperRows, steps, spanWriter);
    } else {
      walkRows(target, longEdge, shortEdge, row[0], upperRows, steps, spanWriter);
    }
  }
  if (lowerRows > 0) {
    const float prestep = roundToFloat(double(row[1]) - M.y);
    const float rShort = roundToFloat(1.0 / (double(B.y) - M.y));
    for (int k = 0; k < K; ++k) {
      const float sMB = roundToFloat((double(quantity(B, k)) - quantity(M, k)) * rShort);
      setEdge(shortEdge, k, float(quantity(M, k) + double(prestep) * sMB), sMB);
      setEdge(longEdge, k, float(qL[k] + double(prestep) * sTB[k]), sTB[k]);
    }
    if (longIsRight) {
      walkRows(target, shortEdge, longEdge, row[1], lowerRows, steps, spanWriter);
    } else {
      walkRows(target, longEdge, shortEdge, row[1], lowerRows, steps, spanWriter);
    }
  }
}

}  // namespace tarvola
