// Metaballs: polygonizing the scene's three sources (blob, ring, rounded cube) on the 18-cell
// grid at several animation times, sources placed as the scene moves them.
#include <benchmark/benchmark.h>

#include <cmath>

#include "metaballs/polygonizer.h"

namespace {

using tarvola::MetaballPolygonizer;

// The scene's source paths at animation time e.
void placeSources(MetaballPolygonizer& p, float e) {
  const double a = double(e) * 0.0052358333269755045;
  const double b = float(-double(e) * 0.034905557);
  p.field.setSourcePosition(0, float(45 * std::sin(e * 0.0017452777756585018)),
                            float(45 * std::sin(-e * 0.0034905555513170036)), float(45 * std::sin(a)));
  p.field.setSourcePosition(1, float(45 * std::sin(b)), float(45 * std::sin(a)),
                            float(45 * std::sin(-e * 0.006981111102634007)));
  p.field.setSourcePosition(2, float(45 * std::cos(b)), float(45 * std::sin(a)),
                            float(45 * std::cos(e * 0.006981111102634007)));
}

void BM_PolygonizeSceneField(benchmark::State& state) {
  MetaballPolygonizer p;
  p.init(0.1f, 18, 10);
  p.field.addInverseSquare(10);
  p.field.setSourcePosition(0, 0, 0, 0);
  p.field.addRing(16, 30);
  p.field.setSourcePosition(1, -10, -10, 10);
  p.field.addQuartic(12);
  p.field.setSourcePosition(2, 10, 10, 10);
  if (state.range(0) >= 0) placeSources(p, float(state.range(0)));
  for (auto _ : state) {
    p.polygonize();
    benchmark::DoNotOptimize(p.mesh.vertices.data());
    benchmark::ClobberMemory();
  }
  state.counters["triangles"] = double(p.mesh.faceCount);
}
// -1: the arrangement the scene sets up at init; then animation times across the scene's run.
BENCHMARK(BM_PolygonizeSceneField)->Arg(-1)->Arg(4005)->Arg(5000)->Arg(6000)->Arg(7200)->Unit(benchmark::kMicrosecond);

}  // namespace
