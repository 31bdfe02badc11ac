// The demo's speed: each scene's frame on 320 x 240 at a few times in its slot, and the whole
// programme rendered offline at 60 fps without encoding (start-up work besides the pauses, the
// lock-step music, the frame loop, peak memory) through the capture renderer.
#include <benchmark/benchmark.h>
#include <sys/resource.h>
#include <unistd.h>

#include "capture.h"
#include "music/sync_events.h"
#include "raster/depth_buffer.h"
#include "scenes/scene_files.h"
#include "scenes/scene_state.h"
#include "scenes/scene_table.h"

namespace tarvola {
namespace {

// The scenes' state of one run, initialised once; the scenes load data/ relative to the working
// directory, as the demo does.
SceneState* scenesReady() {
  static SceneState* const scenes = []() -> SceneState* {
    if (chdir(TARVOLA_BINARY_DIR) != 0) return nullptr;
    static SceneState state;
    for (int index : kSceneInitOrder) {
      if (kScenes[index].init != nullptr) kScenes[index].init(state);
    }
    return access(kMusicFile, R_OK) == 0 ? &state : nullptr;
  }();
  return scenes;
}

// range(0): scene slot; range(1): demo time in hundredths. Each frame renders at the same time,
// after the depth clear the frame loop does; no sync events arrive.
void BM_SceneFrame(benchmark::State& state) {
  SceneState* const scenes = scenesReady();
  if (scenes == nullptr) {
    state.SkipWithError("data/ missing: build the data target first");
    return;
  }
  const Scene& scene = kScenes[state.range(0)];
  const float t = float(state.range(1));
  Surface target;
  target.create(320, 240);
  DepthBuffer depth;
  depth.create(320, 240);
  scenes->syncs.clear();
  for (auto _ : state) {
    depth.clear();
    scene.render(*scenes, target, depth, t);
    benchmark::DoNotOptimize(target.pixels.data());
  }
  state.SetLabel("scene " + std::to_string(state.range(0) + 1) + " at " + std::to_string(state.range(1) / 100) + " s");
  state.SetBytesProcessed(int64_t(state.iterations()) * 320 * 240 * 4);
}
BENCHMARK(BM_SceneFrame)
    ->ArgsProduct({{0}, {100, 400, 800}})
    ->ArgsProduct({{1}, {1200, 3000, 4000}})
    ->ArgsProduct({{2}, {5000, 6200, 7800}})
    ->ArgsProduct({{3}, {8200, 8800, 9300}})
    ->ArgsProduct({{4}, {9600, 10500, 12000}})
    ->ArgsProduct({{5}, {12500, 14000, 16000}})
    ->Unit(benchmark::kMillisecond);

// The whole programme, once: what `tarvola-capture --bench` prints, as counters (a run of its
// own, whatever the frames above left).
void BM_WholeProgramme60fps(benchmark::State& state) {
  if (!scenesReady()) {
    state.SkipWithError("data/ missing: build the data target first");
    return;
  }
  ProgrammeBench bench;
  for (auto _ : state) {
    CaptureOptions options;
    options.bench = true;
    options.progress = false;
    if (runCapture(options, &bench) != 0) {
      state.SkipWithError("the capture run failed");
      return;
    }
    state.SetIterationTime((bench.startupMs + bench.musicMs + bench.loopMs) / 1e3);
  }
  state.counters["frames"] = double(bench.frames);
  state.counters["startup_ms"] = bench.startupMs;
  state.counters["music_ms"] = bench.musicMs;
  state.counters["loop_ms"] = bench.loopMs;
  state.counters["peak_rss_MB"] = bench.peakRssMb;
  for (int i = 0; i < kSceneCount; ++i)
    state.counters["scene" + std::to_string(i + 1) + "_median_ms"] = bench.scenes.medianSeconds[i] * 1e3;
}
BENCHMARK(BM_WholeProgramme60fps)->Iterations(1)->UseManualTime()->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace tarvola
