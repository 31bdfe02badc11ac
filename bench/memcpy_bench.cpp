// The yardstick for every 320x240 kernel: copying the same 307 200 bytes with memcpy.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstring>
#include <random>
#include <vector>

static void BM_Memcpy320x240(benchmark::State& state) {
  std::mt19937 random(1);
  // Allocated in the order the other benchmarks allocate their screen and source: on some
  // processors a copy to a buffer just below its source (mod 4 KiB) runs ten times slower.
  std::vector<uint32_t> target(320 * 240), source(320 * 240);
  for (uint32_t& p : source) p = uint32_t(random());
  for (uint32_t& p : target) p = uint32_t(random());
  for (auto _ : state) {
    std::memcpy(target.data(), source.data(), source.size() * sizeof(uint32_t));
    benchmark::DoNotOptimize(target.data());
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(source.size() * sizeof(uint32_t)));
}
BENCHMARK(BM_Memcpy320x240);
