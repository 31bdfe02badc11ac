// The yardstick for every 320x240 kernel: copying the same 307 200 bytes with memcpy.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstring>
#include <vector>

static void BM_Memcpy320x240(benchmark::State& state) {
  std::vector<uint32_t> source(320 * 240, 0x80402010u), target(320 * 240);
  for (auto _ : state) {
    std::memcpy(target.data(), source.data(), source.size() * sizeof(uint32_t));
    benchmark::DoNotOptimize(target.data());
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(source.size() * sizeof(uint32_t)));
}
BENCHMARK(BM_Memcpy320x240);
