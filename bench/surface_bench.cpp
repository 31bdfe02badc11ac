// Compositing operations, filters and generators on 320x240 (compare with BM_Memcpy320x240).
#include <benchmark/benchmark.h>

#include <random>

#include "surface/compositing.h"
#include "surface/filters.h"
#include "surface/generators.h"

namespace {

using namespace tarvola;

Surface randomSurface(int32_t width, int32_t height, uint32_t seed) {
  std::mt19937 random(seed);
  Surface s;
  s.create(width, height);
  for (uint32_t& p : s.pixels) p = uint32_t(random());
  return s;
}

template <class Op>
void runOnScreen(benchmark::State& state, Op op) {
  Surface screen = randomSurface(320, 240, 1);
  Surface other = randomSurface(320, 240, 2);
  for (auto _ : state) {
    op(screen, other);
    benchmark::DoNotOptimize(screen.pixels.data());
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(int64_t(state.iterations()) * 320 * 240 * 4);
}

void BM_CopySurface(benchmark::State& s) {
  runOnScreen(s, [](Surface& a, Surface& b) { copySurface(b, a); });
}
void BM_Scale(benchmark::State& s) {
  runOnScreen(s, [](Surface& a, Surface&) { a.scale(200); });
}
void BM_FadeToColour(benchmark::State& s) {
  runOnScreen(s, [](Surface& a, Surface&) { a.fadeToColour(100, 0xFFFFFFFFu); });
}
void BM_BlendOnto(benchmark::State& s) {
  runOnScreen(s, [](Surface& a, Surface& b) { b.blendOnto(a, 64); });
}
void BM_Brighten(benchmark::State& s) {
  runOnScreen(s, [](Surface& a, Surface&) { a.brighten(64); });
}
void BM_AddBrightness(benchmark::State& s) {
  runOnScreen(s, [](Surface& a, Surface&) { a.addBrightness(10); });
}
void BM_MultiplyOnto(benchmark::State& s) {
  runOnScreen(s, [](Surface& a, Surface& b) { b.multiplyOnto(a); });
}
void BM_InvertBlend(benchmark::State& s) {
  runOnScreen(s, [](Surface& a, Surface&) { a.invertBlend(90); });
}
void BM_ScalePlain(benchmark::State& s) {
  runOnScreen(s, [](Surface& a, Surface&) { plain::scale(a.pixels.data(), a.pixels.size(), 200); });
}

void BM_BoxBlurRows(benchmark::State& s) {
  runOnScreen(s, [](Surface& a, Surface& b) { boxBlurRows(a, b, 16); });
}
void BM_CrossBlur(benchmark::State& s) {
  runOnScreen(s, [](Surface& a, Surface&) { crossBlur(a); });
}
void BM_RadialZoomBlur(benchmark::State& s) {
  runOnScreen(s, [](Surface& a, Surface&) { radialZoomBlur(a, 160, 120, 1000, 24); });
}
void BM_RadialZoomBlurPlain(benchmark::State& s) {
  runOnScreen(s, [](Surface& a, Surface&) { plain::radialZoomBlur(a, 160, 120, 1000, 24); });
}

void BM_DrawCornerWarp(benchmark::State& s) {
  const Surface texture = randomSurface(256, 256, 3);
  float t = 950;
  runOnScreen(s, [&](Surface& a, Surface&) { drawCornerWarp(a, texture, t += 1.7f); });
}
void BM_MultiplyWindows(benchmark::State& s) {
  const Surface a = randomSurface(640, 480, 4), b = randomSurface(640, 480, 5);
  runOnScreen(s, [&](Surface& target, Surface&) { multiplyWindows(target, a, b, 100, 50, 200, 180); });
}
void BM_DrawPolarInterference(benchmark::State& s) {
  static const PolarTables tables = [] {
    PolarTables built;
    buildPolarTables(built);
    return built;
  }();
  const Surface texture = randomSurface(256, 256, 6);
  float t = 2300;
  runOnScreen(s, [&](Surface& a, Surface&) { drawPolarInterference(a, texture, tables, t += 1.7f); });
}
void BM_BuildPolarTables(benchmark::State& state) {
  for (auto _ : state) {
    PolarTables tables;
    buildPolarTables(tables);
    benchmark::DoNotOptimize(tables.tableA.data());
  }
}

}  // namespace

BENCHMARK(BM_CopySurface);
BENCHMARK(BM_Scale);
BENCHMARK(BM_ScalePlain);
BENCHMARK(BM_FadeToColour);
BENCHMARK(BM_BlendOnto);
BENCHMARK(BM_Brighten);
BENCHMARK(BM_AddBrightness);
BENCHMARK(BM_MultiplyOnto);
BENCHMARK(BM_InvertBlend);
BENCHMARK(BM_BoxBlurRows);
BENCHMARK(BM_CrossBlur);
BENCHMARK(BM_RadialZoomBlur);
BENCHMARK(BM_RadialZoomBlurPlain);
BENCHMARK(BM_DrawCornerWarp);
BENCHMARK(BM_MultiplyWindows);
BENCHMARK(BM_DrawPolarInterference);
BENCHMARK(BM_BuildPolarTables)->Unit(benchmark::kMillisecond);
