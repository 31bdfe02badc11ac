// Rasterizer and pipeline speed on a 320 x 240 target: fill rate of each filler on two
// triangles covering the screen (items/s = pixels/s), per-triangle cost on small triangles
// where the set-up dominates, and a whole draw of a 12 000-triangle mesh covering the screen.
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdint>
#include <random>
#include <vector>

#include "base/fixed_point.h"
#include "engine3d/mesh.h"
#include "engine3d/pipeline.h"
#include "raster/depth_buffer.h"
#include "raster/fillers.h"

using namespace tarvola;

namespace {

Surface randomMap(uint32_t seed) {
  Surface map;
  map.create(256, 256);
  std::mt19937 rng(seed);
  for (uint32_t& p : map.pixels) p = rng();
  return map;
}

// A bump map as the scenes use one: smooth relief in the red byte (slopes of a few texels per
// texel), not noise, so the displaced lookups stay near each other as they do on screen.
Surface reliefMap() {
  Surface map;
  map.create(256, 256);
  for (int y = 0; y < 256; ++y) {
    for (int x = 0; x < 256; ++x) {
      const double h = 128 + 60 * std::sin(x * 0.1) * std::cos(y * 0.07) + 30 * std::sin((x + y) * 0.23);
      map.pixels[size_t(y * 256 + x)] = packColour(truncToInt32(h), 0, 0, 255);
    }
  }
  return map;
}

struct Maps {
  Surface texture = randomMap(1), lightmap = randomMap(2);
  HeightSlopes heights = [] {
    HeightSlopes h;
    h.take(reliefMap());
    return h;
  }();
};
const Maps& maps() {
  static const Maps m;
  return m;
}

RasterCorner corner(float x, float y, float depth, float u, float v, float s, float t) {
  RasterCorner c{};
  c.screenX = x;
  c.screenY = y;
  c.depth = depth;
  c.uv1[0] = u;
  c.uv1[1] = v;
  c.uv2[0] = s;
  c.uv2[1] = t;
  c.colour[0] = 200;
  c.colour[1] = 180;
  c.colour[2] = 160;
  return c;
}

// Draws the two screen-covering triangles once per iteration with the depth buffer cleared
// outside the timed region; every pixel passes the depth test.
template <class Fill>
void fillRate(benchmark::State& state, Fill fill) {
  DepthBuffer depth;
  depth.create(320, 240);
  Surface target;
  target.create(320, 240);
  // Texture coordinates run over the 256-texel maps about once across the screen, as the
  // scenes' environment and texture mappings do.
  const RasterCorner a = corner(0, 0, 40, 0, 0, 30, 10), b = corner(320, 0, 50, 255, 20, 250, 0),
                     c = corner(0, 240, 60, 10, 255, 0, 240), d = corner(320, 240, 70, 250, 240, 255, 255);
  for (auto _ : state) {
    state.PauseTiming();
    depth.clear();
    state.ResumeTiming();
    fill(target, depth, a, b, c);
    fill(target, depth, b, d, c);
    benchmark::DoNotOptimize(target.pixels.data());
  }
  state.SetItemsProcessed(int64_t(state.iterations()) * 239 * 319);
}

void BM_FillTextured(benchmark::State& state) {
  fillRate(state, [](Surface& t, DepthBuffer& d, const RasterCorner& a, const RasterCorner& b, const RasterCorner& c) {
    fillTexturedTriangle(t, d, maps().texture, a, b, c);
  });
}
BENCHMARK(BM_FillTextured)->Unit(benchmark::kMicrosecond);

// Arguments: lightmap lookup (0 plain, 1 displaced), combine (0 multiply, 1 add).
void BM_FillThreeSurface(benchmark::State& state) {
  const LightmapLookup lookup = LightmapLookup(state.range(0));
  const LightmapCombine combine = LightmapCombine(state.range(1));
  fillRate(state, [&](Surface& t, DepthBuffer& d, const RasterCorner& a, const RasterCorner& b, const RasterCorner& c) {
    fillThreeSurfaceTriangle(t, d, maps().texture, maps().lightmap, maps().heights, a, b, c, lookup, combine);
  });
}
BENCHMARK(BM_FillThreeSurface)->Args({1, 0})->Args({1, 1})->Args({0, 1})->Args({0, 0})->Unit(benchmark::kMicrosecond);

void BM_FillShadedTextured(benchmark::State& state) {
  fillRate(state, [](Surface& t, DepthBuffer& d, const RasterCorner& a, const RasterCorner& b, const RasterCorner& c) {
    fillShadedTexturedTriangle(t, d, maps().texture, a, b, c);
  });
}
BENCHMARK(BM_FillShadedTextured)->Unit(benchmark::kMicrosecond);

void BM_FillUntextured(benchmark::State& state) {
  fillRate(state, [](Surface& t, DepthBuffer& d, const RasterCorner& a, const RasterCorner& b, const RasterCorner& c) {
    fillUntexturedTriangle(t, d, a, b, c);
  });
}
BENCHMARK(BM_FillUntextured)->Unit(benchmark::kMicrosecond);

// Small triangles (legs of 2 to 4 pixels) scattered over the target, each nearer than the
// last so every pixel is drawn: the per-triangle cost is mostly set-up. Counter ns/triangle.
// With yOffset 260 the same triangles lie below the target: the whole set-up runs, no row is
// walked, which isolates the set-up cost.
template <class Fill>
void smallTriangles(benchmark::State& state, Fill fill, float yOffset = 0) {
  DepthBuffer depth;
  depth.create(320, 240);
  Surface target;
  target.create(320, 240);
  std::mt19937 rng(9);
  std::uniform_real_distribution<float> x(5, 310), y(5, 230), leg(2, 4);
  constexpr int kCount = 4096;
  std::vector<RasterCorner> corners;
  for (int i = 0; i < kCount; ++i) {
    const float x0 = x(rng), y0 = y(rng) + yOffset, depth = 100.0f - float(i) * 0.02f;
    corners.push_back(corner(x0, y0, depth, 0, 0, 10, 10));
    corners.push_back(corner(x0 + leg(rng), y0 + 0.3f, depth, 20, 0, 30, 10));
    corners.push_back(corner(x0 + 0.2f, y0 + leg(rng), depth, 0, 20, 10, 30));
  }
  for (auto _ : state) {
    state.PauseTiming();
    depth.clear();
    state.ResumeTiming();
    for (int i = 0; i < kCount; ++i)
      fill(target, depth, corners[size_t(3 * i)], corners[size_t(3 * i + 1)], corners[size_t(3 * i + 2)]);
    benchmark::DoNotOptimize(target.pixels.data());
  }
  state.SetItemsProcessed(int64_t(state.iterations()) * kCount);
  state.counters["per_triangle"] = benchmark::Counter(double(kCount) * double(state.iterations()),
                                                      benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

void BM_SmallTrianglesThreeSurface(benchmark::State& state) {
  smallTriangles(state,
                 [](Surface& t, DepthBuffer& d, const RasterCorner& a, const RasterCorner& b, const RasterCorner& c) {
                   fillThreeSurfaceTriangle(t, d, maps().texture, maps().lightmap, maps().heights, a, b, c,
                                            LightmapLookup::kDisplaced, LightmapCombine::kMultiply);
                 });
}
BENCHMARK(BM_SmallTrianglesThreeSurface)->Unit(benchmark::kMicrosecond);

void BM_SmallTrianglesUntextured(benchmark::State& state) {
  smallTriangles(state, [](Surface& t, DepthBuffer& d, const RasterCorner& a, const RasterCorner& b,
                           const RasterCorner& c) { fillUntexturedTriangle(t, d, a, b, c); });
}
BENCHMARK(BM_SmallTrianglesUntextured)->Unit(benchmark::kMicrosecond);

void BM_SetupOnlyThreeSurface(benchmark::State& state) {
  smallTriangles(
      state,
      [](Surface& t, DepthBuffer& d, const RasterCorner& a, const RasterCorner& b, const RasterCorner& c) {
        fillThreeSurfaceTriangle(t, d, maps().texture, maps().lightmap, maps().heights, a, b, c,
                                 LightmapLookup::kDisplaced, LightmapCombine::kMultiply);
      },
      260);
}
BENCHMARK(BM_SetupOnlyThreeSurface)->Unit(benchmark::kMicrosecond);

void BM_SetupOnlyUntextured(benchmark::State& state) {
  smallTriangles(
      state,
      [](Surface& t, DepthBuffer& d, const RasterCorner& a, const RasterCorner& b, const RasterCorner& c) {
        fillUntexturedTriangle(t, d, a, b, c);
      },
      260);
}
BENCHMARK(BM_SetupOnlyUntextured)->Unit(benchmark::kMicrosecond);

// A 100 x 60 grid of quads (12 000 triangles) on a gently bent sheet that fills the view,
// drawn through the camera as the scenes do, depth buffer cleared per frame (timed).
void BM_DrawMesh12000(benchmark::State& state) {
  const int32_t flags = int32_t(state.range(0));
  DepthBuffer depth;
  depth.create(320, 240);
  Surface target;
  target.create(320, 240);
  static Mesh mesh;
  constexpr int kCols = 100, kRows = 60;
  if (mesh.vertexCount == 0) {
    mesh.allocate((kCols + 1) * (kRows + 1), kCols * kRows * 2);
    for (int j = 0; j <= kRows; ++j) {
      for (int i = 0; i <= kCols; ++i) {
        MeshVertex& v = mesh.vertices[size_t(j * (kCols + 1) + i)];
        const float x = (float(i) / kCols - 0.5f) * 150.0f, y = (float(j) / kRows - 0.5f) * 110.0f;
        v.position = Vec3{x, y, 0.002f * (x * x + y * y)};
        v.uv1[0] = float(i) * 2.56f;
        v.uv1[1] = float(j) * 4.0f;
      }
    }
    int32_t f = 0;
    for (int j = 0; j < kRows; ++j) {
      for (int i = 0; i < kCols; ++i) {
        const int32_t a = j * (kCols + 1) + i, b = a + 1, c = a + kCols + 1, d = c + 1;
        mesh.faces[size_t(f++)] = MeshFace{{a, c, b}};
        mesh.faces[size_t(f++)] = MeshFace{{b, c, d}};
      }
    }
    mesh.computeVertexNormals();
    mesh.texture = randomMap(4);
    mesh.lightmap = randomMap(5);
    mesh.auxMap = reliefMap();
  }
  mesh.setRenderFlags(flags);
  mesh.setPosition(0, 0, 0);
  Camera camera;
  camera.setLookAt(0, 0, -100, 0, 0, 0);
  float angle = 0;
  for (auto _ : state) {
    depth.clear();
    mesh.setRotation(0, 0, angle);
    angle += 0.5f;
    mesh.draw(target, depth, camera);
    benchmark::DoNotOptimize(target.pixels.data());
  }
  int drawn = 0;
  for (int32_t k : depth.keys) drawn += k != 0;
  state.counters["pixels"] = drawn;
  state.SetItemsProcessed(int64_t(state.iterations()) * mesh.faceCount);
}
BENCHMARK(BM_DrawMesh12000)->Arg(0x236)->Arg(0x11E)->Unit(benchmark::kMicrosecond);

}  // namespace
