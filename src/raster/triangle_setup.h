// The scan conversion every triangle filler shares, written once as templates over the number
// of interpolated attributes and the filler's span writer: vertex rows and order, one long and
// two short edges with sub-pixel correction in y, per-pixel steps taken from the span through
// the middle vertex, the row walk (walkRows), the span clipping (clipSpan) and the depth
// screen that drops a hidden triangle before most of its set-up (NearerKeyScreen).
#pragma once

#include <cmath>
#include <cstdint>
#include <type_traits>
#include <utility>

#include "base/cpu_path.h"
#include "base/fixed_point.h"
#include "raster/depth_buffer.h"
#include "raster/triangle_setup_wide.h"
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
// steps both edges' x and the left edge's attributes (the right edge's are never read). A span
// writer with a `found` flag (a screen) ends the walk once the flag is set.
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
    if constexpr (requires { spanWriter.found; }) {
      if (spanWriter.found) return;  // a screen has its answer
    }
    left.x = fixedAdd(left.x, left.xStep);
    right.x = fixedAdd(right.x, right.xStep);
    for (int k = 0; k < N; ++k) left.value[k] = fixedAdd(left.value[k], left.step[k]);
  }
}

// The screen of depth-tested drawing, over x and the depth key alone: whether any pixel of the
// triangle would pass the depth test against keys (addressed with the target's row offsets).
// A triangle with none would neither write a pixel nor store a key, so skipping it changes
// nothing; it keeps a surface hidden behind one already drawn cheap.
struct NearerKeyScreen {
  const int32_t* keys;
  bool found = false;

  void operator()(Surface& target, int32_t xs, int32_t xe, const int32_t (&values)[1], int32_t rowOffset,
                  const SpanSteps<1>& steps) {
    if (found) return;
    int32_t a[1] = {values[0]};
    if (!clipSpan(target.width, xs, xe, a, steps)) return;
    found = anyKeyNearer(keys + rowOffset + xs, xe - xs, a[0], steps.step[0]);
  }
};

// Stands for "no screen": every triangle that survives the rejections is drawn.
struct NoScreen {};

namespace detail {

// Quantity k of a corner: 0 is x, 1..N the attributes.
template <int N>
inline float quantity(const SetupVertex<N>& corner, int k) {
  return k == 0 ? corner.x : corner.q[k - 1];
}

// Stores quantity k's value at an edge's first row and its per-row slope, both through toFixed16.
template <int N>
inline void setEdge(TriangleEdge<N>& edge, int k, float value, float slope) {
  if (k == 0) {
    edge.x = toFixed16(value);
    edge.xStep = toFixed16(slope);
  } else {
    edge.value[k - 1] = toFixed16(value);
    edge.step[k - 1] = toFixed16(slope);
  }
}

// An edge with x and the last attribute alone: what a screen walks.
template <int N>
inline TriangleEdge<1> lastAttributeOnly(const TriangleEdge<N>& edge) {
  TriangleEdge<1> e;
  e.x = edge.x;
  e.xStep = edge.xStep;
  e.value[0] = edge.value[N - 1];
  e.step[0] = edge.step[N - 1];
  return e;
}

// What the set-up hands the row walk: the per-pixel steps and the four edges. Kept apart from
// the set-up's own values, whose address thus never leaves the inlined code (the AVX2 set-up
// writes through pointers into these), so those stay in registers.
template <int N>
struct TriangleEdges {
  SpanSteps<N> steps;
  TriangleEdge<N> upperLong, upperShort, lowerLong, lowerShort;
};

// One triangle's set-up, in the order scanTriangle takes its steps. T, M and B are the corners
// from the top row down; the upper part runs over rows [row[0], row[1]), the lower over
// [row[1], row[2]). Arrays over quantities use index 0 for x and 1..N for the attributes.
// Every step is inlined into scanTriangle, as one function's code, so that the set-up's values
// stay in registers: called out of line (a compiler may judge them too big to inline), they
// made the set-up of a small triangle about a tenth slower.
template <int N>
struct TriangleSetUp {
  static constexpr int K = N + 1;
  const SetupVertex<N>* T = nullptr;
  const SetupVertex<N>* M = nullptr;
  const SetupVertex<N>* B = nullptr;
  int32_t row[3] = {};  // first pixel row at or below T, M and B
  int32_t upperRows = 0, lowerRows = 0;
  float r = 0;                    // 1 / (B.y - T.y)
  float sTB[K] = {}, qL[K] = {};  // long edge T->B: per-row slope, value at M's own y
  float reciprocalDx = 0;         // 1 / the width of the span through M
  bool longIsRight = false;
  // Each part's prestep (from its first corner's y to its first row) and short-edge reciprocal.
  float upperPrestep = 0, upperReciprocal = 0, lowerPrestep = 0, lowerReciprocal = 0;

  // Sorts the corners by their first pixel row with three compare-and-exchange steps, each
  // only on a strictly greater row, so equal rows keep the order these steps leave. False for
  // a triangle with twice the area under 0.5 or all corners in one row band.
  [[gnu::always_inline]] bool sortCorners(const SetupVertex<N>& c0, const SetupVertex<N>& c1,
                                          const SetupVertex<N>& c2) {
    const SetupVertex<N>* v[3] = {&c0, &c1, &c2};
    row[0] = fixedCeil(toFixed16(c0.y));
    row[1] = fixedCeil(toFixed16(c1.y));
    row[2] = fixedCeil(toFixed16(c2.y));
    auto order = [&](int a, int b) {
      if (row[a] > row[b]) {
        std::swap(v[a], v[b]);
        std::swap(row[a], row[b]);
      }
    };
    order(0, 1);
    order(0, 2);
    order(1, 2);
    T = v[0];
    M = v[1];
    B = v[2];
    const double area2 = (double(B->x) - T->x) * (double(M->y) - T->y) - (double(B->y) - T->y) * (double(M->x) - T->x);
    if (std::fabs(area2) < 0.5) return false;
    if (row[0] == row[2]) return false;
    upperRows = row[1] - row[0];
    lowerRows = row[2] - row[1];
    return true;
  }

  // The long edge's x, the span through the middle vertex (which gives every row's per-pixel
  // steps) and the parts' presteps and reciprocals. False for a span under 0.1 pixel wide.
  [[gnu::always_inline]] bool setUpSpan() {
    r = roundToFloat(1.0 / (double(B->y) - T->y));
    setUpLongEdge(0);
    const float dx = roundToFloat(double(M->x) - qL[0]);
    if (std::fabs(dx) < 0.1) return false;
    reciprocalDx = roundToFloat(1.0 / double(dx));
    longIsRight = qL[0] > M->x;
    if (upperRows > 0) {
      upperPrestep = roundToFloat(double(row[0]) - T->y);
      upperReciprocal = roundToFloat(1.0 / (double(M->y) - T->y));
    }
    if (lowerRows > 0) {
      lowerPrestep = roundToFloat(double(row[1]) - M->y);
      lowerReciprocal = roundToFloat(1.0 / (double(B->y) - M->y));
    }
    return true;
  }

  // Long edge T->B: per-row slope of quantity k, and its value at the middle vertex's own y.
  [[gnu::always_inline]] void setUpLongEdge(int k) {
    sTB[k] = roundToFloat((double(quantity(*B, k)) - quantity(*T, k)) * r);
    qL[k] = roundToFloat(quantity(*T, k) + (double(M->y) - T->y) * sTB[k]);
  }

  // Everything of quantity k: its per-pixel step and its value and slope on the four edges.
  [[gnu::always_inline]] void setUpQuantity(int k, TriangleEdges<N>& out) {
    if (k > 0) {
      setUpLongEdge(k);
      out.steps.step[k - 1] = toFixed16(float((double(M->q[k - 1]) - qL[k]) * reciprocalDx));
    }
    if (upperRows > 0) {
      const float sTM = roundToFloat((double(quantity(*M, k)) - quantity(*T, k)) * upperReciprocal);
      setEdge(out.upperShort, k, float(quantity(*T, k) + double(upperPrestep) * sTM), sTM);
      setEdge(out.upperLong, k, float(quantity(*T, k) + double(upperPrestep) * sTB[k]), sTB[k]);
    }
    if (lowerRows > 0) {
      const float sMB = roundToFloat((double(quantity(*B, k)) - quantity(*M, k)) * lowerReciprocal);
      setEdge(out.lowerShort, k, float(quantity(*M, k) + double(lowerPrestep) * sMB), sMB);
      setEdge(out.lowerLong, k, float(qL[k] + double(lowerPrestep) * sTB[k]), sTB[k]);
    }
  }

  // Attributes 1 .. N - 1 four at a time where the processor has AVX2, or on the web build's
  // Simd128 path (the key, the last, is set up before). Returns the first attribute still to
  // set up one by one.
  [[gnu::always_inline]] int setUpAttributesFourAtATime(TriangleEdges<N>& out) const {
    int k = 1;
    const SimdPath path = activeSimdPath();
    if (path != SimdPath::Simd128 && path < SimdPath::Avx2) return k;
    const SharedSetUp shared{
        double(M->y) - T->y, r, reciprocalDx, upperRows > 0, lowerRows > 0, upperPrestep, upperReciprocal, lowerPrestep,
        lowerReciprocal};
    for (; k + 3 < N; k += 4) {
      const int a = k - 1;
      const FourAttributesOut four{
          out.steps.step + a,
          {out.upperLong.value + a, out.upperShort.value + a, out.lowerLong.value + a, out.lowerShort.value + a},
          {out.upperLong.step + a, out.upperShort.step + a, out.lowerLong.step + a, out.lowerShort.step + a}};
      const bool done = path == SimdPath::Simd128
                            ? setUpFourAttributesSimd128(T->q + a, M->q + a, B->q + a, shared, four)
                            : setUpFourAttributesAvx2(T->q + a, M->q + a, B->q + a, shared, four);
      if (!done) break;
    }
    return k;
  }

  // Walks the upper part, then the lower, left edge first, with a writer of any attribute count:
  // edgeOf maps each edge to the writer's form. A writer with a `found` flag (a screen) that is
  // set after the upper part skips the lower.
  template <class EdgeOf, class Writer, int W>
  [[gnu::always_inline]] void walkParts(Surface& target, const TriangleEdges<N>& edges, EdgeOf edgeOf, Writer& writer,
                                        const SpanSteps<W>& partSteps) const {
    auto walk = [&](const TriangleEdge<N>& longEdge, const TriangleEdge<N>& shortEdge, int32_t firstRow, int32_t rows) {
      if (longIsRight) {
        walkRows(target, edgeOf(shortEdge), edgeOf(longEdge), firstRow, rows, partSteps, writer);
      } else {
        walkRows(target, edgeOf(longEdge), edgeOf(shortEdge), firstRow, rows, partSteps, writer);
      }
    };
    if (upperRows > 0) walk(edges.upperLong, edges.upperShort, row[0], upperRows);
    if constexpr (requires { writer.found; }) {
      if (writer.found) return;
    }
    if (lowerRows > 0) walk(edges.lowerLong, edges.lowerShort, row[1], lowerRows);
  }

  // Whether the screen finds a pixel to draw, walking x and the last attribute alone (both set
  // up before).
  template <class Screen>
  [[gnu::always_inline]] bool screenFinds(Surface& target, const TriangleEdges<N>& edges, Screen& screen) const {
    SpanSteps<1> lastStep;
    lastStep.step[0] = edges.steps.step[N - 1];
    screen.found = false;
    walkParts(
        target, edges, [](const TriangleEdge<N>& edge) { return lastAttributeOnly(edge); }, screen, lastStep);
    return screen.found;
  }
};

}  // namespace detail

// Scan-converts one triangle: sorts the corners by pixel row, rejects degenerate ones (twice
// the area under 0.5, a single row band, a middle span under 0.1 pixel wide), sets up the
// edges and walks the upper (T..M) and lower (M..B) parts. Both windings draw alike.
// Floating-point set-up: each named value (slopes, presteps, the long edge at the middle
// vertex's y, the reciprocals) is computed in double from floats and rounded to a float
// (roundToFloat where the float is read again); every value enters fixed point through
// toFixed16 of such a float.
//
// A screen, when given, is a span writer over x and the last attribute alone (N = 1): both
// parts are walked with it first, and a triangle after which its `found` is still false is
// not set up further nor drawn. Each quantity is set up on its own, from the corners and the
// shared row values, so the screen sees exactly the spans and last-attribute values the span
// writer would.
template <int N, class SpanWriter, class Screen = NoScreen>
void scanTriangle(Surface& target, const SetupVertex<N>& c0, const SetupVertex<N>& c1, const SetupVertex<N>& c2,
                  SpanWriter& spanWriter, Screen* screen = nullptr) {
  detail::TriangleSetUp<N> setUp;
  if (!setUp.sortCorners(c0, c1, c2) || !setUp.setUpSpan()) return;
  detail::TriangleEdges<N> edges;
  setUp.setUpQuantity(0, edges);
  setUp.setUpQuantity(N, edges);
  if constexpr (!std::is_same_v<Screen, NoScreen>) {
    if (screen && !setUp.screenFinds(target, edges, *screen)) return;
  }
  int k = 1;
  if constexpr (N >= 5) k = setUp.setUpAttributesFourAtATime(edges);
  for (; k < N; ++k) setUp.setUpQuantity(k, edges);
  auto whole = [](const TriangleEdge<N>& edge) -> const TriangleEdge<N>& { return edge; };
  setUp.walkParts(target, edges, whole, spanWriter, edges.steps);
}

}  // namespace tarvola
