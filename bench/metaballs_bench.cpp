// Metaballs: polygonizing the scene's three sources (blob, ring, rounded cube) on the 18-cell
// grid at several animation times, sources placed as the scene moves them.
#include <benchmark/benchmark.h>

#include "metaballs/polygonizer.h"
#include "scenes/scene_paths.h"

namespace {

using tarvola::MetaballPolygonizer;

void BM_PolygonizeSceneField(benchmark::State& state) {
  MetaballPolygonizer p;
  tarvola::setUpMetaballField(p);
  if (state.range(0) >= 0) {
    const tarvola::MetaballPose pose = tarvola::metaballPose(float(state.range(0)));
    for (int i = 0; i < 3; ++i) p.field.setSourcePosition(i, pose.sources[i].x, pose.sources[i].y, pose.sources[i].z);
  }
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
