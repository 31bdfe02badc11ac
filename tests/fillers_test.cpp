// The triangle fillers: golden pixels worked out from the set-up and texel formulas, the depth
// test between triangles, clipping quirks, and every span writer against a plain per-pixel
// formula (values recomputed from the left edge at each column) on random triangles.
#include "raster/fillers.h"

#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "raster/depth_buffer.h"
#include "raster/texel_ops.h"
#include "raster/triangle_setup.h"

namespace tarvola {
namespace {

MeshVertex corner(float x, float y, float depth, float u = 0, float v = 0, float s = 0, float t = 0) {
  MeshVertex c{};
  c.screenX = x;
  c.screenY = y;
  c.depth = depth;
  c.uv1[0] = u;
  c.uv1[1] = v;
  c.uv2[0] = s;
  c.uv2[1] = t;
  return c;
}

MeshVertex coloured(MeshVertex c, float r, float g, float b) {
  c.colour[0] = r;
  c.colour[1] = g;
  c.colour[2] = b;
  return c;
}

// A 256 x 256 map whose texel i holds i and an asymmetric top byte.
Surface indexMap() {
  Surface map;
  map.create(256, 256);
  for (uint32_t i = 0; i < 65536; ++i) map.pixels[i] = 0xA5000000u | i;
  return map;
}

Surface flatMap(uint32_t value) {
  Surface map;
  map.create(256, 256);
  map.fill(value);
  return map;
}

class FillerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    createDepthBuffer(320, 240);
    target.create(320, 240);
  }
  uint32_t pixel(int x, int y) const { return target.pixels[size_t(y * 320 + x)]; }
  int32_t key(int x, int y) const { return depthBuffer.keys[size_t(y * 320 + x)]; }
  int drawnCount() const {
    int n = 0;
    for (int32_t k : depthBuffer.keys) n += k != 0;
    return n;
  }
  Surface target;
};

TEST_F(FillerTest, TexturedRightTriangleGolden) {
  const Surface texture = indexMap();
  fillTexturedTriangle(target, texture, corner(10, 10, 4, 0, 0), corner(20, 10, 4, 100, 0), corner(10, 20, 4, 0, 100));
  EXPECT_EQ(drawnCount(), 55);
  // u steps 10.0 per pixel, the left edge's v 10.0 per row: pixel (15, 12) reads texel 5170.
  EXPECT_EQ(pixel(15, 12), 0xA5000000u | 5170u);
  for (int y = 10; y < 20; ++y) {
    for (int x = 10; x < 20 - (y - 10); ++x) {
      EXPECT_EQ(pixel(x, y), 0xA5000000u | uint32_t(((y - 10) * 10) << 8 | (x - 10) * 10)) << x << "," << y;
      EXPECT_EQ(key(x, y), toFixed16(32767.0f / 4.0f));
    }
  }
}

TEST_F(FillerTest, VerticalPrestepButNoHorizontalCorrection) {
  // Shifted by half a pixel: the first row (11) is 0.5 below the corners, so the left edge's v
  // starts at 5.0 and grows 10.0 per row; u starts at the edge's exact x (10.5) with 0, not at
  // the first column's centre, so column 11 reads u = 0 and column 12 u = 10.
  const Surface texture = indexMap();
  fillTexturedTriangle(target, texture, corner(10.5f, 10.5f, 4, 0, 0), corner(20.5f, 10.5f, 4, 100, 0),
                       corner(10.5f, 20.5f, 4, 0, 100));
  EXPECT_EQ(drawnCount(), 45);
  EXPECT_EQ(pixel(11, 11), 0xA5000000u | (5u << 8 | 0u));
  EXPECT_EQ(pixel(12, 11), 0xA5000000u | (5u << 8 | 10u));
  EXPECT_EQ(pixel(19, 11), 0xA5000000u | (5u << 8 | 80u));
  EXPECT_EQ(pixel(11, 12), 0xA5000000u | (15u << 8 | 0u));
  EXPECT_EQ(pixel(11, 19), 0xA5000000u | (85u << 8 | 0u));
  EXPECT_EQ(key(11, 20), 0);
}

TEST_F(FillerTest, UntexturedDepthTestBetweenTriangles) {
  const MeshVertex a = corner(10, 10, 4), b = corner(20, 10, 4), c = corner(10, 20, 4);
  fillUntexturedTriangle(target, a, b, c);
  EXPECT_EQ(drawnCount(), 55);
  for (int y = 10; y < 20; ++y) EXPECT_EQ(pixel(10, y), 0xFFFFFFFFu);
  const std::vector<int32_t> keysAfterFirst = depthBuffer.keys;

  // Farther: nothing changes, neither pixels nor keys.
  target.fill(0x01020304u);
  fillUntexturedTriangle(target, corner(10, 10, 8), corner(20, 10, 8), corner(10, 20, 8));
  EXPECT_EQ(depthBuffer.keys, keysAfterFirst);
  for (uint32_t p : target.pixels) ASSERT_EQ(p, 0x01020304u);

  // Nearer: the same 55 pixels and their keys are rewritten.
  fillUntexturedTriangle(target, corner(10, 10, 2), corner(20, 10, 2), corner(10, 20, 2));
  EXPECT_EQ(drawnCount(), 55);
  EXPECT_EQ(key(10, 10), 0x3FFF8000);
  EXPECT_EQ(pixel(12, 12), 0xFFFFFFFFu);
}

TEST_F(FillerTest, EqualKeysKeepTheFirstTriangle) {
  const Surface red = flatMap(0xFFFF0000u), blue = flatMap(0xFF0000FFu);
  fillTexturedTriangle(target, red, corner(10, 10, 5), corner(20, 10, 5), corner(10, 20, 5));
  fillTexturedTriangle(target, blue, corner(10, 10, 5), corner(20, 10, 5), corner(10, 20, 5));
  for (int y = 10; y < 20; ++y) EXPECT_EQ(pixel(10, y), 0xFFFF0000u);
}

TEST_F(FillerTest, RowZeroAndLastColumnNeverDrawn) {
  const Surface texture = flatMap(0x11223344u);
  fillTexturedTriangle(target, texture, corner(-100, -100, 3), corner(1000, -100, 3), corner(-100, 1000, 3));
  for (int x = 0; x < 320; ++x) EXPECT_EQ(pixel(x, 0), 0u);
  for (int y = 0; y < 240; ++y) EXPECT_EQ(pixel(319, y), 0u);
  EXPECT_EQ(drawnCount(), 239 * 319);
}

TEST_F(FillerTest, SpanStartingLeftOfTargetShowsTheTextureFromItsTrueStart) {
  // u = screen x + 20 along every row: the pixel in column 0 reads texel column 20.
  const Surface texture = indexMap();
  fillTexturedTriangle(target, texture, corner(-20, 10, 3, 0, 0), corner(60, 10, 3, 80, 0),
                       corner(-20, 90, 3, 0, 0));
  for (int y = 10; y < 60; ++y) {
    EXPECT_EQ(pixel(0, y) & 0xFFFFu, 20u) << y;
    EXPECT_EQ(pixel(5, y) & 0xFFFFu, 25u) << y;
  }
}

TEST_F(FillerTest, CoordinatesWrapEvery256Texels) {
  const Surface texture = indexMap();
  fillTexturedTriangle(target, texture, corner(10, 10, 3, -1, 0), corner(20, 10, 3, -1, 0), corner(10, 20, 3, -1, 0));
  EXPECT_EQ(pixel(12, 12), 0xA50000FFu);
  clearDepthBuffer();
  fillTexturedTriangle(target, texture, corner(10, 10, 3, 256, 0), corner(20, 10, 3, 256, 0),
                       corner(10, 20, 3, 256, 0));
  EXPECT_EQ(pixel(12, 12), 0xA5000000u);
}

TEST_F(FillerTest, DegenerateTrianglesDrawNothing) {
  const Surface texture = flatMap(0xFFFFFFFFu);
  fillTexturedTriangle(target, texture, corner(10, 10, 3), corner(10.04f, 15, 3), corner(10, 20, 3));
  fillTexturedTriangle(target, texture, corner(100, 10, 3), corner(100.05f, 60, 3), corner(100, 110, 3));
  fillTexturedTriangle(target, texture, corner(10, 10.2f, 3), corner(50, 10.5f, 3), corner(30, 10.9f, 3));
  EXPECT_EQ(drawnCount(), 0);
}

TEST_F(FillerTest, MismatchedTargetOrSmallMapsAreSafe) {
  Surface small;
  small.create(100, 100);
  const Surface texture = flatMap(0x12345678u);
  fillTexturedTriangle(small, texture, corner(10, 10, 3), corner(90, 10, 3), corner(10, 90, 3));
  fillUntexturedTriangle(small, corner(10, 10, 3), corner(90, 10, 3), corner(10, 90, 3));
  for (uint32_t p : small.pixels) ASSERT_EQ(p, 0u);
  EXPECT_EQ(drawnCount(), 0);

  // A map never loaded reads as black; an unused height map may be empty.
  const Surface empty;
  target.fill(0x01010101u);
  fillTexturedTriangle(target, empty, corner(10, 10, 3), corner(20, 10, 3), corner(10, 20, 3));
  EXPECT_EQ(pixel(12, 12), 0u);
  clearDepthBuffer();
  fillThreeSurfaceTriangle(target, texture, texture, empty, corner(30, 10, 3), corner(40, 10, 3), corner(30, 20, 3), 2,
                           256);
  EXPECT_EQ(pixel(32, 12), combineSaturatingSumPlain(0x12345678u, 0x12345678u));
  fillThreeSurfaceTriangle(target, texture, texture, empty, corner(50, 10, 3), corner(60, 10, 3), corner(50, 20, 3), 32,
                           512);
  EXPECT_EQ(pixel(52, 12), combineProductPlain(0x12345678u, 0x12345678u));
}

TEST_F(FillerTest, ThreeSurfaceModesPickTheLookupAndTheCombine) {
  // Constant coordinates: every pixel combines texel1 = texture[(20, 50)] with the lightmap
  // texel at (100, 5.5) plain, or at column 120, row 251 displaced (h0 10, hx 30, hy 0).
  Surface texture = flatMap(0x80FF4020u), lightmap = indexMap(), heights = flatMap(0);
  const uint32_t i1 = 50 * 256 + 20;
  heights.pixels[i1] = 0x000A0000u;
  heights.pixels[i1 + 1] = 0x001E0000u;
  auto triangle = [&](float x0, int32_t modeA, int32_t modeB) {
    fillThreeSurfaceTriangle(target, texture, lightmap, heights, corner(x0, 10, 3, 20, 50, 100, 5.5f),
                             corner(x0 + 10, 10, 3, 20, 50, 100, 5.5f), corner(x0, 20, 3, 20, 50, 100, 5.5f), modeA,
                             modeB);
    return pixel(int(x0) + 2, 12);
  };
  const uint32_t plain = 0xA5000000u | (5u << 8 | 100u), displaced = 0xA5000000u | (251u << 8 | 120u);
  EXPECT_EQ(triangle(10, 32, 512), combineProductPlain(0x80FF4020u, displaced));
  EXPECT_EQ(triangle(30, 32, 256), combineAveragePlain(0x80FF4020u, displaced));
  EXPECT_EQ(triangle(50, 2, 256), combineSaturatingSumPlain(0x80FF4020u, plain));
  EXPECT_EQ(triangle(70, 2, 512), combineProductPlain(0x80FF4020u, plain));
  EXPECT_EQ(triangle(90, 7, 1000), combineProductPlain(0x80FF4020u, plain));

  // The combine goldens through the filler: texel2 = 0x80808080 everywhere.
  lightmap.fill(0x80808080u);
  EXPECT_EQ(triangle(110, 2, 512), 0x407F2010u);
  EXPECT_EQ(triangle(130, 2, 256), 0xFFFFC0A0u);
  EXPECT_EQ(triangle(150, 32, 256), 0x80BF6050u);
}

TEST_F(FillerTest, ShadedTexturedGoldens) {
  const Surface texture = flatMap(0x80FF4020u);
  auto triangle = [&](float x0, float r, float g, float b) {
    fillShadedTexturedTriangle(target, texture, coloured(corner(x0, 10, 3), r, g, b),
                               coloured(corner(x0 + 10, 10, 3), r, g, b), coloured(corner(x0, 20, 3), r, g, b));
    return pixel(int(x0) + 2, 12);
  };
  EXPECT_EQ(triangle(10, 255, 255, 255), 0x00FE3F1Fu);
  EXPECT_EQ(triangle(30, 128, 64, 32), 0x007F1004u);
  target.fill(0xFFFFFFFFu);
  EXPECT_EQ(triangle(50, 0, 0, 0), 0u);
  EXPECT_NE(key(52, 12), 0);
  EXPECT_EQ(triangle(70, 256, 255, 255), 0x00003F1Fu);  // 256 wraps to 0 in its channel
}

TEST_F(FillerTest, PointsIgnoreDepthAndTruncate) {
  std::fill(depthBuffer.keys.begin(), depthBuffer.keys.end(), 0x7FFF0000);
  plotTrianglePoints(target, corner(10.9f, 20.9f, 3), corner(0.5f, 30, 3), corner(319.5f, 239.9f, 3));
  EXPECT_EQ(pixel(10, 20), 0xFFFFFFFFu);
  EXPECT_EQ(pixel(319, 239), 0xFFFFFFFFu);
  int lit = 0;
  for (uint32_t p : target.pixels) lit += p != 0;
  EXPECT_EQ(lit, 2);
  for (int32_t k : depthBuffer.keys) ASSERT_EQ(k, 0x7FFF0000);
  plotTrianglePoints(target, corner(-1e30f, std::nanf(""), 3), corner(1e30f, 5, 3), corner(5, -0.9f, 3));
  lit = 0;
  for (uint32_t p : target.pixels) lit += p != 0;
  EXPECT_EQ(lit, 2);
}

// ---- Span writers against the plain per-pixel formula -----------------------------------

// Reference span: clipping written out, and each pixel's attributes taken as the left edge's
// value plus (x - xs) steps, independently of the fillers' incremental stepping.
template <int N, class Formula>
struct ReferenceSpan {
  std::vector<int32_t>* keys;
  Formula formula;
  void operator()(Surface& target, int32_t xs, int32_t xe, const int32_t (&values)[N], int32_t rowOffset,
                  const SpanSteps<N>& steps) const {
    if (xs == xe || xs > target.width - 1 || xe < 0) return;
    if (xe > target.width - 1) xe = target.width - 1;
    for (int32_t x = xs < 0 ? 0 : xs; x < xe; ++x) {
      int32_t a[N];
      for (int k = 0; k < N; ++k) a[k] = int32_t(uint32_t(values[k]) + uint32_t(x - xs) * uint32_t(steps.step[k]));
      int32_t& stored = (*keys)[size_t(rowOffset + x)];
      if (a[N - 1] > stored) {
        stored = a[N - 1];
        target.pixels[size_t(rowOffset + x)] = formula(a);
      }
    }
  }
};

uint32_t plainTexel(const Surface& map, int32_t u, int32_t v) {
  return map.pixels[size_t(((v >> 16) & 0xFF) * 256 + ((u >> 16) & 0xFF))];
}

struct RandomScene {
  std::mt19937 rng;
  explicit RandomScene(unsigned seed) : rng(seed) {}
  float uniform(float lo, float hi) { return std::uniform_real_distribution<float>(lo, hi)(rng); }
  MeshVertex vertex() {
    MeshVertex c = corner(uniform(-80, 400), uniform(-80, 320), uniform(1.01f, 60.0f), uniform(-300, 600),
                          uniform(-300, 600), uniform(-300, 600), uniform(-300, 600));
    return coloured(c, uniform(-20, 280), uniform(-20, 280), uniform(-20, 280));
  }
  Surface randomMap() {
    Surface map;
    map.create(256, 256);
    for (uint32_t& p : map.pixels) p = rng();
    return map;
  }
};

template <int N, class Formula>
void drawReference(Surface& target, std::vector<int32_t>& keys, const SetupVertex<N>& a, const SetupVertex<N>& b,
                   const SetupVertex<N>& c, Formula formula) {
  ReferenceSpan<N, Formula> span{&keys, formula};
  scanTriangle(target, a, b, c, span);
}

class SpanWriterTest : public FillerTest {
 protected:
  // Draws the same random triangles with the filler and with the reference; both images and
  // depth buffers must agree exactly.
  template <int N, class Corner, class Filler, class Formula>
  void compare(unsigned seed, Corner toSetup, Filler filler, Formula formula) {
    RandomScene scene(seed);
    Surface reference;
    reference.create(320, 240);
    std::vector<int32_t> referenceKeys(320 * 240, 0);
    for (int i = 0; i < 400; ++i) {
      const MeshVertex a = scene.vertex(), b = scene.vertex(), c = scene.vertex();
      filler(a, b, c);
      drawReference<N>(reference, referenceKeys, toSetup(a), toSetup(b), toSetup(c), formula);
    }
    int drawn = 0;
    for (int32_t k : referenceKeys) drawn += k != 0;
    EXPECT_GT(drawn, 20000);
    ASSERT_EQ(depthBuffer.keys, referenceKeys);
    for (size_t i = 0; i < reference.pixels.size(); ++i) ASSERT_EQ(target.pixels[i], reference.pixels[i]) << i;
  }
};

float keyOf(const MeshVertex& c) { return 32767.0f / c.depth; }

TEST_F(SpanWriterTest, Textured) {
  RandomScene maps(100);
  const Surface texture = maps.randomMap();
  compare<3>(
      1, [](const MeshVertex& c) { return SetupVertex<3>{c.screenX, c.screenY, {c.uv1[0], c.uv1[1], keyOf(c)}}; },
      [&](const MeshVertex& a, const MeshVertex& b, const MeshVertex& c) { fillTexturedTriangle(target, texture, a, b, c); },
      [&](const int32_t* q) { return plainTexel(texture, q[0], q[1]); });
}

TEST_F(SpanWriterTest, Untextured) {
  compare<1>(
      2, [](const MeshVertex& c) { return SetupVertex<1>{c.screenX, c.screenY, {keyOf(c)}}; },
      [&](const MeshVertex& a, const MeshVertex& b, const MeshVertex& c) { fillUntexturedTriangle(target, a, b, c); },
      [](const int32_t*) { return 0xFFFFFFFFu; });
}

TEST_F(SpanWriterTest, ShadedTextured) {
  RandomScene maps(101);
  const Surface texture = maps.randomMap();
  compare<6>(
      3,
      [](const MeshVertex& c) {
        return SetupVertex<6>{c.screenX, c.screenY, {c.uv1[0], c.uv1[1], c.colour[0], c.colour[1], c.colour[2], keyOf(c)}};
      },
      [&](const MeshVertex& a, const MeshVertex& b, const MeshVertex& c) {
        fillShadedTexturedTriangle(target, texture, a, b, c);
      },
      [&](const int32_t* q) {
        const uint32_t texel = plainTexel(texture, q[0], q[1]);
        const int32_t shade[3] = {(q[2] >> 16) & 0xFF, (q[3] >> 16) & 0xFF, (q[4] >> 16) & 0xFF};
        uint32_t out = 0;
        for (int k = 0; k < 3; ++k) {
          const int shift = 16 - 8 * k;
          out |= ((uint32_t(shade[k]) * (texel >> shift & 0xFF)) >> 8) << shift;
        }
        return out;
      });
}

TEST_F(SpanWriterTest, ThreeSurfaceAllFourWriters) {
  RandomScene maps(102);
  const Surface texture = maps.randomMap(), lightmap = maps.randomMap(), heights = maps.randomMap();
  const int32_t modes[4][2] = {{32, 512}, {32, 256}, {2, 256}, {2, 512}};
  unsigned seed = 10;
  for (const auto& mode : modes) {
    SCOPED_TRACE(mode[0] * 1000 + mode[1]);
    clearDepthBuffer();
    target.clear();
    const int32_t modeA = mode[0], modeB = mode[1];
    compare<5>(
        seed++,
        [](const MeshVertex& c) {
          return SetupVertex<5>{c.screenX, c.screenY, {c.uv1[0], c.uv1[1], c.uv2[0], c.uv2[1], keyOf(c)}};
        },
        [&](const MeshVertex& a, const MeshVertex& b, const MeshVertex& c) {
          fillThreeSurfaceTriangle(target, texture, lightmap, heights, a, b, c, modeA, modeB);
        },
        [&](const int32_t* q) {
          const int32_t i1 = ((q[1] >> 16) & 0xFF) * 256 + ((q[0] >> 16) & 0xFF);
          int32_t i2 = ((q[3] >> 16) & 0xFF) * 256 + ((q[2] >> 16) & 0xFF);
          if (modeA == 32) {
            const int32_t h0 = (heights.pixels[size_t(i1)] >> 16) & 0xFF;
            const int32_t hx = (heights.pixels[size_t((i1 + 1) % 65536)] >> 16) & 0xFF;
            const int32_t hy = (heights.pixels[size_t((i1 + 256) % 65536)] >> 16) & 0xFF;
            i2 = (((q[3] >> 16) + hy - h0) & 0xFF) * 256 + (((q[2] >> 16) + hx - h0) & 0xFF);
          }
          const uint32_t t1 = texture.pixels[size_t(i1)], t2 = lightmap.pixels[size_t(i2)];
          uint32_t out = 0;
          for (int shift = 0; shift < 32; shift += 8) {
            const uint32_t a = t1 >> shift & 0xFF, b = t2 >> shift & 0xFF;
            uint32_t r;
            if (modeB == 256) {
              r = modeA == 32 ? (a + b) >> 1 : std::min(a + b, 255u);
            } else {
              r = (a * b) >> 8;
            }
            out |= r << shift;
          }
          return out;
        });
  }
}

}  // namespace
}  // namespace tarvola
