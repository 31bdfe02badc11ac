// The ray-grid tunnel on 320x240: 41x31 casts and 1 200 interpolated 8x8 blocks, with the
// scene's early camera path at a few times.
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdint>

#include "scenes/scene_paths.h"
#include "surface/ray_grid.h"

namespace {

using tarvola::Surface;

// Noisy colours over a smooth height map in the top bytes, like a picture's red channel.
Surface makeTexture(uint32_t seed) {
  Surface s;
  s.width = 256;
  s.height = 256;
  s.pixels.assign(256 * 256 * 4, 0xFF000000u);
  for (uint32_t y = 0; y < 256; ++y) {
    for (uint32_t x = 0; x < 256; ++x) {
      seed = seed * 1664525u + 1013904223u;
      const auto height = uint32_t(128 + 100 * std::sin(x * 0.0491) * std::cos(y * 0.0736));
      s.pixels[y * 256 + x] = height << 24 | (seed >> 8 & 0x00FFFFFFu);
    }
  }
  return s;
}

void BM_RayGridRender320x240(benchmark::State& state) {
  tarvola::RayGrid grid;
  grid.init(320, 240);
  const Surface texture = makeTexture(1), environment = makeTexture(2);
  Surface target;
  target.create(320, 240);
  const float u = float(state.range(0));
  const tarvola::TunnelPose pose = tarvola::tunnelPose(u, false);
  grid.scrollU = pose.scrollU;
  grid.setCamera(pose.position, pose.angles);
  for (auto _ : state) {
    grid.render(target, texture, environment);
    benchmark::DoNotOptimize(target.pixels.data());
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(int64_t(state.iterations()) * 320 * 240 * 4);
}
BENCHMARK(BM_RayGridRender320x240)->Arg(0)->Arg(700)->Arg(1400)->Unit(benchmark::kMicrosecond);

void BM_RayGridCastNodes(benchmark::State& state) {
  tarvola::RayGrid grid;
  grid.init(320, 240);
  grid.setCamera(tarvola::Vec3{5, -3, 280}, tarvola::Vec3{56, 140, 210});
  for (auto _ : state) {
    for (int32_t r = 0; r < grid.rows; ++r) {
      for (int32_t c = 0; c < grid.columns; ++c) grid.nodes[size_t(r * grid.columns + c)] = grid.castRay(8 * c, 8 * r);
    }
    benchmark::DoNotOptimize(grid.nodes.data());
    benchmark::ClobberMemory();
  }
}
BENCHMARK(BM_RayGridCastNodes)->Unit(benchmark::kMicrosecond);

}  // namespace
