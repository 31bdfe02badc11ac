// Music rendering cost: one second of kyr.it through libopenmpt with sync detection, in the
// audio thread's 256-frame pieces and in the capture renderer's exact 1-frame pieces, and the
// player's stream during the rate slide (resampling on top of the module).
#include "music/music_stream.h"

#include <benchmark/benchmark.h>

#include <string>
#include <vector>

namespace tarvola {
namespace {

const std::string kModulePath = std::string(TARVOLA_BINARY_DIR) + "/data/kyr.it";

void countHit(void* user, const SyncHit&) { ++*static_cast<int*>(user); }

void BM_ModuleSecond(benchmark::State& state) {
  ModuleRenderer renderer;
  if (!renderer.loadFile(kModulePath.c_str())) {
    state.SkipWithError("data/kyr.it missing");
    return;
  }
  std::vector<float> out(2 * 44100);
  int hits = 0;
  for (auto _ : state) {
    renderer.render(out.data(), 44100, countHit, &hits, PiecePolicy{static_cast<int>(state.range(0)), false});
    benchmark::DoNotOptimize(out.data());
  }
  state.SetLabel("piece " + std::to_string(state.range(0)) + " frames");
}
BENCHMARK(BM_ModuleSecond)->Arg(256)->Arg(1)->Unit(benchmark::kMillisecond);

void BM_StreamSecondWhileSliding(benchmark::State& state) {
  MusicStream stream;
  if (!stream.loadModule(kModulePath.c_str())) {
    state.SkipWithError("data/kyr.it missing");
    return;
  }
  std::vector<float> out(2 * 1024);
  for (auto _ : state) {
    stream.slideRate(22050.0f, 1000);
    for (int i = 0; i < 43; ++i) stream.pull(out.data(), 1024);
    benchmark::DoNotOptimize(out.data());
  }
}
BENCHMARK(BM_StreamSecondWhileSliding)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace tarvola
