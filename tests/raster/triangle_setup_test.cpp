// The shared scan conversion on its own, through a counting span writer: the rejections, the row
// and column clipping, and the invariant that triangles sharing edges, in every vertex order,
// cover every pixel of their union exactly once (the fillers' goldens pin small triangles).
#include "raster/triangle_setup.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>
#include <vector>

namespace tarvola {
namespace {

// Counts how often each pixel is visited.
struct CountingSpan {
  std::vector<int>* counts;
  void operator()(Surface& target, int32_t xs, int32_t xe, const int32_t (&values)[1], int32_t rowOffset,
                  const SpanSteps<1>& steps) const {
    int32_t a[1] = {values[0]};
    if (!clipSpan(target.width, xs, xe, a, steps)) return;
    for (int32_t x = xs; x < xe; ++x) ++(*counts)[size_t(rowOffset + x)];
  }
};

struct Canvas {
  Surface target;
  std::vector<int> counts;
  Canvas() : counts(320 * 240, 0) { target.create(320, 240); }
  void draw(const float (&p)[3][2], const int (&order)[3] = {0, 1, 2}) {
    CountingSpan span{&counts};
    SetupVertex<1> v[3];
    for (int k = 0; k < 3; ++k) v[k] = SetupVertex<1>{p[order[k]][0], p[order[k]][1], {1.0f}};
    scanTriangle(target, v[0], v[1], v[2], span);
  }
  int at(int x, int y) const { return counts[size_t(y * 320 + x)]; }
  int total() const {
    return int(std::count_if(counts.begin(), counts.end(), [](int c) { return c != 0; }));
  }
};

const int kOrders[6][3] = {{0, 1, 2}, {0, 2, 1}, {1, 0, 2}, {1, 2, 0}, {2, 0, 1}, {2, 1, 0}};

TEST(ScanTriangle, RejectionsAndClipping) {
  Canvas c;
  c.draw({{10, 10}, {10.04f, 15}, {10, 20}});       // twice the area 0.4: under the threshold
  c.draw({{100, 10}, {100.05f, 60}, {100, 110}});   // area 5, but the middle span is too narrow
  c.draw({{10, 10.2f}, {50, 10.5f}, {30, 10.9f}});  // all corners between the same two rows
  EXPECT_EQ(c.total(), 0);
  c.draw({{10, 10}, {60, 10.5f}, {110, 11.5f}});  // just above the threshold
  EXPECT_GT(c.total(), 0);

  // Covering the whole target: row 0 and the last column are never drawn, the rest once.
  Canvas whole;
  whole.draw({{-50, -50}, {800, -50}, {-50, 800}});
  for (int i = 0; i < 320 * 240; ++i) ASSERT_EQ(whole.counts[size_t(i)], i >= 320 && i % 320 < 319 ? 1 : 0) << i;
  // Corners beyond +-32768 turn into the positive sentinel; the rows that yields are clipped
  // like any others, so nothing outside the target is touched (checked by the sanitizer build).
  Canvas far;
  far.draw({{-40000, 100}, {160, -40000}, {50000, 50000}});
  far.draw({{1e20f, 5}, {7, 1e20f}, {std::nanf(""), 100}});
  far.draw({{-32768.0f, -32768.0f}, {32767.0f, 0}, {0, 32767.0f}});
  for (int x = 0; x < 320; ++x) EXPECT_EQ(far.at(x, 0), 0);
}

// A jittered grid of quads, each split along a random diagonal into two triangles handed over
// in random vertex order. The outer boundary is the integer rectangle [10, 310) x [9, 229), so
// with top-left filling every pixel inside is covered exactly once and none outside, except
// pixels whose centre lies within the fixed-point drift of an inner edge, where the edge may
// round differently in the two triangles sharing it.
TEST(ScanTriangle, SharedEdgesCoverEveryPixelExactlyOnce) {
  constexpr int kCols = 15, kRows = 11;
  const float x0 = 10, y0 = 9, x1 = 310, y1 = 229;
  for (unsigned seed = 1; seed <= 8; ++seed) {
    std::mt19937 rng(seed);
    std::uniform_real_distribution<float> jitter(-6.0f, 6.0f);
    float g[kRows + 1][kCols + 1][2];
    for (int j = 0; j <= kRows; ++j) {
      for (int i = 0; i <= kCols; ++i) {
        g[j][i][0] = x0 + (x1 - x0) * float(i) / kCols + (i > 0 && i < kCols ? jitter(rng) : 0.0f);
        g[j][i][1] = y0 + (y1 - y0) * float(j) / kRows + (j > 0 && j < kRows ? jitter(rng) : 0.0f);
      }
    }
    Canvas c;
    std::vector<char> nearEdge(c.counts.size(), 0);
    auto drawTriangle = [&](const float* a, const float* b, const float* d) {
      const float p[3][2] = {{a[0], a[1]}, {b[0], b[1]}, {d[0], d[1]}};
      c.draw(p, kOrders[rng() % 6]);
      for (int k = 0; k < 3; ++k) {  // mark pixel centres within the edge's drift (2^-16 per row)
        const float *s = p[k], *e = p[(k + 1) % 3];
        if (s[1] > e[1]) std::swap(s, e);
        const double tolerance = (double(e[1]) - s[1] + 2.0) / 65536.0;
        for (int y = int(std::ceil(s[1])); y < e[1]; ++y) {
          const double x = s[0] + (double(y) - s[1]) * (double(e[0]) - s[0]) / (double(e[1]) - s[1]);
          if (std::fabs(x - std::round(x)) < tolerance) nearEdge[size_t(y * 320 + int(std::round(x)))] = 1;
        }
      }
    };
    for (int j = 0; j < kRows; ++j) {
      for (int i = 0; i < kCols; ++i) {
        const float *a = g[j][i], *b = g[j][i + 1], *d = g[j + 1][i], *e = g[j + 1][i + 1];
        const bool alongAE = rng() & 1;
        drawTriangle(a, b, alongAE ? e : d);
        drawTriangle(alongAE ? a : b, e, d);
      }
    }
    int skipped = 0;
    for (int y = 0; y < 240; ++y) {
      for (int x = 0; x < 320; ++x) {
        const bool boundary = x == int(x0) || x == int(x1) || y == int(y0) || y == int(y1);
        if (nearEdge[size_t(y * 320 + x)] && !boundary && ++skipped) continue;
        ASSERT_EQ(c.at(x, y), x >= x0 && x < x1 && y >= y0 && y < y1 ? 1 : 0)
            << "seed " << seed << " at " << x << "," << y;
      }
    }
    EXPECT_LT(skipped, 30) << "seed " << seed;
  }
}

// Depth-tested drawing of one attribute (the pixel) and the key, as the fillers draw.
struct KeyedSpan {
  int32_t* keys;
  void operator()(Surface& target, int32_t xs, int32_t xe, const int32_t (&values)[2], int32_t rowOffset,
                  const SpanSteps<2>& steps) const {
    int32_t a[2] = {values[0], values[1]};
    if (!clipSpan(target.width, xs, xe, a, steps)) return;
    for (int32_t x = xs; x < xe; ++x) {
      if (depthTestAndStore(keys[rowOffset + x], a[1])) target.pixels[size_t(rowOffset + x)] = uint32_t(a[0]);
      a[0] = fixedAdd(a[0], steps.step[0]);
      a[1] = fixedAdd(a[1], steps.step[1]);
    }
  }
};

// The screen may only drop triangles that change nothing: random overlapping triangles at
// random depths, partly off the target, drawn with and without it, leave the same pixels and
// keys. Its span test, four keys a step, equals the plain loop on random spans.
TEST(ScanTriangle, DepthScreenDropsOnlyTrianglesThatChangeNothing) {
  std::mt19937 rng(7);
  std::uniform_real_distribution<float> position(-40.0f, 360.0f), depth(0.5f, 2.0f);
  Surface plainTarget, screenedTarget;
  plainTarget.create(320, 240);
  screenedTarget.create(320, 240);
  std::vector<int32_t> plainKeys(320 * 240, 0), screenedKeys(320 * 240, 0);
  int dropped = 0, drawn = 0;
  for (int i = 0; i < 3000; ++i) {
    SetupVertex<2> v[3];
    // Every other triangle crosses the left edge, where the spans are clipped.
    for (SetupVertex<2>& c : v) {
      c = SetupVertex<2>{position(rng) - float(i % 2) * 200.0f, position(rng), {float(i), 100.0f / depth(rng)}};
    }
    KeyedSpan plainSpan{plainKeys.data()}, screenedSpan{screenedKeys.data()};
    scanTriangle(plainTarget, v[0], v[1], v[2], plainSpan);
    NearerKeyScreen screen{screenedKeys.data()};
    scanTriangle(screenedTarget, v[0], v[1], v[2], screenedSpan, &screen);
    ++(screen.found ? drawn : dropped);
  }
  EXPECT_EQ(plainTarget.pixels, screenedTarget.pixels);
  EXPECT_EQ(plainKeys, screenedKeys);
  EXPECT_GT(dropped, 300);
  EXPECT_GT(drawn, 300);

  std::uniform_int_distribution<int32_t> any(INT32_MIN, INT32_MAX), length(0, 24);
  std::vector<int32_t> stored(24);
  for (int i = 0; i < 20000; ++i) {
    for (int32_t& k : stored) k = any(rng) >> (i % 4 * 8);  // small and large, both signs
    const int32_t count = length(rng), key = stored[size_t(i) % 24] + (i % 3 - 1), step = any(rng) >> (i % 32);
    ASSERT_EQ(anyKeyNearer(stored.data(), count, key, step), anyKeyNearerPlain(stored.data(), count, key, step))
        << "count " << count << " key " << key << " step " << step;
  }
}

// Records every span call: columns, row, the values and the steps.
struct RecordingSpan {
  std::vector<int32_t>* calls;
  void operator()(Surface&, int32_t xs, int32_t xe, const int32_t (&values)[6], int32_t rowOffset,
                  const SpanSteps<6>& steps) const {
    calls->insert(calls->end(), {xs, xe, rowOffset});
    calls->insert(calls->end(), values, values + 6);
    calls->insert(calls->end(), steps.step, steps.step + 6);
  }
};

// The set-up four attributes at a time (AVX2, WebAssembly SIMD) hands the span writer what the one-at-a-time
// set-up does: random triangles whose attributes range from tiny to beyond the fixed-point range.
TEST(ScanTriangle, VectorAttributeSetUpEqualsThePlainOne) {
  std::mt19937 rng(3);
  std::uniform_real_distribution<float> position(-60.0f, 380.0f), unit(-1.0f, 1.0f);
  Surface target;
  target.create(320, 240);
  for (int i = 0; i < 2000; ++i) {
    SetupVertex<6> v[3];
    const float range = std::ldexp(1.0f, i % 18);  // up to 131072: some values hit the sentinel
    for (SetupVertex<6>& c : v) {
      c.x = position(rng), c.y = position(rng);
      for (float& q : c.q) q = unit(rng) * range;
      // At the edge of the fixed-point range; on whole rows (no prestep) the corner's own value.
      if (i % 5 == 0) c.q[i % 4] = (i / 5 % 2 ? 1.0f : -1.0f) * (i / 10 % 2 ? 32768.0f : 32767.75f);
      if (i % 3 == 0) c.y = std::floor(c.y);
    }
    std::vector<int32_t> expected, actual;
    const std::vector<SimdPath>& paths = availableSimdPaths();
    for (SimdPath path : paths) {
      const ScopedSimdPath onPath(path);
      ASSERT_TRUE(onPath.active());
      std::vector<int32_t>& calls = path == paths.front() ? expected : actual;
      calls.clear();
      RecordingSpan span{&calls};
      scanTriangle(target, v[0], v[1], v[2], span);
      if (path != paths.front()) {
        ASSERT_EQ(actual, expected) << "triangle " << i << " path " << int(path);
      }
    }
  }
}

}  // namespace
}  // namespace tarvola
